// The framework's dispatch driver: a holder of one IDispatch pointer whose
// InvokeHelper turns a call by DISPID into IDispatch::Invoke, converting the
// arguments described by a VTS_* string and the result type, and throwing
// COleException* (failure of the call) or COleDispatchException* (failure
// raised by the server, DISP_E_EXCEPTION) when the call fails.
//
//     static BYTE parms[] = VTS_VARIANT VTS_VARIANT;
//     LPDISPATCH result;
//     InvokeHelper(0xc5, DISPATCH_PROPERTYGET, VT_DISPATCH, &result, parms, &cell1, &cell2);
//
// Variable arguments, per VTS code:
//   VTS_I2 short, VTS_I4 LONG (32 bits), VTS_R4 float, VTS_R8 double, VTS_CY CY,
//   VTS_DATE DATE, VTS_BSTR const wchar_t*, VTS_DISPATCH IDispatch*, VTS_SCODE SCODE,
//   VTS_BOOL BOOL, VTS_VARIANT const VARIANT*, VTS_UNKNOWN IUnknown*, VTS_UI1 BYTE;
//   the VTS_P* codes take a pointer to the same type and pass it by reference.
// Result (pvRet), per vtRet:
//   VT_EMPTY none (pvRet may be null), VT_I2 short*, VT_I4 LONG*, VT_R4 float*,
//   VT_R8 double*, VT_CY CY*, VT_DATE DATE*, VT_BSTR std::wstring*, VT_DISPATCH
//   IDispatch** (one reference, owned by the caller), VT_ERROR SCODE*, VT_BOOL BOOL*,
//   VT_VARIANT VARIANT* (overwritten, not cleared: pass an empty one), VT_UNKNOWN
//   IUnknown**, VT_UI1 BYTE*.
// A driver that holds no object makes no call: the result is set to zero, an
// empty text, a null object or VT_EMPTY, and nothing is thrown.
#pragma once

#include <cstdarg>

#include "platform/automation/Dispatch.h"
#include "platform/automation/OleException.h"
#include "platform/automation/Variant.h"

// Parameter type codes: string literals concatenated into a BYTE array.
#define VTS_NONE nullptr  // members without parameters
#define VTS_I2 "\x02"
#define VTS_I4 "\x03"
#define VTS_R4 "\x04"
#define VTS_R8 "\x05"
#define VTS_CY "\x06"
#define VTS_DATE "\x07"
#define VTS_BSTR "\x08"
#define VTS_WBSTR "\x08"
#define VTS_DISPATCH "\x09"
#define VTS_SCODE "\x0A"
#define VTS_BOOL "\x0B"
#define VTS_VARIANT "\x0C"
#define VTS_UNKNOWN "\x0D"
#define VTS_UI1 "\x11"
// By reference: the code ORed with 0x40.
#define VTS_PI2 "\x42"
#define VTS_PI4 "\x43"
#define VTS_PR4 "\x44"
#define VTS_PR8 "\x45"
#define VTS_PCY "\x46"
#define VTS_PDATE "\x47"
#define VTS_PBSTR "\x48"
#define VTS_PDISPATCH "\x49"
#define VTS_PSCODE "\x4A"
#define VTS_PBOOL "\x4B"
#define VTS_PVARIANT "\x4C"
#define VTS_PUNKNOWN "\x4D"
#define VTS_PUI1 "\x51"

class COleDispatchDriver {
public:
    COleDispatchDriver();
    explicit COleDispatchDriver(LPDISPATCH lpDispatch, BOOL bAutoRelease = TRUE);
    // Shares the source's object: takes a reference of its own (auto-release on).
    COleDispatchDriver(const COleDispatchDriver& dispatchSrc);
    COleDispatchDriver& operator=(const COleDispatchDriver& dispatchSrc);
    virtual ~COleDispatchDriver();

    // Creates the object by class or program identifier and attaches its
    // IDispatch with auto-release. FALSE on failure, the status code then
    // stored in *pError when given; the driver is left empty.
    BOOL CreateDispatch(REFCLSID clsid, COleException* pError = nullptr);
    BOOL CreateDispatch(LPCTSTR lpszProgID, COleException* pError = nullptr);

    // Releases the held object (when auto-release) and holds lpDispatch, whose
    // reference it takes over: a getter's result, even the object already held.
    void AttachDispatch(LPDISPATCH lpDispatch, BOOL bAutoRelease = TRUE);
    // Gives up the held object without releasing it; returns it.
    LPDISPATCH DetachDispatch();
    // Releases the held object when auto-release is set; the driver is then empty.
    void ReleaseDispatch();

    operator LPDISPATCH() const { return m_lpDispatch; }

    void InvokeHelper(DISPID dwDispID, WORD wFlags, VARTYPE vtRet, void* pvRet, const BYTE* pbParamInfo, ...);
    void InvokeHelperV(DISPID dwDispID, WORD wFlags, VARTYPE vtRet, void* pvRet, const BYTE* pbParamInfo,
                       va_list argList);
    // One argument of type vtProp, as with the VTS code of that type. (A
    // template: a promoted parameter cannot start a C variable argument list.)
    template <typename... Value>
    void SetProperty(DISPID dwDispID, VARTYPE vtProp, Value... value) {
        static_assert(sizeof...(Value) == 1, "SetProperty takes exactly one value");
        const BYTE params[2] = {static_cast<BYTE>(vtProp), 0};
        InvokeHelper(dwDispID, vtProp == VT_DISPATCH ? DISPATCH_PROPERTYPUTREF : DISPATCH_PROPERTYPUT,
                     VT_EMPTY, nullptr, params, value...);
    }
    void GetProperty(DISPID dwDispID, VARTYPE vtProp, void* pvProp) const;

    LPDISPATCH m_lpDispatch;
    BOOL m_bAutoRelease;
};
