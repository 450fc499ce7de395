#include "platform/automation/Variant.h"

#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "platform/automation/Dispatch.h"
#include "platform/automation/SafeArray.h"
#include "platform/automation/VariantText.h"
#include "platform/base/Calendar.h"

namespace {

using namespace sw::automation::detail;

bool IsKnownBaseType(VARTYPE vt) {
    switch (vt) {
        case VT_EMPTY:
        case VT_NULL:
        case VT_I2:
        case VT_I4:
        case VT_R4:
        case VT_R8:
        case VT_CY:
        case VT_DATE:
        case VT_BSTR:
        case VT_DISPATCH:
        case VT_ERROR:
        case VT_BOOL:
        case VT_VARIANT:
        case VT_UNKNOWN:
        case VT_I1:
        case VT_UI1:
        case VT_UI2:
        case VT_UI4:
        case VT_I8:
        case VT_UI8:
        case VT_INT:
        case VT_UINT:
            return true;
        default:
            return false;
    }
}

// A value type a variant may hold directly (VT_VARIANT only by reference or in arrays).
bool IsValidVariantType(VARTYPE vt) {
    const VARTYPE base = vt & VT_TYPEMASK;
    if ((vt & ~(VT_TYPEMASK | VT_ARRAY | VT_BYREF)) != 0 || !IsKnownBaseType(base)) {
        return false;
    }
    if ((vt & (VT_ARRAY | VT_BYREF)) == 0 && base == VT_VARIANT) {
        return false;
    }
    if ((vt & VT_ARRAY) != 0 && (base == VT_EMPTY || base == VT_NULL)) {
        return false;
    }
    return true;
}

// Reads a by-reference variant as the value it points at, without copying.
bool Dereference(const VARIANT& src, VARIANT* view) {
    VariantInit(view);
    if ((src.vt & VT_BYREF) == 0) {
        *view = src;
        return true;
    }
    if (src.byref == nullptr) {
        return false;
    }
    const VARTYPE vt = src.vt & ~VT_BYREF;
    if ((vt & VT_ARRAY) != 0) {
        view->vt = vt;
        view->parray = *src.pparray;
        return true;
    }
    switch (vt) {
        case VT_VARIANT:
            if ((src.pvarVal->vt & VT_BYREF) != 0) {
                return Dereference(*src.pvarVal, view);
            }
            *view = *src.pvarVal;
            return true;
        case VT_I2:
            view->iVal = *src.piVal;
            break;
        case VT_I4:
            view->lVal = *src.plVal;
            break;
        case VT_R4:
            view->fltVal = *src.pfltVal;
            break;
        case VT_R8:
            view->dblVal = *src.pdblVal;
            break;
        case VT_CY:
            view->cyVal = *src.pcyVal;
            break;
        case VT_DATE:
            view->date = *src.pdate;
            break;
        case VT_BSTR:
            view->bstrVal = *src.pbstrVal;
            break;
        case VT_DISPATCH:
            view->pdispVal = *src.ppdispVal;
            break;
        case VT_ERROR:
            view->scode = *src.pscode;
            break;
        case VT_BOOL:
            view->boolVal = *src.pboolVal;
            break;
        case VT_UNKNOWN:
            view->punkVal = *src.ppunkVal;
            break;
        case VT_I1:
            view->cVal = *src.pcVal;
            break;
        case VT_UI1:
            view->bVal = *src.pbVal;
            break;
        case VT_UI2:
            view->uiVal = *src.puiVal;
            break;
        case VT_UI4:
            view->ulVal = *src.pulVal;
            break;
        case VT_I8:
            view->llVal = *src.pllVal;
            break;
        case VT_UI8:
            view->ullVal = *src.pullVal;
            break;
        case VT_INT:
            view->intVal = *src.pintVal;
            break;
        case VT_UINT:
            view->uintVal = *src.puintVal;
            break;
        default:
            return false;
    }
    view->vt = vt;
    return true;
}

std::wstring BstrText(BSTR b) {
    return b == nullptr ? std::wstring() : std::wstring(b, SysStringLen(b));
}

// An intermediate numeric value.
struct Number {
    enum Kind { Int, UInt, Real, Currency } kind = Int;
    long long i = 0;
    unsigned long long u = 0;
    double d = 0;
};

HRESULT ToNumber(const VARIANT& v, Number* n) {
    switch (v.vt) {
        case VT_EMPTY:
            n->kind = Number::Int;
            n->i = 0;
            return S_OK;
        case VT_BOOL:
            n->kind = Number::Int;
            n->i = v.boolVal != 0 ? -1 : 0;
            return S_OK;
        case VT_I1:
            n->i = v.cVal;
            return S_OK;
        case VT_I2:
            n->i = v.iVal;
            return S_OK;
        case VT_I4:
            n->i = v.lVal;
            return S_OK;
        case VT_INT:
            n->i = v.intVal;
            return S_OK;
        case VT_I8:
            n->i = v.llVal;
            return S_OK;
        case VT_UI1:
            n->i = v.bVal;
            return S_OK;
        case VT_UI2:
            n->i = v.uiVal;
            return S_OK;
        case VT_UI4:
            n->i = v.ulVal;
            return S_OK;
        case VT_UINT:
            n->i = v.uintVal;
            return S_OK;
        case VT_UI8:
            n->kind = Number::UInt;
            n->u = v.ullVal;
            return S_OK;
        case VT_R4:
            n->kind = Number::Real;
            n->d = v.fltVal;
            return S_OK;
        case VT_R8:
            n->kind = Number::Real;
            n->d = v.dblVal;
            return S_OK;
        case VT_DATE:
            n->kind = Number::Real;
            n->d = v.date;
            return S_OK;
        case VT_CY:
            n->kind = Number::Currency;
            n->i = v.cyVal.int64;
            return S_OK;
        case VT_BSTR: {
            n->kind = Number::Real;
            return ParseNumber(BstrText(v.bstrVal), &n->d);
        }
        default:
            return DISP_E_TYPEMISMATCH;
    }
}

// Rounds half to even, as the run time does for every narrowing conversion.
double RoundHalfEven(double d) {
    const double r = std::round(d);
    if (std::fabs(d - std::trunc(d)) == 0.5) {
        return 2.0 * std::round(d / 2.0);
    }
    return r;
}

long long CurrencyToWhole(long long scaled) {
    long long q = scaled / 10000;
    const long long r = scaled % 10000;
    if (r > 5000 || (r == 5000 && (q & 1) != 0)) {
        ++q;
    } else if (r < -5000 || (r == -5000 && (q & 1) != 0)) {
        --q;
    }
    return q;
}

// The value as an integer within [lo, hi]; DISP_E_OVERFLOW outside.
HRESULT ToInteger(const Number& n, long double lo, long double hi, long long* si, unsigned long long* ui) {
    switch (n.kind) {
        case Number::Int:
            if (static_cast<long double>(n.i) < lo || static_cast<long double>(n.i) > hi) {
                return DISP_E_OVERFLOW;
            }
            *si = n.i;
            *ui = static_cast<unsigned long long>(n.i);
            return S_OK;
        case Number::UInt:
            if (static_cast<long double>(n.u) > hi) {
                return DISP_E_OVERFLOW;
            }
            *si = static_cast<long long>(n.u);
            *ui = n.u;
            return S_OK;
        case Number::Currency: {
            const long long w = CurrencyToWhole(n.i);
            if (static_cast<long double>(w) < lo || static_cast<long double>(w) > hi) {
                return DISP_E_OVERFLOW;
            }
            *si = w;
            *ui = static_cast<unsigned long long>(w);
            return S_OK;
        }
        case Number::Real: {
            if (std::isnan(n.d)) {
                return DISP_E_OVERFLOW;
            }
            const double r = RoundHalfEven(n.d);
            if (static_cast<long double>(r) < lo || static_cast<long double>(r) > hi) {
                return DISP_E_OVERFLOW;
            }
            if (r < 0) {
                *si = static_cast<long long>(r);
                *ui = static_cast<unsigned long long>(*si);
            } else if (r >= 9223372036854775808.0) {
                *ui = static_cast<unsigned long long>(r);
                *si = static_cast<long long>(*ui);
            } else {
                *si = static_cast<long long>(r);
                *ui = static_cast<unsigned long long>(*si);
            }
            return S_OK;
        }
    }
    return DISP_E_TYPEMISMATCH;
}

double ToDouble(const Number& n) {
    switch (n.kind) {
        case Number::Int:
            return static_cast<double>(n.i);
        case Number::UInt:
            return static_cast<double>(n.u);
        case Number::Currency:
            return static_cast<double>(n.i) / 10000.0;
        case Number::Real:
            return n.d;
    }
    return 0;
}

HRESULT ToCurrency(const Number& n, LONGLONG* out) {
    constexpr long long kMaxWhole = std::numeric_limits<long long>::max() / 10000;
    switch (n.kind) {
        case Number::Currency:
            *out = n.i;
            return S_OK;
        case Number::Int:
            if (n.i > kMaxWhole || n.i < -kMaxWhole) {
                return DISP_E_OVERFLOW;
            }
            *out = n.i * 10000;
            return S_OK;
        case Number::UInt:
            if (n.u > static_cast<unsigned long long>(kMaxWhole)) {
                return DISP_E_OVERFLOW;
            }
            *out = static_cast<long long>(n.u) * 10000;
            return S_OK;
        case Number::Real: {
            const double scaled = RoundHalfEven(n.d * 10000.0);
            if (std::isnan(scaled) || scaled >= 9223372036854775808.0 || scaled < -9223372036854775808.0) {
                return DISP_E_OVERFLOW;
            }
            *out = static_cast<long long>(scaled);
            return S_OK;
        }
    }
    return DISP_E_TYPEMISMATCH;
}

bool IsZero(const Number& n) {
    switch (n.kind) {
        case Number::Int:
        case Number::Currency:
            return n.i == 0;
        case Number::UInt:
            return n.u == 0;
        case Number::Real:
            return n.d == 0;
    }
    return true;
}

HRESULT NumberToType(const Number& n, VARTYPE vt, bool fromBool, VARIANT* out) {
    long long si = 0;
    unsigned long long ui = 0;
    HRESULT hr = S_OK;
    // Booleans go to unsigned types as their bit pattern (true is all ones).
    const bool bits =
        fromBool && (vt == VT_UI1 || vt == VT_UI2 || vt == VT_UI4 || vt == VT_UI8 || vt == VT_UINT);
    switch (vt) {
        case VT_I1:
            hr = ToInteger(n, -128, 127, &si, &ui);
            out->cVal = static_cast<CHAR>(si);
            break;
        case VT_I2:
            hr = ToInteger(n, -32768, 32767, &si, &ui);
            out->iVal = static_cast<SHORT>(si);
            break;
        case VT_I4:
        case VT_INT:
            hr = ToInteger(n, -2147483648.0L, 2147483647.0L, &si, &ui);
            out->lVal = static_cast<LONG>(si);
            break;
        case VT_I8:
            hr = ToInteger(n, -9223372036854775808.0L, 9223372036854775807.0L, &si, &ui);
            out->llVal = si;
            break;
        case VT_UI1:
            if (bits) {
                out->bVal = static_cast<BYTE>(n.i);
                break;
            }
            hr = ToInteger(n, 0, 255, &si, &ui);
            out->bVal = static_cast<BYTE>(ui);
            break;
        case VT_UI2:
            if (bits) {
                out->uiVal = static_cast<USHORT>(n.i);
                break;
            }
            hr = ToInteger(n, 0, 65535, &si, &ui);
            out->uiVal = static_cast<USHORT>(ui);
            break;
        case VT_UI4:
        case VT_UINT:
            if (bits) {
                out->ulVal = static_cast<ULONG>(n.i);
                break;
            }
            hr = ToInteger(n, 0, 4294967295.0L, &si, &ui);
            out->ulVal = static_cast<ULONG>(ui);
            break;
        case VT_UI8:
            if (bits) {
                out->ullVal = static_cast<ULONGLONG>(n.i);
                break;
            }
            hr = ToInteger(n, 0, 18446744073709551615.0L, &si, &ui);
            out->ullVal = ui;
            break;
        case VT_R4: {
            const double d = ToDouble(n);
            if (std::fabs(d) > FLT_MAX && !std::isinf(d)) {
                return DISP_E_OVERFLOW;
            }
            out->fltVal = static_cast<float>(d);
            break;
        }
        case VT_R8:
            out->dblVal = ToDouble(n);
            break;
        case VT_DATE: {
            const double d = ToDouble(n);
            if (!(d >= kMinDate && d < kMaxDateExclusive)) {
                return DISP_E_OVERFLOW;
            }
            out->date = d;
            break;
        }
        case VT_CY:
            hr = ToCurrency(n, &out->cyVal.int64);
            break;
        case VT_BOOL:
            out->boolVal = IsZero(n) ? VARIANT_FALSE : VARIANT_TRUE;
            break;
        case VT_ERROR:
            hr = ToInteger(n, -2147483648.0L, 4294967295.0L, &si, &ui);
            out->scode = static_cast<SCODE>(static_cast<ULONG>(ui));
            break;
        default:
            return DISP_E_TYPEMISMATCH;
    }
    if (FAILED(hr)) {
        return hr;
    }
    out->vt = vt;
    return S_OK;
}

HRESULT TextToVariant(const std::wstring& text, VARIANT* out) {
    out->bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    if (out->bstrVal == nullptr) {
        return E_OUTOFMEMORY;
    }
    out->vt = VT_BSTR;
    return S_OK;
}

HRESULT ToText(const VARIANT& v, USHORT flags, VARIANT* out) {
    switch (v.vt) {
        case VT_EMPTY:
            return TextToVariant(std::wstring(), out);
        case VT_BOOL:
            if ((flags & (VARIANT_ALPHABOOL | VARIANT_LOCALBOOL)) != 0) {
                return TextToVariant(v.boolVal != 0 ? L"True" : L"False", out);
            }
            return TextToVariant(v.boolVal != 0 ? L"-1" : L"0", out);
        case VT_R4:
            return TextToVariant(FormatReal(v.fltVal, 7), out);
        case VT_R8:
            return TextToVariant(FormatReal(v.dblVal, 15), out);
        case VT_DATE:
            if (!(v.date >= kMinDate && v.date < kMaxDateExclusive)) {
                return DISP_E_OVERFLOW;
            }
            return TextToVariant(FormatDate(v.date, 0), out);
        case VT_CY:
            return TextToVariant(FormatCurrency(v.cyVal.int64), out);
        case VT_UI8:
            return TextToVariant(std::to_wstring(v.ullVal), out);
        default: {
            Number n;
            const HRESULT hr = ToNumber(v, &n);
            if (FAILED(hr) || n.kind != Number::Int) {
                return DISP_E_TYPEMISMATCH;
            }
            return TextToVariant(std::to_wstring(n.i), out);
        }
    }
}

HRESULT Coerce(const VARIANT& source, LCID lcid, USHORT flags, VARTYPE vt, VARIANT* out, int depth);

// An object converted to a value type: its value property (DISPID_VALUE).
HRESULT ObjectValue(const VARIANT& v, LCID lcid, USHORT flags, VARTYPE vt, VARIANT* out, int depth) {
    if ((flags & VARIANT_NOVALUEPROP) != 0 || depth > 4) {
        return DISP_E_TYPEMISMATCH;
    }
    IDispatch* dispatch = nullptr;
    if (v.vt == VT_DISPATCH) {
        dispatch = v.pdispVal;
        if (dispatch != nullptr) {
            dispatch->AddRef();
        }
    } else if (v.punkVal != nullptr &&
               FAILED(v.punkVal->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch)))) {
        dispatch = nullptr;
    }
    if (dispatch == nullptr) {
        return DISP_E_TYPEMISMATCH;
    }
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    VARIANT value;
    VariantInit(&value);
    HRESULT hr =
        dispatch->Invoke(DISPID_VALUE, IID_NULL, lcid, DISPATCH_PROPERTYGET, &none, &value, nullptr, nullptr);
    dispatch->Release();
    if (FAILED(hr)) {
        VariantClear(&value);
        return DISP_E_TYPEMISMATCH;
    }
    hr = Coerce(value, lcid, flags, vt, out, depth + 1);
    VariantClear(&value);
    return hr;
}

