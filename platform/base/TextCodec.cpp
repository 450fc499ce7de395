#include "platform/base/TextCodec.h"

#include <langinfo.h>
#include <strings.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <cwchar>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace sw::base {
namespace {

// 0x80-0x9F of Windows-1252; undefined positions keep their own value.
constexpr char16_t kCp1252High[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                      0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

constexpr std::uint32_t kReplacement = 0xFFFD;

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

}  // namespace

wchar_t Cp1252ToWide(unsigned char byte) {
    if (byte >= 0x80 && byte < 0xA0) {
        return static_cast<wchar_t>(kCp1252High[byte - 0x80]);
    }
    return static_cast<wchar_t>(byte);
}

void AppendUtf8(std::string& out, char32_t c) {
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
        c = static_cast<char32_t>(kReplacement);
    }
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

std::string ToUtf8(std::wstring_view text) {
    std::string out;
    out.reserve(text.size());
    for (wchar_t wc : text) {
        AppendUtf8(out, static_cast<char32_t>(static_cast<std::uint32_t>(wc)));
    }
    return out;
}

void AppendUtf8OrCp1252(std::string_view bytes, std::wstring& out) {
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
            *dst++ = Cp1252ToWide(static_cast<unsigned char>(c));
            ++i;
        }
    }
    out.resize(static_cast<std::size_t>(dst - out.data()));
}

std::wstring FromUtf8OrCp1252(std::string_view bytes) {
    std::wstring out;
    AppendUtf8OrCp1252(bytes, out);
    return out;
}

bool LocaleIsUtf8() {
    const char* codeset = nl_langinfo(CODESET);
    return codeset == nullptr || strcasecmp(codeset, "UTF-8") == 0 || strcasecmp(codeset, "UTF8") == 0 ||
           strcasecmp(codeset, "ANSI_X3.4-1968") == 0 || strcasecmp(codeset, "ASCII") == 0;
}

void AppendLocaleOrCp1252(std::string_view bytes, std::wstring& out) {
    std::mbstate_t state{};
    std::size_t i = 0;
    while (i < bytes.size()) {
        wchar_t wc = 0;
        const std::size_t used = std::mbrtowc(&wc, bytes.data() + i, bytes.size() - i, &state);
        if (used == static_cast<std::size_t>(-1) || used == static_cast<std::size_t>(-2)) {
            out.push_back(Cp1252ToWide(static_cast<unsigned char>(bytes[i])));
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

std::wstring FromLocaleOrCp1252(std::string_view bytes) {
    std::wstring out;
    out.reserve(bytes.size());
    AppendLocaleOrCp1252(bytes, out);
    return out;
}

std::string ToLocale(std::wstring_view text, std::size_t maxBytes) {
    std::string out;
    std::mbstate_t state{};
    char buffer[MB_LEN_MAX];
    for (wchar_t wc : text) {
        std::size_t n = std::wcrtomb(buffer, wc, &state);
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

std::string ToUtf16le(std::wstring_view text) {
    std::string out;
    out.reserve(text.size() * 2);
    auto unit = [&out](std::uint32_t u) {
        out += static_cast<char>(u & 0xFF);
        out += static_cast<char>((u >> 8) & 0xFF);
    };
    for (wchar_t w : text) {
        auto c = static_cast<std::uint32_t>(w);
        if (c > 0x10FFFF) {
            c = kReplacement;
        }
        if (c >= 0x10000) {
            c -= 0x10000;
            unit(0xD800 | (c >> 10));
            unit(0xDC00 | (c & 0x3FF));
        } else {
            unit(c);
        }
    }
    return out;
}

std::wstring FromUtf16le(std::string_view bytes) {
    std::wstring out;
    const std::size_t count = bytes.size() / 2;
    out.reserve(count);
    auto unit = [&bytes](std::size_t k) {
        return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[2 * k])) |
               (static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[2 * k + 1])) << 8);
    };
    for (std::size_t k = 0; k < count; ++k) {
        const std::uint32_t u = unit(k);
        if (u >= 0xD800 && u <= 0xDBFF && k + 1 < count) {
            const std::uint32_t low = unit(k + 1);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                out += static_cast<wchar_t>(0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
                ++k;
                continue;
            }
        }
        out += static_cast<wchar_t>(u);
    }
    return out;
}

}  // namespace sw::base
