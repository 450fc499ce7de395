#include "lib/util/KVLibUtility.h"

#include <climits>
#include <cstdarg>
#include <cstring>
#include <cwchar>
#include <cwctype>

#include "lib/util/KVText.h"
#include "platform/base/TextCodec.h"

namespace kvlib {

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
    const std::wstring wide = sw::base::FromLocaleOrCp1252(source);
    if (wide.size() > static_cast<std::size_t>(capacity)) {
        return;
    }
    std::wmemcpy(dest, wide.data(), wide.size());
}

void KVLibUtility::CopyLPTSTRtoLPSTR(LPCTSTR source, LPSTR dest, long capacity) {
    if (source == nullptr || dest == nullptr || capacity <= 0) {
        return;
    }
    const std::string narrow = sw::base::ToLocale(source);
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