HRESULT Coerce(const VARIANT& source, LCID lcid, USHORT flags, VARTYPE vt, VARIANT* out, int depth) {
    if (!IsValidVariantType(source.vt)) {
        return DISP_E_BADVARTYPE;
    }
    if ((vt & VT_BYREF) != 0 || (vt != VT_VARIANT && !IsValidVariantType(vt))) {
        return DISP_E_BADVARTYPE;
    }
    VARIANT v;
    if (!Dereference(source, &v)) {
        return DISP_E_BADVARTYPE;
    }
    if (v.vt == vt || vt == VT_VARIANT) {
        return VariantCopy(out, &v);
    }
    if (vt == VT_EMPTY) {
        return S_OK;
    }
    if (((v.vt | vt) & VT_ARRAY) != 0) {
        return DISP_E_TYPEMISMATCH;
    }
    const bool objectTarget = vt == VT_DISPATCH || vt == VT_UNKNOWN;
    if ((v.vt == VT_DISPATCH || v.vt == VT_UNKNOWN) && !objectTarget) {
        return ObjectValue(v, lcid, flags, vt, out, depth);
    }
    if (vt == VT_NULL) {
        if (v.vt != VT_EMPTY) {
            return DISP_E_TYPEMISMATCH;
        }
        out->vt = VT_NULL;
        return S_OK;
    }
    if (v.vt == VT_NULL || v.vt == VT_ERROR) {
        return DISP_E_TYPEMISMATCH;
    }
    if (objectTarget) {
        if (v.vt != VT_DISPATCH && v.vt != VT_UNKNOWN) {
            return DISP_E_TYPEMISMATCH;
        }
        IUnknown* object = v.punkVal;
        void* result = nullptr;
        if (object != nullptr) {
            const HRESULT hr =
                object->QueryInterface(vt == VT_DISPATCH ? IID_IDispatch : IID_IUnknown, &result);
            if (FAILED(hr)) {
                return hr;
            }
        }
        out->vt = vt;
        out->byref = result;
        return S_OK;
    }
    if (vt == VT_BSTR) {
        return ToText(v, flags, out);
    }
    if (v.vt == VT_BSTR && vt == VT_DATE) {
        DATE d = 0;
        const HRESULT hr = ParseDate(BstrText(v.bstrVal), &d);
        if (FAILED(hr)) {
            return hr;
        }
        out->vt = VT_DATE;
        out->date = d;
        return S_OK;
    }
    if (v.vt == VT_BSTR && vt == VT_BOOL) {
        bool b = false;
        const HRESULT hr = ParseBool(BstrText(v.bstrVal), &b);
        if (FAILED(hr)) {
            return hr;
        }
        out->vt = VT_BOOL;
        out->boolVal = b ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    }
    if (vt == VT_ERROR && v.vt != VT_I4 && v.vt != VT_UI4 && v.vt != VT_INT && v.vt != VT_UINT) {
        return DISP_E_TYPEMISMATCH;
    }
    Number n;
    const HRESULT hr = ToNumber(v, &n);
    if (FAILED(hr)) {
        return hr;
    }
    return NumberToType(n, vt, v.vt == VT_BOOL, out);
}

