// Length-prefixed wide strings. A BSTR may hold embedded null characters; its
// length is the stored prefix, never the position of the first null. A null
// BSTR is a valid empty string everywhere.
#pragma once

#include <cstddef>

#include "platform/automation/StatusCodes.h"

using BSTR = OLECHAR*;

BSTR SysAllocString(LPCOLESTR text);
BSTR SysAllocStringLen(const OLECHAR* text, UINT length);  // text may be null: zero-filled
BSTR SysAllocStringByteLen(const char* bytes, UINT byteLength);
INT SysReAllocString(BSTR* bstr, LPCOLESTR text);
INT SysReAllocStringLen(BSTR* bstr, const OLECHAR* text, UINT length);
void SysFreeString(BSTR bstr);
UINT SysStringLen(BSTR bstr);
UINT SysStringByteLen(BSTR bstr);

namespace sw::automation {
// Strings currently allocated and not yet freed (leak checks in tests).
long LiveBstrCount();
// SysFreeString for each of many strings (null ones skipped), taking the
// string pool's lock once for every few hundred rather than for each.
void FreeStrings(const BSTR* strings, std::size_t count);
}  // namespace sw::automation
