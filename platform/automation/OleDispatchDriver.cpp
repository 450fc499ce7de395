#include "platform/automation/OleDispatchDriver.h"

#include <cstring>
#include <memory>
#include <string>

#include "platform/automation/ComRuntime.h"

COleDispatchDriver::COleDispatchDriver() : m_lpDispatch(nullptr), m_bAutoRelease(TRUE) {}

COleDispatchDriver::COleDispatchDriver(LPDISPATCH lpDispatch, BOOL bAutoRelease)
    : m_lpDispatch(lpDispatch), m_bAutoRelease(bAutoRelease) {}

COleDispatchDriver::COleDispatchDriver(const COleDispatchDriver& dispatchSrc)
    : m_lpDispatch(dispatchSrc.m_lpDispatch), m_bAutoRelease(TRUE) {
    if (m_lpDispatch != nullptr) {
        m_lpDispatch->AddRef();
    }
}

COleDispatchDriver& COleDispatchDriver::operator=(const COleDispatchDriver& dispatchSrc) {
    if (this != &dispatchSrc) {
        // Take the new reference before letting go of the old one: both may be the same object.
        LPDISPATCH incoming = dispatchSrc.m_lpDispatch;
        if (incoming != nullptr) {
            incoming->AddRef();
        }
        ReleaseDispatch();
        m_lpDispatch = incoming;
        m_bAutoRelease = TRUE;
    }
    return *this;
}

COleDispatchDriver::~COleDispatchDriver() {
    ReleaseDispatch();
}

BOOL COleDispatchDriver::CreateDispatch(REFCLSID clsid, COleException* pError) {
    IUnknown* unknown = nullptr;
    HRESULT hr =
        CoCreateInstance(clsid, nullptr, CLSCTX_ALL, IID_IUnknown, reinterpret_cast<void**>(&unknown));
    if (SUCCEEDED(hr)) {
        hr = OleRun(unknown);
        LPDISPATCH dispatch = nullptr;
        if (SUCCEEDED(hr)) {
            hr = unknown->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch));
        }
        unknown->Release();
        if (SUCCEEDED(hr)) {
            AttachDispatch(dispatch, TRUE);
            return TRUE;
        }
    }
    if (pError != nullptr) {
        pError->m_sc = hr;
    }
    return FALSE;
}

BOOL COleDispatchDriver::CreateDispatch(LPCTSTR lpszProgID, COleException* pError) {
    CLSID clsid{};
    const HRESULT hr = CLSIDFromProgID(lpszProgID, &clsid);
    if (FAILED(hr)) {
        if (pError != nullptr) {
            pError->m_sc = hr;
        }
        return FALSE;
    }
    return CreateDispatch(clsid, pError);
}

void COleDispatchDriver::AttachDispatch(LPDISPATCH lpDispatch, BOOL bAutoRelease) {
    // Unconditional, as the framework does: a pointer handed in carries its
    // own reference even when it is the object already held.
    ReleaseDispatch();
    m_lpDispatch = lpDispatch;
    m_bAutoRelease = bAutoRelease;
}

LPDISPATCH COleDispatchDriver::DetachDispatch() {
    LPDISPATCH held = m_lpDispatch;
    m_lpDispatch = nullptr;
    return held;
}

void COleDispatchDriver::ReleaseDispatch() {
    if (m_lpDispatch != nullptr) {
        LPDISPATCH held = m_lpDispatch;
        m_lpDispatch = nullptr;
        if (m_bAutoRelease) {
            held->Release();
        }
    }
}

void COleDispatchDriver::InvokeHelper(DISPID dwDispID, WORD wFlags, VARTYPE vtRet, void* pvRet,
                                      const BYTE* pbParamInfo, ...) {
    va_list args;
    va_start(args, pbParamInfo);
    try {
        InvokeHelperV(dwDispID, wFlags, vtRet, pvRet, pbParamInfo, args);
    } catch (...) {
        va_end(args);
        throw;
    }
    va_end(args);
}