// Value types that own nothing, all of them valid in a variant.
bool OwnsNothing(VARTYPE vt) {
    return IsKnownBaseType(vt) && vt != VT_BSTR && vt != VT_DISPATCH && vt != VT_UNKNOWN && vt != VT_VARIANT;
}

}  // namespace

void VariantInit(VARIANTARG* v) {
    if (v == nullptr) {
        return;
    }
    std::memset(static_cast<void*>(v), 0, sizeof(VARIANT));
    v->vt = VT_EMPTY;
}

HRESULT VariantClear(VARIANTARG* v) {
    if (v == nullptr) {
        return E_INVALIDARG;
    }
    // Blocks of cells are mostly empty elements, numbers and texts: those
    // need no type check, as every one of them is valid.
    if (v->vt == VT_BSTR || OwnsNothing(v->vt)) {
        if (v->vt == VT_BSTR) {
            SysFreeString(v->bstrVal);
        }
        VariantInit(v);
        return S_OK;
    }
    if (!IsValidVariantType(v->vt)) {
        return DISP_E_BADVARTYPE;
    }
    if ((v->vt & VT_BYREF) == 0) {
        if ((v->vt & VT_ARRAY) != 0) {
            if (v->parray != nullptr) {
                const HRESULT hr = SafeArrayDestroy(v->parray);
                if (FAILED(hr)) {
                    return hr;
                }
            }
        } else if (v->vt == VT_BSTR) {
            SysFreeString(v->bstrVal);
        } else if (v->vt == VT_DISPATCH || v->vt == VT_UNKNOWN) {
            if (v->punkVal != nullptr) {
                v->punkVal->Release();
            }
        }
    }
    VariantInit(v);
    return S_OK;
}

