#include "driver/layout/PrinterText.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace sw::driver {

namespace {

std::int64_t Units(double points, double unitsPerPoint) {
    return std::llround(std::clamp(points * unitsPerPoint, -1e9, 1e9));
}

// Text as it can stand after a header: no line breaks or other controls,
// and no bracket pair a reader would take for the start or end of a header.
std::string CleanText(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            c = ' ';
        }
        if ((c == '[' || c == ']') && !out.empty() && out.back() == c) {
            out += ' ';
        }
        out += c;
    }
    const auto first = out.find_first_not_of(' ');
    if (first == std::string::npos) {
        return {};
    }
    return out.substr(first, out.find_last_not_of(' ') - first + 1);
}

}  // namespace

std::string FormatRun(const Run& run, double unitsPerPoint) {
    return "[[" + std::to_string(run.key) + FormatRunTail(run, unitsPerPoint);
}

std::string FormatRunTail(const Run& run, double unitsPerPoint) {
    std::string header = "," + std::to_string(Units(run.top, unitsPerPoint)) + "," +
                         std::to_string(Units(run.right, unitsPerPoint)) + "," +
                         std::to_string(Units(run.bottom, unitsPerPoint)) + "][" +
                         std::to_string(std::llround(std::clamp(run.fontSize, 0.0, 1e6))) + "][";
    header += run.style.bold ? 'B' : 'N';
    header += 'N';  // underlines are drawn as rules, which the text does not carry
    header += run.style.italic ? 'I' : 'N';
    header += "][" + run.style.family + "]]";
    std::string text = CleanText(run.text);
    // A single run longer than a line can hold is cut at a character boundary
    // (room is left for the key).
    const std::size_t room =
        kMaxTextLineBytes > header.size() + 24 ? kMaxTextLineBytes - header.size() - 24 : 0;
    if (text.size() > room) {
        std::size_t cut = room;
        while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) {
            --cut;
        }
        text.resize(cut);
    }
    return header + text;
}

std::size_t WritePrinterText(std::ostream& out, const std::vector<PageLayout>& pages, double unitsPerPoint) {
    std::size_t written = 0;
    for (const auto& page : pages) {
        for (const auto& line : page.lines) {
            for (int i = 0; i < line.blankLinesBefore; ++i) {
                out << '\n';
                ++written;
            }
            std::string text;
            for (const auto& run : line.runs) {
                std::string piece = FormatRun(run, unitsPerPoint);
                if (!text.empty() && text.size() + piece.size() > kMaxTextLineBytes) {
                    out << text << '\n';
                    ++written;
                    text.clear();
                }
                text += piece;
            }
            out << text << '\n';
            ++written;
        }
    }
    return written;
}

}  // namespace sw::driver