namespace {

// Sets the result slot to its empty value.
void EmptyResult(VARTYPE vtRet, void* pvRet) {
    if (pvRet == nullptr) {
        return;
    }
    switch (vtRet) {
        case VT_I2:
            *static_cast<SHORT*>(pvRet) = 0;
            break;
        case VT_I4:
            *static_cast<LONG*>(pvRet) = 0;
            break;
        case VT_R4:
            *static_cast<float*>(pvRet) = 0;
            break;
        case VT_R8:
        case VT_DATE:
            *static_cast<double*>(pvRet) = 0;
            break;
        case VT_CY:
            static_cast<CY*>(pvRet)->int64 = 0;
            break;
        case VT_BSTR:
            static_cast<std::wstring*>(pvRet)->clear();
            break;
        case VT_DISPATCH:
            *static_cast<IDispatch**>(pvRet) = nullptr;
            break;
        case VT_UNKNOWN:
            *static_cast<IUnknown**>(pvRet) = nullptr;
            break;
        case VT_ERROR:
            *static_cast<SCODE*>(pvRet) = 0;
            break;
        case VT_BOOL:
            *static_cast<BOOL*>(pvRet) = FALSE;
            break;
        case VT_VARIANT:
            VariantInit(static_cast<VARIANT*>(pvRet));
            break;
        case VT_UI1:
            *static_cast<BYTE*>(pvRet) = 0;
            break;
        default:
            break;
    }
}

// The argument array as Invoke wants it, last argument first; strings made
// for VTS_BSTR are freed on every path. Members take a handful of arguments,
// so the array lives on the stack unless a call has more than that.
class ArgumentList {
public:
    explicit ArgumentList(std::size_t count) : count_(count) {
        if (count > kInline) {
            heapArgs_ = std::make_unique<VARIANT[]>(count);
            heapOwned_ = std::make_unique<bool[]>(count);
        }
        args_ = count > kInline ? heapArgs_.get() : inlineArgs_;
        owned_ = count > kInline ? heapOwned_.get() : inlineOwned_;
        for (std::size_t i = 0; i < count; ++i) {
            VariantInit(&args_[i]);
            owned_[i] = false;
        }
    }
    ArgumentList(const ArgumentList&) = delete;
    ArgumentList& operator=(const ArgumentList&) = delete;
    ~ArgumentList() {
        for (std::size_t i = 0; i < count_; ++i) {
            if (owned_[i]) {
                VariantClear(&args_[i]);
            }
        }
    }
    // The slot of the argument at position `i` in call order.
    VARIANT& At(std::size_t i) { return args_[count_ - 1 - i]; }
    void Own(std::size_t i) { owned_[count_ - 1 - i] = true; }
    VARIANT* Data() { return count_ == 0 ? nullptr : args_; }
    std::size_t Count() const { return count_; }

private:
    static constexpr std::size_t kInline = 12;
    std::size_t count_;
    VARIANT inlineArgs_[kInline];
    bool inlineOwned_[kInline];
    std::unique_ptr<VARIANT[]> heapArgs_;
    std::unique_ptr<bool[]> heapOwned_;
    VARIANT* args_ = nullptr;
    bool* owned_ = nullptr;
};

// The server allocates these; whoever receives the EXCEPINFO frees them, on every path.
void FreeExcepInfoStrings(EXCEPINFO* excep) {
    SysFreeString(excep->bstrSource);
    SysFreeString(excep->bstrDescription);
    SysFreeString(excep->bstrHelpFile);
}

bool IsValidResultType(VARTYPE vt) {
    switch (vt) {
        case VT_EMPTY:
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
        case VT_UI1:
            return true;
        default:
            return false;
    }
}

}  // namespace