HRESULT VariantCopy(VARIANTARG* dest, const VARIANTARG* src) {
    if (dest == nullptr || src == nullptr) {
        return E_INVALIDARG;
    }
    if (dest == src) {
        return S_OK;
    }
    if (OwnsNothing(src->vt) && OwnsNothing(dest->vt)) {
        // Neither side holds anything to copy or free: the value is the copy.
        *dest = *src;
        return S_OK;
    }
    if (!IsValidVariantType(src->vt)) {
        return DISP_E_BADVARTYPE;
    }
    // Copy first: src may live inside what dest owns.
    VARIANT copy = *src;
    if ((src->vt & VT_BYREF) == 0) {
        if ((src->vt & VT_ARRAY) != 0) {
            if (src->parray != nullptr) {
                const HRESULT hr = SafeArrayCopy(src->parray, &copy.parray);
                if (FAILED(hr)) {
                    return hr;
                }
            }
        } else if (src->vt == VT_BSTR) {
            if (src->bstrVal != nullptr) {
                copy.bstrVal = SysAllocStringLen(src->bstrVal, SysStringLen(src->bstrVal));
                if (copy.bstrVal == nullptr) {
                    return E_OUTOFMEMORY;
                }
            }
        } else if (src->vt == VT_DISPATCH || src->vt == VT_UNKNOWN) {
            if (src->punkVal != nullptr) {
                src->punkVal->AddRef();
            }
        }
    }
    const HRESULT hr = VariantClear(dest);
    if (FAILED(hr)) {
        VariantClear(&copy);
        return hr;
    }
    *dest = copy;
    return S_OK;
}

