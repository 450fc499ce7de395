#include "parser/parse/KVTextFile.h"
#include "platform/text/Utf8.h"

#include <langinfo.h>
#include <sys/stat.h>

#include <strings.h>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <cwctype>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

constexpr std::size_t kReadChunk = 256 * 1024;
constexpr std::size_t kMinReadChunk = 4096;

// Widens the ASCII bytes at the start of `p`, a block at a time; returns how
// many it took. A block with any byte of 0x80 or above is left to the caller.
std::size_t WidenAscii(const unsigned char* p, std::size_t n, wchar_t* dst) {
    std::size_t i = 0;
#if defined(__SSE2__)
    if constexpr (sizeof(wchar_t) == 4) {
        const __m128i zero = _mm_setzero_si128();
        for (; i + 16 <= n; i += 16) {
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
            if (_mm_movemask_epi8(bytes) != 0) {
                break;
            }
            const __m128i low = _mm_unpacklo_epi8(bytes, zero);
            const __m128i high = _mm_unpackhi_epi8(bytes, zero);
            auto* out = reinterpret_cast<__m128i*>(dst + i);
            _mm_storeu_si128(out, _mm_unpacklo_epi16(low, zero));
            _mm_storeu_si128(out + 1, _mm_unpackhi_epi16(low, zero));
            _mm_storeu_si128(out + 2, _mm_unpacklo_epi16(high, zero));
            _mm_storeu_si128(out + 3, _mm_unpackhi_epi16(high, zero));
        }
    }
#endif
    for (; i + 8 <= n; i += 8) {
        std::uint64_t word = 0;
        std::memcpy(&word, p + i, sizeof word);
        if ((word & 0x8080808080808080ULL) != 0) {
            break;
        }
        for (std::size_t k = 0; k < 8; ++k) {
            dst[i + k] = static_cast<wchar_t>(p[i + k]);
        }
    }
    return i;
}

void DecodeUtf8(std::string_view bytes, std::wstring& out) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t n = bytes.size();
    const std::size_t base = out.size();
    // Never more characters than bytes: write in place, then cut to size.
    out.resize(base + n);
    wchar_t* dst = out.data() + base;
    std::size_t i = 0;
    while (i < n) {
        const unsigned c = p[i];
        if (c < 0x80) {
            // Reports are mostly ASCII: widen whole blocks while none of
            // their bytes starts a sequence.
            const std::size_t ascii = WidenAscii(p + i, n - i, dst);
            dst += ascii;
            i += ascii;
            while (i < n && p[i] < 0x80) {
                *dst++ = static_cast<wchar_t>(p[i]);
                ++i;
            }
            continue;
        }
        std::size_t len = 0;
        unsigned cp = 0;
        unsigned minimum = 0;
        if (c >= 0xC2 && c <= 0xDF) {
            len = 2;
            cp = c & 0x1F;
            minimum = 0x80;
        } else if (c >= 0xE0 && c <= 0xEF) {
            len = 3;
            cp = c & 0x0F;
            minimum = 0x800;
        } else if (c >= 0xF0 && c <= 0xF4) {
            len = 4;
            cp = c & 0x07;
            minimum = 0x10000;
        }
        bool valid = len != 0 && i + len <= n;
        for (std::size_t k = 1; valid && k < len; ++k) {
            const unsigned b = p[i + k];
            if ((b & 0xC0) != 0x80) {
                valid = false;
            } else {
                cp = (cp << 6) | (b & 0x3F);
            }
        }
        if (valid && (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))) {
            valid = false;
        }
        if (valid) {
            *dst++ = static_cast<wchar_t>(cp);
            i += len;
        } else {
            *dst++ = KVWindows1252Char(static_cast<unsigned char>(c));
            ++i;
        }
    }
    out.resize(static_cast<std::size_t>(dst - out.data()));
}

void DecodeLocale(std::string_view bytes, std::wstring& out) {
    std::mbstate_t state{};
    std::size_t i = 0;
    while (i < bytes.size()) {
        wchar_t wc = 0;
        const std::size_t used = std::mbrtowc(&wc, bytes.data() + i, bytes.size() - i, &state);
        if (used == static_cast<std::size_t>(-1) || used == static_cast<std::size_t>(-2)) {
            out.push_back(KVWindows1252Char(static_cast<unsigned char>(bytes[i])));
            state = std::mbstate_t{};
            ++i;
        } else if (used == 0) {
            out.push_back(L'\0');
            ++i;
        } else {
            out.push_back(wc);
            i += used;
        }
    }
}

void EncodeUtf8(wchar_t wc, std::string& out) {
    auto cp = static_cast<std::uint32_t>(wc);
    if (cp > 0x10FFFF) {
        cp = 0xFFFD;
    }
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

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

wchar_t KVWindows1252Char(unsigned char byte) {
    return sw::text::Cp1252ToWide(byte);
}

enTextDecoding KVCurrentTextDecoding() {
    const char* codeset = nl_langinfo(CODESET);
    if (codeset == nullptr || strcasecmp(codeset, "UTF-8") == 0 || strcasecmp(codeset, "UTF8") == 0 ||
        strcasecmp(codeset, "ANSI_X3.4-1968") == 0 || strcasecmp(codeset, "ASCII") == 0) {
        return enTextDecoding::enTextUtf8;
    }
    return enTextDecoding::enTextLocale;
}

void KVDecodeText(std::string_view bytes, enTextDecoding decoding, std::wstring& out) {
    if (decoding == enTextDecoding::enTextUtf8) {
        DecodeUtf8(bytes, out);
    } else {
        DecodeLocale(bytes, out);
    }
}

std::wstring KVDecodeText(std::string_view bytes) {
    std::wstring out;
    KVDecodeText(bytes, KVCurrentTextDecoding(), out);
    return out;
}

std::string KVEncodePath(std::wstring_view path) {
    std::string out;
    out.reserve(path.size());
    if (KVCurrentTextDecoding() == enTextDecoding::enTextUtf8) {
        for (wchar_t wc : path) {
            EncodeUtf8(wc, out);
        }
        return out;
    }
    std::mbstate_t state{};
    char bytes[MB_LEN_MAX];
    for (wchar_t wc : path) {
        const std::size_t n = std::wcrtomb(bytes, wc, &state);
        if (n == static_cast<std::size_t>(-1)) {
            out.push_back('?');
            state = std::mbstate_t{};
        } else {
            out.append(bytes, n);
        }
    }
    return out;
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
