#include "platform/automation/Guid.h"

#include <cstdio>
#include <cstdlib>
#include <cwchar>

void* CoTaskMemAlloc(std::size_t bytes) {
    return std::malloc(bytes == 0 ? 1 : bytes);
}

void CoTaskMemFree(void* p) {
    std::free(p);
}

namespace sw::automation {

std::wstring GuidToString(REFGUID g) {
    wchar_t text[40];
    std::swprintf(text, 40, L"{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  static_cast<unsigned>(g.Data1), static_cast<unsigned>(g.Data2),
                  static_cast<unsigned>(g.Data3), g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4],
                  g.Data4[5], g.Data4[6], g.Data4[7]);
    return text;
}

}  // namespace sw::automation

HRESULT StringFromCLSID(REFCLSID clsid, LPOLESTR* text) {
    if (text == nullptr) {
        return E_INVALIDARG;
    }
    const std::wstring s = sw::automation::GuidToString(clsid);
    auto* out = static_cast<LPOLESTR>(CoTaskMemAlloc((s.size() + 1) * sizeof(OLECHAR)));
    if (out == nullptr) {
        *text = nullptr;
        return E_OUTOFMEMORY;
    }
    std::wmemcpy(out, s.c_str(), s.size() + 1);
    *text = out;
    return S_OK;
}

namespace {

int HexValue(wchar_t c) {
    if (c >= L'0' && c <= L'9') {
        return c - L'0';
    }
    if (c >= L'a' && c <= L'f') {
        return c - L'a' + 10;
    }
    if (c >= L'A' && c <= L'F') {
        return c - L'A' + 10;
    }
    return -1;
}

// Reads `digits` hex digits at text[pos].
bool ReadHex(LPCOLESTR text, std::size_t pos, int digits, std::uint64_t* out) {
    std::uint64_t v = 0;
    for (int i = 0; i < digits; ++i) {
        const int h = HexValue(text[pos + static_cast<std::size_t>(i)]);
        if (h < 0) {
            return false;
        }
        v = (v << 4) | static_cast<std::uint64_t>(h);
    }
    *out = v;
    return true;
}

}  // namespace

HRESULT CLSIDFromString(LPCOLESTR text, LPCLSID clsid) {
    if (clsid == nullptr) {
        return E_INVALIDARG;
    }
    if (text == nullptr || std::wcslen(text) != 38 || text[0] != L'{' || text[37] != L'}' ||
        text[9] != L'-' || text[14] != L'-' || text[19] != L'-' || text[24] != L'-') {
        return CO_E_CLASSSTRING;
    }
    std::uint64_t v = 0;
    GUID g{};
    if (!ReadHex(text, 1, 8, &v)) {
        return CO_E_CLASSSTRING;
    }
    g.Data1 = static_cast<DWORD>(v);
    if (!ReadHex(text, 10, 4, &v)) {
        return CO_E_CLASSSTRING;
    }
    g.Data2 = static_cast<WORD>(v);
    if (!ReadHex(text, 15, 4, &v)) {
        return CO_E_CLASSSTRING;
    }
    g.Data3 = static_cast<WORD>(v);
    static constexpr std::size_t kBytePos[8] = {20, 22, 25, 27, 29, 31, 33, 35};
    for (int i = 0; i < 8; ++i) {
        if (!ReadHex(text, kBytePos[i], 2, &v)) {
            return CO_E_CLASSSTRING;
        }
        g.Data4[i] = static_cast<BYTE>(v);
    }
    *clsid = g;
    return S_OK;
}
