// Status codes and locale identifiers of the automation run time, with the
// values they have on Windows.
#pragma once

#include <cstdint>

#include "platform/base/WinTypes.h"

inline constexpr LCID LOCALE_SYSTEM_DEFAULT = 0x0800;
inline constexpr LCID LOCALE_USER_DEFAULT = 0x0400;
inline constexpr LCID LOCALE_NEUTRAL = 0x0000;
inline constexpr LCID LOCALE_INVARIANT = 0x007F;

namespace sw::automation {
constexpr HRESULT MakeHResult(std::uint32_t bits) {
    return static_cast<HRESULT>(bits);
}
}  // namespace sw::automation

// Generic results.
inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_NOTIMPL = sw::automation::MakeHResult(0x80004001U);
inline constexpr HRESULT E_NOINTERFACE = sw::automation::MakeHResult(0x80004002U);
inline constexpr HRESULT E_POINTER = sw::automation::MakeHResult(0x80004003U);
inline constexpr HRESULT E_ABORT = sw::automation::MakeHResult(0x80004004U);
inline constexpr HRESULT E_FAIL = sw::automation::MakeHResult(0x80004005U);
inline constexpr HRESULT E_UNEXPECTED = sw::automation::MakeHResult(0x8000FFFFU);
inline constexpr HRESULT E_ACCESSDENIED = sw::automation::MakeHResult(0x80070005U);
inline constexpr HRESULT E_OUTOFMEMORY = sw::automation::MakeHResult(0x8007000EU);
inline constexpr HRESULT E_INVALIDARG = sw::automation::MakeHResult(0x80070057U);

// Object creation.
inline constexpr HRESULT CLASS_E_NOAGGREGATION = sw::automation::MakeHResult(0x80040110U);
inline constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = sw::automation::MakeHResult(0x80040111U);
inline constexpr HRESULT REGDB_E_CLASSNOTREG = sw::automation::MakeHResult(0x80040154U);
inline constexpr HRESULT CO_E_NOTINITIALIZED = sw::automation::MakeHResult(0x800401F0U);
inline constexpr HRESULT CO_E_CLASSSTRING = sw::automation::MakeHResult(0x800401F3U);
inline constexpr HRESULT RPC_E_CHANGED_MODE = sw::automation::MakeHResult(0x80010106U);

// Dispatch and variant results.
inline constexpr HRESULT DISP_E_UNKNOWNINTERFACE = sw::automation::MakeHResult(0x80020001U);
inline constexpr HRESULT DISP_E_MEMBERNOTFOUND = sw::automation::MakeHResult(0x80020003U);
inline constexpr HRESULT DISP_E_PARAMNOTFOUND = sw::automation::MakeHResult(0x80020004U);
inline constexpr HRESULT DISP_E_TYPEMISMATCH = sw::automation::MakeHResult(0x80020005U);
inline constexpr HRESULT DISP_E_UNKNOWNNAME = sw::automation::MakeHResult(0x80020006U);
inline constexpr HRESULT DISP_E_NONAMEDARGS = sw::automation::MakeHResult(0x80020007U);
inline constexpr HRESULT DISP_E_BADVARTYPE = sw::automation::MakeHResult(0x80020008U);
inline constexpr HRESULT DISP_E_EXCEPTION = sw::automation::MakeHResult(0x80020009U);
inline constexpr HRESULT DISP_E_OVERFLOW = sw::automation::MakeHResult(0x8002000AU);
inline constexpr HRESULT DISP_E_BADINDEX = sw::automation::MakeHResult(0x8002000BU);
inline constexpr HRESULT DISP_E_UNKNOWNLCID = sw::automation::MakeHResult(0x8002000CU);
inline constexpr HRESULT DISP_E_ARRAYISLOCKED = sw::automation::MakeHResult(0x8002000DU);
inline constexpr HRESULT DISP_E_BADPARAMCOUNT = sw::automation::MakeHResult(0x8002000EU);
inline constexpr HRESULT DISP_E_PARAMNOTOPTIONAL = sw::automation::MakeHResult(0x8002000FU);
inline constexpr HRESULT DISP_E_BADCALLEE = sw::automation::MakeHResult(0x80020010U);
inline constexpr HRESULT DISP_E_NOTACOLLECTION = sw::automation::MakeHResult(0x80020011U);
inline constexpr HRESULT DISP_E_DIVBYZERO = sw::automation::MakeHResult(0x80020012U);
inline constexpr HRESULT TYPE_E_ELEMENTNOTFOUND = sw::automation::MakeHResult(0x8002802BU);
