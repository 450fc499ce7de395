#include "platform/calc/engine/TextMeasure.h"

#include "platform/base/TextCodec.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <string>
#include <tuple>
#include <unordered_map>

namespace calc {

namespace {

constexpr FT_UInt kDpi = 96;
// Excel leaves a little room beyond the widest text; two pixels matches the
// columns it fits in practice.
constexpr double kAutoFitSlackPx = 2.0;
// Widths without a usable font file: an average sans-serif character at
// 10 points is about 6 pixels wide.
constexpr double kFallbackCharPx = 6.0;

}  // namespace

// One face at one size, with its advances in pixels.
struct TextMeasure::SizedFace {
    FT_Face face = nullptr;
    double scale = 1.0;              // pixels per unit of linearHoriAdvance
    std::array<float, 256> latin{};  // < 0: not yet measured
    std::unordered_map<char32_t, float> other;
    int mdw = 0;

    // Width of a text of Latin characters, each measured before.
    double sumLatin(std::wstring_view text) const {
        double sum = 0.0;
        for (wchar_t ch : text) {
            sum += latin[static_cast<char32_t>(ch)];
        }
        return sum;
    }
};

struct TextMeasure::Impl {
    FT_Library library = nullptr;
    bool ok = false;
    // Keyed by (name, size, bold, italic); underline does not change widths.
    std::map<std::tuple<std::wstring, double, bool, bool>, SizedFace> faces;
    // Last face used, since a column mostly holds one font.
    io::FontSpec lastFont;
    SizedFace* last = nullptr;

    Impl() { ok = FT_Init_FreeType(&library) == 0; }
    ~Impl() {
        for (auto& [key, f] : faces) {
            if (f.face) {
                FT_Done_Face(f.face);
            }
        }
        if (library) {
            FT_Done_FreeType(library);
        }
    }

    SizedFace& faceFor(const io::FontSpec& font) {
        if (last && lastFont.name == font.name && lastFont.size == font.size && lastFont.bold == font.bold &&
            lastFont.italic == font.italic) {
            return *last;
        }
        auto key = std::make_tuple(font.name, font.size, font.bold, font.italic);
        auto it = faces.find(key);
        if (it == faces.end()) {
            it = faces.emplace(key, open(font)).first;
        }
        last = &it->second;
        lastFont = font;
        return *last;
    }

    SizedFace open(const io::FontSpec& font) {
        SizedFace f;
        f.latin.fill(-1.0f);
        double size = font.size > 0.0 ? font.size : 10.0;
        f.scale = size / 10.0;  // fallback only
        if (!ok) {
            return f;
        }
        FcPattern* pattern = FcPatternCreate();
        std::string family = sw::base::ToUtf8(font.name);
        FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
        FcPatternAddInteger(pattern, FC_WEIGHT, font.bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
        FcPatternAddInteger(pattern, FC_SLANT, font.italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
        FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
        FcDefaultSubstitute(pattern);
        FcResult result = FcResultNoMatch;
        FcPattern* match = FcFontMatch(nullptr, pattern, &result);
        FcPatternDestroy(pattern);
        if (!match) {
            return f;
        }
        FcChar8* file = nullptr;
        int index = 0;
        if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch) {
            FcPatternGetInteger(match, FC_INDEX, 0, &index);
            FT_Face face = nullptr;
            if (FT_New_Face(library, reinterpret_cast<const char*>(file), index, &face) == 0) {
                // Unhinted advances at the real size: 26.6 points at 96 dpi.
                if (FT_Set_Char_Size(face, 0, static_cast<FT_F26Dot6>(std::lround(size * 64.0)), kDpi,
                                     kDpi) == 0) {
                    f.face = face;
                    f.scale = 1.0 / 65536.0;  // linearHoriAdvance is 16.16 pixels
                } else {
                    FT_Done_Face(face);
                }
            }
        }
        FcPatternDestroy(match);
        return f;
    }

    // Width of any text, measuring the characters not met before.
    double measure(SizedFace& f, std::wstring_view text);

    float advance(SizedFace& f, char32_t ch) {
        if (ch < 256 && f.latin[ch] >= 0.0f) {
            return f.latin[ch];
        }
        if (ch >= 256) {
            auto it = f.other.find(ch);
            if (it != f.other.end()) {
                return it->second;
            }
        }
        float px = static_cast<float>(kFallbackCharPx * f.scale);
        if (f.face) {
            FT_UInt glyph = FT_Get_Char_Index(f.face, ch);
            if (FT_Load_Glyph(f.face, glyph, FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP) == 0) {
                px = static_cast<float>(static_cast<double>(f.face->glyph->linearHoriAdvance) * f.scale);
            }
        }
        if (ch < 256) {
            f.latin[ch] = px;
        } else {
            f.other.emplace(ch, px);
        }
        return px;
    }
};

// Out of line: inlined into width(), its sum, live across the glyph loads,
// made the compiler keep the Latin loop's sum in memory as well.
[[gnu::noinline]] double TextMeasure::Impl::measure(SizedFace& f, std::wstring_view text) {
    double sum = 0.0;
    for (wchar_t ch : text) {
        sum += advance(f, static_cast<char32_t>(ch));
    }
    return sum;
}

TextMeasure::TextMeasure() : impl_(std::make_unique<Impl>()) {}
TextMeasure::~TextMeasure() = default;

double TextMeasure::width(std::wstring_view text, const io::FontSpec& font) {
    return width(text, face(font));
}

TextMeasure::Face TextMeasure::face(const io::FontSpec& font) {
    return Face(&impl_->faceFor(font));
}

double TextMeasure::width(std::wstring_view text, Face face) {
    SizedFace& f = *face.f_;
    auto known = [&f](wchar_t ch) {
        const auto c = static_cast<char32_t>(ch);
        return c < 256 && f.latin[c] >= 0.0f;
    };
    // The usual text, all of whose characters were measured before, is summed
    // apart: with no call in that loop the sum stays in a register.
    return std::all_of(text.begin(), text.end(), known) ? f.sumLatin(text) : impl_->measure(f, text);
}

int TextMeasure::maxDigitWidth(const io::FontSpec& font) {
    SizedFace& f = impl_->faceFor(font);
    if (f.mdw == 0) {
        float widest = 0.0f;
        for (char32_t d = U'0'; d <= U'9'; ++d) {
            widest = std::max(widest, impl_->advance(f, d));
        }
        f.mdw = std::max(1, static_cast<int>(std::lround(widest)));
    }
    return f.mdw;
}

bool TextMeasure::measuresFonts() const {
    io::FontSpec arial;
    return impl_->faceFor(arial).face != nullptr;
}

double ColumnWidthForPixels(double pixels, int mdw) {
    if (mdw <= 0) {
        mdw = 7;
    }
    double px = std::ceil(pixels) + kAutoFitSlackPx;
    double chars = std::floor(px / mdw * 100.0 + 0.5) / 100.0;
    return std::min(chars, 255.0);
}

}  // namespace calc