void COleDispatchDriver::InvokeHelperV(DISPID dwDispID, WORD wFlags, VARTYPE vtRet, void* pvRet,
                                       const BYTE* pbParamInfo, va_list argList) {
    if (!IsValidResultType(vtRet) || (vtRet != VT_EMPTY && pvRet == nullptr)) {
        AfxThrowOleException(E_INVALIDARG);
    }
    EmptyResult(vtRet, pvRet);
    if (m_lpDispatch == nullptr) {
        return;
    }
    const std::size_t count =
        pbParamInfo == nullptr ? 0 : std::strlen(reinterpret_cast<const char*>(pbParamInfo));
    ArgumentList list(count);
    for (std::size_t i = 0; i < count; ++i) {
        VARIANT& arg = list.At(i);
        const BYTE code = pbParamInfo[i];
        const bool byRef = (code & 0x40) != 0;
        const VARTYPE vt = static_cast<VARTYPE>(code & ~0x40);
        if (byRef) {
            // By reference takes the same types a result may have, the pointer carried as is.
            if (vt == VT_EMPTY || !IsValidResultType(vt)) {
                AfxThrowOleException(DISP_E_BADVARTYPE);
            }
            arg.vt = static_cast<VARTYPE>(vt | VT_BYREF);
            arg.byref = va_arg(argList, void*);
            continue;
        }
        switch (vt) {
            case VT_I2:
                arg.vt = VT_I2;
                arg.iVal = static_cast<SHORT>(va_arg(argList, int));
                break;
            case VT_I4:
                arg.vt = VT_I4;
                arg.lVal = va_arg(argList, LONG);
                break;
            case VT_R4:
                arg.vt = VT_R4;
                arg.fltVal = static_cast<float>(va_arg(argList, double));
                break;
            case VT_R8:
                arg.vt = VT_R8;
                arg.dblVal = va_arg(argList, double);
                break;
            case VT_CY:
                arg.vt = VT_CY;
                arg.cyVal = va_arg(argList, CY);
                break;
            case VT_DATE:
                arg.vt = VT_DATE;
                arg.date = va_arg(argList, double);
                break;
            case VT_BSTR: {
                const wchar_t* text = va_arg(argList, const wchar_t*);
                arg.vt = VT_BSTR;
                arg.bstrVal = SysAllocString(text == nullptr ? L"" : text);
                if (arg.bstrVal == nullptr) {
                    arg.vt = VT_EMPTY;
                    AfxThrowOleException(E_OUTOFMEMORY);
                }
                list.Own(i);
                break;
            }
            case VT_DISPATCH:
                arg.vt = VT_DISPATCH;
                arg.pdispVal = va_arg(argList, IDispatch*);
                break;
            case VT_ERROR:
                arg.vt = VT_ERROR;
                arg.scode = va_arg(argList, SCODE);
                break;
            case VT_BOOL:
                arg.vt = VT_BOOL;
                arg.boolVal = va_arg(argList, BOOL) != 0 ? VARIANT_TRUE : VARIANT_FALSE;
                break;
            case VT_VARIANT: {
                // Passed as is: the caller keeps ownership of its variant.
                const VARIANT* v = va_arg(argList, const VARIANT*);
                if (v == nullptr) {
                    AfxThrowOleException(E_INVALIDARG);
                }
                arg = *v;
                break;
            }
            case VT_UNKNOWN:
                arg.vt = VT_UNKNOWN;
                arg.punkVal = va_arg(argList, IUnknown*);
                break;
            case VT_UI1:
                arg.vt = VT_UI1;
                arg.bVal = static_cast<BYTE>(va_arg(argList, int));
                break;
            default:
                AfxThrowOleException(DISP_E_BADVARTYPE);
        }
    }

    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params{list.Data(), nullptr, static_cast<UINT>(list.Count()), 0};
    if ((wFlags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0) {
        params.rgdispidNamedArgs = &named;
        params.cNamedArgs = 1;
    }
    VARIANT result;
    VariantInit(&result);
    EXCEPINFO excep;
    std::memset(&excep, 0, sizeof excep);
    UINT argErr = 0;
    const HRESULT hr = m_lpDispatch->Invoke(dwDispID, IID_NULL, 0, wFlags, &params,
                                            vtRet == VT_EMPTY ? nullptr : &result, &excep, &argErr);
    if (FAILED(hr)) {
        VariantClear(&result);
        COleDispatchException* e = nullptr;
        if (hr == DISP_E_EXCEPTION) {
            if (excep.pfnDeferredFillIn != nullptr) {
                excep.pfnDeferredFillIn(&excep);
            }
            e = new COleDispatchException(nullptr, excep.dwHelpContext, excep.wCode);
            if (excep.bstrDescription != nullptr) {
                e->m_strDescription.assign(excep.bstrDescription, SysStringLen(excep.bstrDescription));
            }
            if (excep.bstrSource != nullptr) {
                e->m_strSource.assign(excep.bstrSource, SysStringLen(excep.bstrSource));
            }
            if (excep.bstrHelpFile != nullptr) {
                e->m_strHelpFile.assign(excep.bstrHelpFile, SysStringLen(excep.bstrHelpFile));
            }
            e->m_scError = excep.wCode != 0 ? 0 : excep.scode;
        }
        FreeExcepInfoStrings(&excep);
        if (e != nullptr) {
            throw e;
        }
        AfxThrowOleException(hr);
    }
    FreeExcepInfoStrings(&excep);
    if (vtRet == VT_EMPTY) {
        return;
    }
    if (vtRet != VT_VARIANT && result.vt != vtRet) {
        const HRESULT conv = VariantChangeType(&result, &result, 0, vtRet);
        if (FAILED(conv)) {
            VariantClear(&result);
            AfxThrowOleException(conv);
        }
    }
    switch (vtRet) {
        case VT_I2:
            *static_cast<SHORT*>(pvRet) = result.iVal;
            break;
        case VT_I4:
            *static_cast<LONG*>(pvRet) = result.lVal;
            break;
        case VT_R4:
            *static_cast<float*>(pvRet) = result.fltVal;
            break;
        case VT_R8:
            *static_cast<double*>(pvRet) = result.dblVal;
            break;
        case VT_DATE:
            *static_cast<double*>(pvRet) = result.date;
            break;
        case VT_CY:
            *static_cast<CY*>(pvRet) = result.cyVal;
            break;
        case VT_BSTR:
            static_cast<std::wstring*>(pvRet)->assign(result.bstrVal == nullptr ? L"" : result.bstrVal,
                                                      SysStringLen(result.bstrVal));
            VariantClear(&result);
            break;
        case VT_DISPATCH:
            // The reference moves to the caller.
            *static_cast<IDispatch**>(pvRet) = result.pdispVal;
            break;
        case VT_UNKNOWN:
            *static_cast<IUnknown**>(pvRet) = result.punkVal;
            break;
        case VT_ERROR:
            *static_cast<SCODE*>(pvRet) = result.scode;
            break;
        case VT_BOOL:
            *static_cast<BOOL*>(pvRet) = result.boolVal != 0 ? TRUE : FALSE;
            break;
        case VT_VARIANT:
            *static_cast<VARIANT*>(pvRet) = result;
            break;
        case VT_UI1:
            *static_cast<BYTE*>(pvRet) = result.bVal;
            break;
        default:
            VariantClear(&result);
            break;
    }
}

void COleDispatchDriver::GetProperty(DISPID dwDispID, VARTYPE vtProp, void* pvProp) const {
    const_cast<COleDispatchDriver*>(this)->InvokeHelper(dwDispID, DISPATCH_PROPERTYGET, vtProp, pvProp,
                                                        nullptr);
}