HRESULT VariantCopyInd(VARIANT* dest, const VARIANTARG* src) {
    if (dest == nullptr || src == nullptr) {
        return E_INVALIDARG;
    }
    if (!IsValidVariantType(src->vt)) {
        return DISP_E_BADVARTYPE;
    }
    VARIANT view;
    if (!Dereference(*src, &view)) {
        return E_INVALIDARG;
    }
    VARIANT copy;
    VariantInit(&copy);
    HRESULT hr = VariantCopy(&copy, &view);
    if (FAILED(hr)) {
        return hr;
    }
    hr = VariantClear(dest);
    if (FAILED(hr)) {
        VariantClear(&copy);
        return hr;
    }
    *dest = copy;
    return S_OK;
}

HRESULT VariantChangeTypeEx(VARIANTARG* dest, const VARIANTARG* src, LCID lcid, USHORT flags, VARTYPE vt) {
    if (dest == nullptr || src == nullptr) {
        return E_INVALIDARG;
    }
    VARIANT result;
    VariantInit(&result);
    HRESULT hr = Coerce(*src, lcid, flags, vt, &result, 0);
    if (FAILED(hr)) {
        VariantClear(&result);
        return hr;
    }
    hr = VariantClear(dest);
    if (FAILED(hr)) {
        VariantClear(&result);
        return hr;
    }
    *dest = result;
    return S_OK;
}

