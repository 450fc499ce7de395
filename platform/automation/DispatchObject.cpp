#include "platform/automation/DispatchObject.h"

#include <atomic>
#include <cstring>
#include <cwctype>
#include <new>
#include <stdexcept>
#include <utility>

#include "platform/automation/OleException.h"

namespace sw::automation {
namespace {

std::atomic<long> g_liveObjects{0};

const VARIANT& EmptyVariant() {
    static const VARIANT empty = [] {
        VARIANT v;
        VariantInit(&v);
        return v;
    }();
    return empty;
}

bool IsMissingValue(const VARIANT& v) {
    return v.vt == VT_ERROR && v.scode == DISP_E_PARAMNOTFOUND;
}

// A by-reference variant seen as the variant it points at.
const VARIANT* Unwrap(const VARIANT* v) {
    while (v != nullptr && v->vt == (VT_VARIANT | VT_BYREF) && v->pvarVal != nullptr) {
        v = v->pvarVal;
    }
    return v;
}

bool SameName(const std::wstring& a, const wchar_t* b) {
    std::size_t i = 0;
    for (; i < a.size() && b[i] != L'\0'; ++i) {
        if (std::towlower(static_cast<wint_t>(a[i])) != std::towlower(static_cast<wint_t>(b[i]))) {
            return false;
        }
    }
    return i == a.size() && b[i] == L'\0';
}

BSTR MakeBstr(const std::wstring& s) {
    return s.empty() ? nullptr : SysAllocStringLen(s.data(), static_cast<UINT>(s.size()));
}

void FillException(EXCEPINFO* info, const std::wstring& source, const std::wstring& description, SCODE scode,
                   WORD wCode) {
    if (info == nullptr) {
        return;
    }
    std::memset(info, 0, sizeof *info);
    info->wCode = wCode;
    info->scode = wCode != 0 ? 0 : scode;
    info->bstrSource = MakeBstr(source);
    info->bstrDescription = MakeBstr(description);
}

}  // namespace

void ThrowInvokeError(HRESULT hr) {
    throw InvokeError{hr, InvokeError::kNoArg};
}

void ThrowArgError(HRESULT hr, UINT argIndex) {
    throw InvokeError{hr, argIndex};
}

void ThrowApplicationError(const std::wstring& description, SCODE scode, WORD wCode) {
    throw ApplicationError{description, scode, wCode};
}

// ------------------------------------------------------------------- DispArgs

DispArgs::DispArgs(const DISPPARAMS& params, bool isPut) : cArgs_(params.cArgs) {
    UINT positional = params.cArgs;
    if (isPut && params.cArgs > 0) {
        value_ = Unwrap(&params.rgvarg[0]);
        --positional;
    }
    const VARIANT** slots = inline_;
    if (positional > kInline) {
        more_.resize(positional);
        slots = more_.data();
    }
    for (UINT i = 0; i < positional; ++i) {
        slots[i] = Unwrap(&params.rgvarg[params.cArgs - 1 - i]);
    }
    count_ = positional;
}

bool DispArgs::IsMissing(UINT index) const {
    if (index == kValue) {
        return value_ == nullptr;
    }
    return index >= count_ || IsMissingValue(*Positional()[index]);
}

const VARIANT& DispArgs::At(UINT index) const {
    if (index == kValue) {
        return value_ == nullptr ? EmptyVariant() : *value_;
    }
    return index < count_ ? *Positional()[index] : EmptyVariant();
}

UINT DispArgs::RgIndex(UINT index) const {
    if (index == kValue) {
        return 0;
    }
    return cArgs_ - 1 - index;
}

void DispArgs::Coerce(UINT index, VARTYPE vt, VARIANT* out) const {
    VariantInit(out);
    if (IsMissing(index)) {
        ThrowArgError(DISP_E_PARAMNOTFOUND, index);
    }
    const HRESULT hr = VariantChangeType(out, &At(index), 0, vt);
    if (FAILED(hr)) {
        ThrowArgError(hr == DISP_E_OVERFLOW ? DISP_E_OVERFLOW : DISP_E_TYPEMISMATCH, index);
    }
}

LONG DispArgs::Long(UINT index) const {
    VARIANT v;
    Coerce(index, VT_I4, &v);
    return v.lVal;
}

LONG DispArgs::LongOr(UINT index, LONG dflt) const {
    return IsMissing(index) ? dflt : Long(index);
}

double DispArgs::Double(UINT index) const {
    VARIANT v;
    Coerce(index, VT_R8, &v);
    return v.dblVal;
}

double DispArgs::DoubleOr(UINT index, double dflt) const {
    return IsMissing(index) ? dflt : Double(index);
}

bool DispArgs::Bool(UINT index) const {
    VARIANT v;
    Coerce(index, VT_BOOL, &v);
    return v.boolVal != VARIANT_FALSE;
}

bool DispArgs::BoolOr(UINT index, bool dflt) const {
    return IsMissing(index) ? dflt : Bool(index);
}

std::wstring DispArgs::String(UINT index) const {
    VARIANT v;
    Coerce(index, VT_BSTR, &v);
    std::wstring s(v.bstrVal == nullptr ? L"" : v.bstrVal, SysStringLen(v.bstrVal));
    VariantClear(&v);
    return s;
}

std::wstring DispArgs::StringOr(UINT index, const std::wstring& dflt) const {
    return IsMissing(index) ? dflt : String(index);
}

IDispatch* DispArgs::Dispatch(UINT index) const {
    if (IsMissing(index)) {
        ThrowArgError(DISP_E_PARAMNOTFOUND, index);
    }
    const VARIANT& v = At(index);
    if (v.vt == VT_DISPATCH && v.pdispVal != nullptr) {
        return v.pdispVal;
    }
    if (v.vt == (VT_DISPATCH | VT_BYREF) && v.ppdispVal != nullptr && *v.ppdispVal != nullptr) {
        return *v.ppdispVal;
    }
    ThrowArgError(DISP_E_TYPEMISMATCH, index);
}

// ------------------------------------------------------------ result setters

void SetLongResult(VARIANT& result, LONG value) {
    VariantClear(&result);
    result.vt = VT_I4;
    result.lVal = value;
}

void SetShortResult(VARIANT& result, SHORT value) {
    VariantClear(&result);
    result.vt = VT_I2;
    result.iVal = value;
}

void SetDoubleResult(VARIANT& result, double value) {
    VariantClear(&result);
    result.vt = VT_R8;
    result.dblVal = value;
}

void SetDateResult(VARIANT& result, DATE value) {
    VariantClear(&result);
    result.vt = VT_DATE;
    result.date = value;
}

void SetBoolResult(VARIANT& result, bool value) {
    VariantClear(&result);
    result.vt = VT_BOOL;
    result.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
}

void SetStringResult(VARIANT& result, const std::wstring& value) {
    VariantClear(&result);
    BSTR b = SysAllocStringLen(value.data(), static_cast<UINT>(value.size()));
    if (b == nullptr) {
        throw std::bad_alloc();
    }
    result.vt = VT_BSTR;
    result.bstrVal = b;
}

void SetDispatchResult(VARIANT& result, IDispatch* object) {
    VariantClear(&result);
    result.vt = VT_DISPATCH;
    result.pdispVal = object;
}

// ------------------------------------------------------------- DispatchObject

DispatchObject::DispatchObject() {
    ++g_liveObjects;
}

DispatchObject::~DispatchObject() {
    --g_liveObjects;
}

long DispatchObject::LiveCount() {
    return g_liveObjects.load();
}

HRESULT DispatchObject::QueryInterface(REFIID riid, void** ppvObject) {
    if (ppvObject == nullptr) {
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
    const ULONG left = --refs_;
    if (left == 0) {
        delete this;
    }
    return left;
}

HRESULT DispatchObject::GetTypeInfoCount(UINT* pctinfo) {
    if (pctinfo == nullptr) {
        return E_INVALIDARG;
    }
    *pctinfo = 0;
    return S_OK;
}

HRESULT DispatchObject::GetTypeInfo(UINT, LCID, ITypeInfo** ppTInfo) {
    if (ppTInfo != nullptr) {
        *ppTInfo = nullptr;
    }
    return DISP_E_BADINDEX;
}

HRESULT DispatchObject::GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID, DISPID* rgDispId) {
    if (!IsEqualIID(riid, IID_NULL)) {
        return DISP_E_UNKNOWNINTERFACE;
    }
    if (rgszNames == nullptr || rgDispId == nullptr || cNames == 0) {
        return E_INVALIDARG;
    }
    HRESULT hr = S_OK;
    // Only the member name can be resolved: parameter names are unknown.
    rgDispId[0] = DISPID_UNKNOWN;
    if (rgszNames[0] != nullptr) {
        for (const auto& [id, member] : members_) {
            if (SameName(member.name, rgszNames[0])) {
                rgDispId[0] = id;
                break;
            }
        }
    }
    if (rgDispId[0] == DISPID_UNKNOWN) {
        hr = DISP_E_UNKNOWNNAME;
    }
    for (UINT i = 1; i < cNames; ++i) {
        rgDispId[i] = DISPID_UNKNOWN;
        hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
}

void DispatchObject::AddProperty(DISPID id, const wchar_t* name, UINT minArgs, UINT maxArgs, Getter get,
                                 Setter put) {
    Member m;
    m.name = name == nullptr ? L"" : name;
    m.minArgs = minArgs;
    m.maxArgs = maxArgs;
    m.get = std::move(get);
    m.put = std::move(put);
    members_[id] = std::move(m);
}

void DispatchObject::AddMethod(DISPID id, const wchar_t* name, UINT minArgs, UINT maxArgs, Method fn) {
    Member m;
    m.name = name == nullptr ? L"" : name;
    m.minArgs = minArgs;
    m.maxArgs = maxArgs;
    m.isMethod = true;
    m.get = std::move(fn);
    members_[id] = std::move(m);
}

HRESULT DispatchObject::OnInvoke(DISPID id, WORD flags, DispArgs& args, VARIANT* result, EXCEPINFO*) {
    const auto it = members_.find(id);
    if (it == members_.end()) {
        return DISP_E_MEMBERNOTFOUND;
    }
    const Member& m = it->second;
    const bool isPut = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
    if (isPut) {
        if (m.isMethod || !m.put) {
            return DISP_E_MEMBERNOTFOUND;
        }
    } else if ((flags & (DISPATCH_METHOD | DISPATCH_PROPERTYGET)) == 0 || !m.get) {
        return DISP_E_MEMBERNOTFOUND;
    }
    if (args.Count() < m.minArgs || args.Count() > m.maxArgs) {
        return DISP_E_BADPARAMCOUNT;
    }
    if (isPut) {
        m.put(args, args.Value());
    } else {
        m.get(args, *result);
    }
    return S_OK;
}

HRESULT DispatchObject::Invoke(DISPID dispIdMember, REFIID riid, LCID, WORD wFlags, DISPPARAMS* pDispParams,
                               VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) {
    if (!IsEqualIID(riid, IID_NULL)) {
        return DISP_E_UNKNOWNINTERFACE;
    }
    if (pDispParams == nullptr || (pDispParams->cArgs > 0 && pDispParams->rgvarg == nullptr) ||
        (pDispParams->cNamedArgs > 0 && pDispParams->rgdispidNamedArgs == nullptr) ||
        pDispParams->cNamedArgs > pDispParams->cArgs) {
        return E_INVALIDARG;
    }
    const bool isPut = (wFlags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
    if (isPut) {
        // The new value must come as the one argument named DISPID_PROPERTYPUT.
        if (pDispParams->cNamedArgs != 1 || pDispParams->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT) {
            return pDispParams->cNamedArgs > 1 ? DISP_E_NONAMEDARGS : DISP_E_PARAMNOTFOUND;
        }
    } else if (pDispParams->cNamedArgs != 0) {
        return DISP_E_NONAMEDARGS;
    }
    if (pVarResult != nullptr) {
        VariantInit(pVarResult);
    }
    // Holds the result when the caller wants none, so returned objects are released.
    VARIANT discard;
    VariantInit(&discard);
    VARIANT* result = pVarResult != nullptr ? pVarResult : &discard;
    DispArgs args(*pDispParams, isPut);
    // Keeps the object alive while one of its own handlers runs.
    AddRef();
    HRESULT hr = S_OK;
    try {
        hr = OnInvoke(dispIdMember, wFlags, args, result, pExcepInfo);
    } catch (const InvokeError& e) {
        hr = e.hr;
        if (puArgErr != nullptr && e.argIndex != InvokeError::kNoArg &&
            (e.argIndex == DispArgs::kValue || e.argIndex < args.Count())) {
            *puArgErr = args.RgIndex(e.argIndex);
        }
    } catch (const ApplicationError& e) {
        FillException(pExcepInfo, ErrorSource(), e.description, e.scode, e.wCode);
        hr = DISP_E_EXCEPTION;
    } catch (COleDispatchException* e) {
        FillException(pExcepInfo, e->m_strSource.empty() ? ErrorSource() : e->m_strSource,
                      e->m_strDescription, e->m_scError != 0 ? e->m_scError : kApplicationErrorCode,
                      e->m_wCode);
        e->Delete();
        hr = DISP_E_EXCEPTION;
    } catch (CException* e) {
        hr = COleException::Process(e);
        e->Delete();
    } catch (const std::bad_alloc&) {
        hr = E_OUTOFMEMORY;
    } catch (const std::exception& e) {
        const std::string what = e.what();
        FillException(pExcepInfo, ErrorSource(), std::wstring(what.begin(), what.end()), E_FAIL, 0);
        hr = DISP_E_EXCEPTION;
    } catch (...) {
        hr = E_UNEXPECTED;
    }
    if (FAILED(hr)) {
        VariantClear(result);
    }
    VariantClear(&discard);
    Release();
    return hr;
}

}  // namespace sw::automation
