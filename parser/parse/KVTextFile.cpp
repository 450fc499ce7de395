#include "parser/parse/KVTextFile.h"
#include "platform/base/TextCodec.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <cwctype>

namespace {

constexpr std::size_t kReadChunk = 256 * 1024;
constexpr std::size_t kMinReadChunk = 4096;

wchar_t FoldCase(wchar_t c) {
    if (c < 0x80) {
        return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c + 32) : c;
    }
    if (c < 0x100) {
        // Latin-1 capitals À..Þ, except the multiplication sign.
        return (c >= 0xC0 && c <= 0xDE && c != 0xD7) ? static_cast<wchar_t>(c + 32) : c;
    }
    return static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
}

}  // namespace

enTextDecoding KVCurrentTextDecoding() {
    return sw::base::LocaleIsUtf8() ? enTextDecoding::enTextUtf8 : enTextDecoding::enTextLocale;
}

void KVDecodeText(std::string_view bytes, enTextDecoding decoding, std::wstring& out) {
    if (decoding == enTextDecoding::enTextUtf8) {
        sw::base::AppendUtf8OrCp1252(bytes, out);
    } else {
        sw::base::AppendLocaleOrCp1252(bytes, out);
    }
}

std::wstring KVDecodeText(std::string_view bytes) {
    std::wstring out;
    KVDecodeText(bytes, KVCurrentTextDecoding(), out);
    return out;
}

std::string KVEncodePath(std::wstring_view path) {
    return KVCurrentTextDecoding() == enTextDecoding::enTextUtf8 ? sw::base::ToUtf8(path)
                                                                 : sw::base::ToLocale(path);
}

std::wstring_view KVTrim(std::wstring_view text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && KVIsBlank(text[begin])) {
        ++begin;
    }
    while (end > begin && KVIsBlank(text[end - 1])) {
        --end;
    }
    return text.substr(begin, end - begin);
}

bool KVEqualsNoCase(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i] != b[i] && FoldCase(a[i]) != FoldCase(b[i])) {
            return false;
        }
    }
    return true;
}

KVTextFileReader::KVTextFileReader() = default;

KVTextFileReader::~KVTextFileReader() {
    Close();
}

bool KVTextFileReader::Open(const std::wstring& path) {
    Close();
    const std::string narrow = KVEncodePath(path);
    if (narrow.empty() || narrow.find('\0') != std::string::npos) {
        return false;
    }
    m_pFile = std::fopen(narrow.c_str(), "rbe");
    if (m_pFile == nullptr) {
        return false;
    }
    // A folder opens for reading here but not on the system this format comes
    // from; treat it as a file that cannot be opened.
    struct stat info {};
    if (fstat(fileno(m_pFile), &info) != 0 || S_ISDIR(info.st_mode)) {
        Close();
        return false;
    }
    // Small files need only a small buffer; a large one is read in chunks.
    const auto size = static_cast<std::size_t>(info.st_size > 0 ? info.st_size : 0);
    const std::size_t capacity = std::clamp<std::size_t>(size + 1, kMinReadChunk, kReadChunk);
    if (capacity > m_nCapacity) {
        m_buffer = std::make_unique_for_overwrite<char[]>(capacity);
        m_nCapacity = capacity;
    }
    m_decoding = KVCurrentTextDecoding();
    return true;
}

void KVTextFileReader::Close() {
    if (m_pFile != nullptr) {
        std::fclose(m_pFile);
        m_pFile = nullptr;
    }
    m_nPos = m_nEnd = 0;
    m_pending.clear();
    m_bEof = false;
    m_bError = false;
    m_bFirstLine = true;
    m_nErrorNumber = 0;
}

bool KVTextFileReader::Fill() {
    if (m_pFile == nullptr || m_bEof || m_bError) {
        return false;
    }
    const std::size_t n = std::fread(m_buffer.get(), 1, m_nCapacity, m_pFile);
    m_nPos = 0;
    m_nEnd = n;
    if (n == 0) {
        if (std::ferror(m_pFile) != 0) {
            m_bError = true;
            m_nErrorNumber = errno;
        } else {
            m_bEof = true;
        }
        return false;
    }
    return true;
}

KVTextFileReader::enRead KVTextFileReader::ReadLine(std::wstring& line) {
    line.clear();
    if (m_pFile == nullptr) {
        return enRead::enEnd;
    }
    m_pending.clear();
    std::string_view bytes;
    bool terminated = false;
    bool any = false;
    for (;;) {
        if (m_nPos == m_nEnd && !Fill()) {
            if (m_bError) {
                return enRead::enError;
            }
            break;
        }
        any = true;
        const char* start = m_buffer.get() + m_nPos;
        const auto* nl = static_cast<const char*>(std::memchr(start, '\n', m_nEnd - m_nPos));
        if (nl != nullptr) {
            const auto len = static_cast<std::size_t>(nl - start);
            m_nPos += len + 1;
            terminated = true;
            if (m_pending.empty()) {
                bytes = std::string_view(start, len);
            } else {
                m_pending.append(start, len);
                bytes = m_pending;
            }
            break;
        }
        m_pending.append(start, m_nEnd - m_nPos);
        m_nPos = m_nEnd;
    }
    if (!terminated) {
        if (!any || m_pending.empty()) {
            return enRead::enEnd;
        }
        bytes = m_pending;
    }
    if (terminated && !bytes.empty() && bytes.back() == '\r') {
        bytes.remove_suffix(1);
    }
    if (m_bFirstLine) {
        m_bFirstLine = false;
        // A byte-order mark is an editor's signature, not text of the report.
        if (m_decoding == enTextDecoding::enTextUtf8 && bytes.substr(0, 3) == "\xEF\xBB\xBF") {
            bytes.remove_prefix(3);
        }
    }
    KVDecodeText(bytes, m_decoding, line);
    return enRead::enLine;
}