HRESULT VariantChangeType(VARIANTARG* dest, const VARIANTARG* src, USHORT flags, VARTYPE vt) {
    return VariantChangeTypeEx(dest, src, LOCALE_USER_DEFAULT, flags, vt);
}

HRESULT VarR8FromStr(LPCOLESTR text, LCID, ULONG, DOUBLE* out) {
    if (text == nullptr || out == nullptr) {
        return E_INVALIDARG;
    }
    return ParseNumber(text, out);
}

HRESULT VarI4FromStr(LPCOLESTR text, LCID, ULONG, LONG* out) {
    if (text == nullptr || out == nullptr) {
        return E_INVALIDARG;
    }
    Number n;
    n.kind = Number::Real;
    HRESULT hr = ParseNumber(text, &n.d);
    if (FAILED(hr)) {
        return hr;
    }
    long long si = 0;
    unsigned long long ui = 0;
    hr = ToInteger(n, -2147483648.0L, 2147483647.0L, &si, &ui);
    if (SUCCEEDED(hr)) {
        *out = static_cast<LONG>(si);
    }
    return hr;
}

HRESULT VarDateFromStr(LPCOLESTR text, LCID, ULONG, DATE* out) {
    if (text == nullptr || out == nullptr) {
        return E_INVALIDARG;
    }
    return ParseDate(text, out);
}

