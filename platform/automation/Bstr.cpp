#include "platform/automation/Bstr.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <limits>

namespace {

// The byte length sits in the word just before the characters, as callers
// holding a BSTR expect; the block also keeps a terminating null.
constexpr std::size_t kPrefix = sizeof(std::uint64_t);

std::atomic<long> g_liveBstrs{0};

// Room for `length` characters, the prefix and the terminating null set;
// the characters themselves are left for the caller to fill (a block of
// texts is hundreds of thousands of strings, each written once).
BSTR Allocate(UINT length) {
    if (length > (std::numeric_limits<UINT>::max() - 1) / sizeof(OLECHAR) - kPrefix) {
        return nullptr;
    }
    const std::size_t bytes = kPrefix + (static_cast<std::size_t>(length) + 1) * sizeof(OLECHAR);
    auto* block = static_cast<unsigned char*>(std::malloc(bytes));
    if (block == nullptr) {
        return nullptr;
    }
    const std::uint32_t byteLength = static_cast<std::uint32_t>(length * sizeof(OLECHAR));
    std::memset(block, 0, kPrefix - sizeof(std::uint32_t));
    std::memcpy(block + kPrefix - sizeof(std::uint32_t), &byteLength, sizeof byteLength);
    auto* chars = reinterpret_cast<BSTR>(block + kPrefix);
    chars[length] = L'\0';
    ++g_liveBstrs;
    return chars;
}

unsigned char* BlockOf(BSTR bstr) {
    return reinterpret_cast<unsigned char*>(bstr) - kPrefix;
}

}  // namespace

BSTR SysAllocString(LPCOLESTR text) {
    if (text == nullptr) {
        return nullptr;
    }
    return SysAllocStringLen(text, static_cast<UINT>(std::wcslen(text)));
}

BSTR SysAllocStringLen(const OLECHAR* text, UINT length) {
    BSTR bstr = Allocate(length);
    if (bstr != nullptr && length > 0) {
        if (text != nullptr) {
            std::memcpy(bstr, text, length * sizeof(OLECHAR));
        } else {
            std::memset(bstr, 0, length * sizeof(OLECHAR));
        }
    }
    return bstr;
}

BSTR SysAllocStringByteLen(const char* bytes, UINT byteLength) {
    // Whole characters only; a trailing partial character is zero-padded.
    const UINT length = (byteLength + sizeof(OLECHAR) - 1) / sizeof(OLECHAR);
    BSTR bstr = Allocate(length);
    if (bstr != nullptr && length > 0) {
        std::memset(bstr, 0, length * sizeof(OLECHAR));
        if (bytes != nullptr) {
            std::memcpy(bstr, bytes, byteLength);
        }
    }
    return bstr;
}

INT SysReAllocString(BSTR* bstr, LPCOLESTR text) {
    if (bstr == nullptr) {
        return FALSE;
    }
    return SysReAllocStringLen(bstr, text, text == nullptr ? 0U : static_cast<UINT>(std::wcslen(text)));
}

INT SysReAllocStringLen(BSTR* bstr, const OLECHAR* text, UINT length) {
    if (bstr == nullptr) {
        return FALSE;
    }
    // The source may be the string being replaced: copy before freeing.
    BSTR fresh = SysAllocStringLen(text, length);
    if (fresh == nullptr) {
        return FALSE;
    }
    SysFreeString(*bstr);
    *bstr = fresh;
    return TRUE;
}

void SysFreeString(BSTR bstr) {
    if (bstr == nullptr) {
        return;
    }
    --g_liveBstrs;
    std::free(BlockOf(bstr));
}

UINT SysStringByteLen(BSTR bstr) {
    if (bstr == nullptr) {
        return 0;
    }
    std::uint32_t byteLength = 0;
    std::memcpy(&byteLength, BlockOf(bstr) + kPrefix - sizeof(std::uint32_t), sizeof byteLength);
    return byteLength;
}

UINT SysStringLen(BSTR bstr) {
    return SysStringByteLen(bstr) / sizeof(OLECHAR);
}

namespace sw::automation {
long LiveBstrCount() {
    return g_liveBstrs.load();
}
}  // namespace sw::automation
