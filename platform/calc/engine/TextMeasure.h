// Pixel widths of text in a cell's font at 96 dots per inch, for AutoFit.
// Fonts are found through fontconfig (so "Arial" resolves to a metric-
// compatible face) and measured with FreeType; glyph advances are cached per
// font, so measuring a column costs one table look-up per character.
#pragma once

#include <memory>
#include <string_view>

#include "platform/calc/io/SheetView.h"

namespace calc {

class TextMeasure {
    struct SizedFace;

public:
    TextMeasure();
    ~TextMeasure();
    TextMeasure(const TextMeasure&) = delete;
    TextMeasure& operator=(const TextMeasure&) = delete;

    // Width of the text in pixels (unhinted advances, summed, no kerning).
    double width(std::wstring_view text, const io::FontSpec& font);

    // A font found once, for measuring many texts in it while this TextMeasure
    // lives. Fonts that give the same widths (they differ only in underline)
    // give equal faces.
    class Face {
    public:
        Face() = default;
        bool operator==(const Face&) const = default;

    private:
        friend class TextMeasure;
        explicit Face(SizedFace* f) : f_(f) {}
        SizedFace* f_ = nullptr;
    };
    Face face(const io::FontSpec& font);
    // As width(text, font) for the font of the face.
    double width(std::wstring_view text, Face face);

    // Maximum digit width of the font in whole pixels: the unit of column widths.
    int maxDigitWidth(const io::FontSpec& font);

    // False when no font file could be loaded and widths are estimated.
    bool measuresFonts() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Column width, in the application's character units, that shows text of
// `pixels` width in a column whose Normal font has maximum digit width `mdw`.
double ColumnWidthForPixels(double pixels, int mdw);

}  // namespace calc