HRESULT VarBstrFromR8(DOUBLE value, LCID, ULONG, BSTR* out) {
    if (out == nullptr) {
        return E_INVALIDARG;
    }
    const std::wstring text = FormatReal(value, 15);
    *out = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return *out == nullptr ? E_OUTOFMEMORY : S_OK;
}

HRESULT VarBstrFromDate(DATE value, LCID, ULONG flags, BSTR* out) {
    if (out == nullptr) {
        return E_INVALIDARG;
    }
    if (!(value >= kMinDate && value < kMaxDateExclusive)) {
        return E_INVALIDARG;
    }
    const std::wstring text = FormatDate(value, flags);
    *out = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return *out == nullptr ? E_OUTOFMEMORY : S_OK;
}

HRESULT VarI4FromR8(DOUBLE value, LONG* out) {
    if (out == nullptr) {
        return E_INVALIDARG;
    }
    Number n;
    n.kind = Number::Real;
    n.d = value;
    long long si = 0;
    unsigned long long ui = 0;
    const HRESULT hr = ToInteger(n, -2147483648.0L, 2147483647.0L, &si, &ui);
    if (SUCCEEDED(hr)) {
        *out = static_cast<LONG>(si);
    }
    return hr;
}

INT SystemTimeToVariantTime(const SYSTEMTIME* st, DATE* out) {
    if (st == nullptr || out == nullptr || st->wHour > 23 || st->wMinute > 59 || st->wSecond > 59 ||
        !IsValidCivil(st->wYear, st->wMonth, st->wDay)) {
        return FALSE;
    }
    const double day = static_cast<double>(sw::base::DaysFromCivil(st->wYear, st->wMonth, st->wDay));
    const double fraction = (st->wHour * 3600.0 + st->wMinute * 60.0 + st->wSecond) / 86400.0;
    *out = day < 0 ? day - fraction : day + fraction;
    return TRUE;
}

INT VariantTimeToSystemTime(DATE value, SYSTEMTIME* st) {
    if (st == nullptr || !(value >= kMinDate && value < kMaxDateExclusive)) {
        return FALSE;
    }
    const double whole = std::trunc(value);
    long long seconds = std::llround(std::fabs(value - whole) * 86400.0);
    long long day = static_cast<long long>(whole);
    if (seconds >= 86400) {
        seconds -= 86400;
        ++day;
    }
    const sw::base::CivilDate date = sw::base::CivilFromDays(day);
    if (date.year > 9999) {
        return FALSE;
    }
    st->wYear = static_cast<WORD>(date.year);
    st->wMonth = static_cast<WORD>(date.month);
    st->wDay = static_cast<WORD>(date.day);
    // 30 December 1899 (day 0) was a Saturday.
    st->wDayOfWeek = static_cast<WORD>(((day % 7) + 7 + 6) % 7);
    st->wHour = static_cast<WORD>(seconds / 3600);
    st->wMinute = static_cast<WORD>(seconds / 60 % 60);
    st->wSecond = static_cast<WORD>(seconds % 60);
    st->wMilliseconds = 0;
    return TRUE;
}
