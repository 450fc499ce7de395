#include "platform/calc/engine/DispatchObject.h"

#include <new>

#include "platform/automation/Bstr.h"

namespace calc {

const VARIANT& Deref(const VARIANT& v) {
    const VARIANT* p = &v;
    // A by-reference variant points at another variant; at most a few hops.
    for (int hops = 0; hops < 4 && p->vt == (VT_BYREF | VT_VARIANT) && p->pvarVal; ++hops) {
        p = p->pvarVal;
    }
    return *p;
}

Args::Args(const DISPPARAMS* params, WORD flags) : params_(params) {
    if (!params || params->cArgs == 0) {
        return;
    }
    count_ = params->cArgs;
    if ((flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0) {
        // The new value is the last argument, rgvarg[0].
        value_ = &params->rgvarg[0];
        --count_;
    }
}

const VARIANT* Args::at(UINT i) const {
    if (i >= count_) {
        return nullptr;
    }
    return &Deref(params_->rgvarg[params_->cArgs - 1 - i]);
}

bool Args::missing(UINT i) const {
    const VARIANT* v = at(i);
    return !v || (v->vt == VT_ERROR && v->scode == DISP_E_PARAMNOTFOUND);
}

const VARIANT& Args::value() const {
    if (!value_) {
        throw StatusError{DISP_E_PARAMNOTFOUND};
    }
    return Deref(*value_);
}

void Args::atMost(UINT n) const {
    if (count_ > n) {
        throw StatusError{DISP_E_BADPARAMCOUNT};
    }
}

namespace {

UINT ReverseIndex(const DISPPARAMS* params, UINT i) {
    return params ? params->cArgs - 1 - i : 0;
}

VARIANT Coerce(const VARIANT& v, VARTYPE vt, UINT argIndex) {
    VARIANT out;
    VariantInit(&out);
    HRESULT hr = VariantChangeType(&out, &v, 0, vt);
    if (FAILED(hr)) {
        throw StatusError{hr, argIndex};
    }
    return out;
}

}  // namespace

int32_t Args::ToInt32(const VARIANT& v, UINT argIndex) {
    return Coerce(Deref(v), VT_I4, argIndex).lVal;
}

double Args::ToDouble(const VARIANT& v, UINT argIndex) {
    return Coerce(Deref(v), VT_R8, argIndex).dblVal;
}

bool Args::ToBool(const VARIANT& v, UINT argIndex) {
    return Coerce(Deref(v), VT_BOOL, argIndex).boolVal != VARIANT_FALSE;
}

std::wstring Args::ToText(const VARIANT& v, UINT argIndex) {
    VARIANT s = Coerce(Deref(v), VT_BSTR, argIndex);
    std::wstring out(s.bstrVal ? s.bstrVal : L"", s.bstrVal ? SysStringLen(s.bstrVal) : 0);
    VariantClear(&s);
    return out;
}

int32_t Args::int32At(UINT i) const {
    if (!at(i)) {
        throw StatusError{DISP_E_PARAMNOTFOUND, ReverseIndex(params_, i)};
    }
    return ToInt32(*at(i), ReverseIndex(params_, i));
}

double Args::doubleAt(UINT i) const {
    if (!at(i)) {
        throw StatusError{DISP_E_PARAMNOTFOUND, ReverseIndex(params_, i)};
    }
    return ToDouble(*at(i), ReverseIndex(params_, i));
}

bool Args::boolAt(UINT i) const {
    if (!at(i)) {
        throw StatusError{DISP_E_PARAMNOTFOUND, ReverseIndex(params_, i)};
    }
    return ToBool(*at(i), ReverseIndex(params_, i));
}

std::wstring Args::textAt(UINT i) const {
    if (!at(i)) {
        throw StatusError{DISP_E_PARAMNOTFOUND, ReverseIndex(params_, i)};
    }
    return ToText(*at(i), ReverseIndex(params_, i));
}

HRESULT DispatchObject::QueryInterface(REFIID riid, void** ppvObject) {
    if (!ppvObject) {
        return E_POINTER;
    }
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch)) {
        *ppvObject = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    *ppvObject = nullptr;
    return E_NOINTERFACE;
}

ULONG DispatchObject::AddRef() {
    return ++refs_;
}

ULONG DispatchObject::Release() {
    ULONG left = --refs_;
    if (left == 0) {
        delete this;
    }
    return left;
}

HRESULT DispatchObject::GetTypeInfoCount(UINT* pctinfo) {
    if (!pctinfo) {
        return E_POINTER;
    }
    *pctinfo = 0;
    return S_OK;
}

HRESULT DispatchObject::GetTypeInfo(UINT, LCID, ITypeInfo** ppTInfo) {
    if (ppTInfo) {
        *ppTInfo = nullptr;
    }
    return DISP_E_BADINDEX;
}

HRESULT DispatchObject::GetIDsOfNames(REFIID, LPOLESTR*, UINT cNames, LCID, DISPID* rgDispId) {
    // Callers use fixed identifiers; names are not published.
    for (UINT i = 0; rgDispId && i < cNames; ++i) {
        rgDispId[i] = DISPID_UNKNOWN;
    }
    return DISP_E_UNKNOWNNAME;
}

HRESULT DispatchObject::Invoke(DISPID dispIdMember, REFIID riid, LCID, WORD wFlags, DISPPARAMS* pDispParams,
                               VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) {
    if (!IsEqualIID(riid, IID_NULL)) {
        return DISP_E_UNKNOWNINTERFACE;
    }
    if (pDispParams && pDispParams->cArgs > 0 && !pDispParams->rgvarg) {
        return E_INVALIDARG;
    }
    const bool put = (wFlags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
    if (pDispParams && pDispParams->cNamedArgs > 0) {
        // The only named argument understood is the value of a property put.
        if (!put || pDispParams->cNamedArgs != 1 || !pDispParams->rgdispidNamedArgs ||
            pDispParams->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT) {
            return DISP_E_NONAMEDARGS;
        }
    }
    if (put && (!pDispParams || pDispParams->cArgs == 0)) {
        return DISP_E_PARAMNOTFOUND;
    }
    Kind kind = put ? Kind::Put : ((wFlags & DISPATCH_PROPERTYGET) != 0 ? Kind::Get : Kind::Method);
    VARIANT scratch;
    VariantInit(&scratch);
    VARIANT& result = pVarResult ? *pVarResult : scratch;
    if (pVarResult) {
        VariantInit(pVarResult);
    }
    try {
        Args args(pDispParams, wFlags);
        Call(dispIdMember, kind, args, result);
        VariantClear(&scratch);
        return S_OK;
    } catch (const StatusError& e) {
        VariantClear(&result);
        if (puArgErr &&
            (e.hr == DISP_E_TYPEMISMATCH || e.hr == DISP_E_PARAMNOTFOUND || e.hr == DISP_E_OVERFLOW)) {
            *puArgErr = e.argIndex;
        }
        return e.hr;
    } catch (const AppError& e) {
        VariantClear(&result);
        if (pExcepInfo) {
            *pExcepInfo = EXCEPINFO{};
            pExcepInfo->scode = kAppErrorScode;
            pExcepInfo->bstrSource = SysAllocString(L"Calc");
            pExcepInfo->bstrDescription =
                SysAllocStringLen(e.description.data(), static_cast<UINT>(e.description.size()));
        }
        return DISP_E_EXCEPTION;
    } catch (const std::bad_alloc&) {
        VariantClear(&result);
        return E_OUTOFMEMORY;
    } catch (...) {
        VariantClear(&result);
        return E_UNEXPECTED;
    }
}

void DispatchObject::ReturnObject(VARIANT& result, IDispatch* object) {
    result.vt = VT_DISPATCH;
    result.pdispVal = object;
}

void DispatchObject::ReturnBool(VARIANT& result, bool value) {
    result.vt = VT_BOOL;
    result.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
}

void DispatchObject::ReturnText(VARIANT& result, const std::wstring& text) {
    result.vt = VT_BSTR;
    result.bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
}

void DispatchObject::Require(Kind kind, Kind wanted) {
    // Property reads and methods are told apart loosely, as callers combine
    // DISPATCH_METHOD and DISPATCH_PROPERTYGET; a put must be a put.
    if ((kind == Kind::Put) != (wanted == Kind::Put)) {
        throw StatusError{DISP_E_MEMBERNOTFOUND};
    }
}

}  // namespace calc
