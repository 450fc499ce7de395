#include "lib/util/KVLibUtility.h"

#include <climits>
#include <cstdarg>
#include <cstring>
#include <cwchar>
#include <cwctype>

#include "lib/util/KVText.h"

namespace kvlib {
namespace {

// Windows-1252 bytes 0x80-0x9F; the five unassigned bytes map to the control
// character of the same number, as the Windows conversion does.
constexpr wchar_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

wchar_t Cp1252(unsigned char byte) {
    if (byte >= 0x80 && byte <= 0x9F) {
        return kCp1252High[byte - 0x80];
    }
    return static_cast<wchar_t>(byte);
}

}  // namespace

std::wstring NarrowToWide(const char* text, std::size_t length) {
    std::wstring out;
    if (text == nullptr) {
        return out;
    }
    out.reserve(length);
    std::mbstate_t state{};
    std::size_t i = 0;
    while (i < length) {
        wchar_t ch = 0;
        const std::size_t n = std::mbrtowc(&ch, text + i, length - i, &state);
        if (n == static_cast<std::size_t>(-1) || n == static_cast<std::size_t>(-2)) {
            // Invalid or cut-off sequence: take the byte as Windows-1252 and
            // start afresh with the next one.
            out.push_back(Cp1252(static_cast<unsigned char>(text[i])));
            state = std::mbstate_t{};
            ++i;
        } else if (n == 0) {
            out.push_back(L'\0');
            ++i;
        } else {
            out.push_back(ch);
            i += n;
        }
    }
    return out;
}

std::string WideToNarrow(const wchar_t* text, std::size_t length, std::size_t maxBytes) {
    std::string out;
    if (text == nullptr) {
        return out;
    }
    std::mbstate_t state{};
    char buffer[MB_LEN_MAX];
    for (std::size_t i = 0; i < length; ++i) {
        std::size_t n = std::wcrtomb(buffer, text[i], &state);
        if (n == static_cast<std::size_t>(-1)) {
            buffer[0] = '?';
            n = 1;
            state = std::mbstate_t{};
        }
        if (out.size() + n > maxBytes) {
            break;
        }
        out.append(buffer, n);
    }
    return out;
}

bool EqualsNoCase(const wchar_t* a, const wchar_t* b) {
    if (a == nullptr || b == nullptr) {
        return a == b;
    }
    const long length = KVLibUtility::GetLongestStringLength(a, b, static_cast<const wchar_t*>(nullptr));
    return wcsncasecmp(a, b, static_cast<std::size_t>(length)) == 0;
}

void CopyText(const wchar_t* source, wchar_t* dest, long capacity) {
    KVLibUtility::CopyLPCTSTRToLPTSTR(source, dest, capacity);
}

}  // namespace kvlib

long KVLibUtility::GetLongestStringLength(LPCTSTR first, ...) {
    if (first == nullptr) {
        return 0;
    }
    long longest = static_cast<long>(std::wcslen(first));
    va_list args;
    va_start(args, first);
    for (LPCTSTR next = va_arg(args, LPCTSTR); next != nullptr; next = va_arg(args, LPCTSTR)) {
        const long length = static_cast<long>(std::wcslen(next));
        if (length > longest) {
            longest = length;
        }
    }
    va_end(args);
    return longest;
}

void KVLibUtility::CopyLPCTSTRToLPTSTR(LPCTSTR source, LPTSTR dest, long capacity) {
    if (source == nullptr || dest == nullptr || capacity <= 0) {
        return;
    }
    // Take what fits first: the source may be the destination's own text
    // (setting a field from its own getter), which the zero fill would erase.
    const std::wstring kept(source, wcsnlen(source, static_cast<std::size_t>(capacity - 1)));
    std::wmemset(dest, L'\0', static_cast<std::size_t>(capacity));
    std::wmemcpy(dest, kept.data(), kept.size());
}

void KVLibUtility::CopyLPSTRtoLPTSTR(LPCSTR source, LPTSTR dest, long capacity) {
    if (source == nullptr || dest == nullptr || capacity <= 0) {
        return;
    }
    const std::wstring wide = kvlib::NarrowToWide(source, std::strlen(source));
    if (wide.size() > static_cast<std::size_t>(capacity)) {
        return;
    }
    std::wmemcpy(dest, wide.data(), wide.size());
}

void KVLibUtility::CopyLPTSTRtoLPSTR(LPCTSTR source, LPSTR dest, long capacity) {
    if (source == nullptr || dest == nullptr || capacity <= 0) {
        return;
    }
    const std::string narrow = kvlib::WideToNarrow(source, std::wcslen(source));
    if (narrow.size() > static_cast<std::size_t>(capacity)) {
        return;
    }
    std::memcpy(dest, narrow.data(), narrow.size());
}

void CopyLPCTSTRToLPTSTR(LPCTSTR source, LPTSTR dest, long capacity) {
    KVLibUtility::CopyLPCTSTRToLPTSTR(source, dest, capacity);
}

void CopyLPSTRtoLPTSTR(LPCSTR source, LPTSTR dest, long capacity) {
    KVLibUtility::CopyLPSTRtoLPTSTR(source, dest, capacity);
}

void CopyLPTSTRtoLPSTR(LPCTSTR source, LPSTR dest, long capacity) {
    KVLibUtility::CopyLPTSTRtoLPSTR(source, dest, capacity);
}
