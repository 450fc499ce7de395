#include "driver/layout/TextLayout.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <numeric>

namespace sw::driver {

namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

bool EndsWith(const std::string& text, const std::string& tail) {
    return text.size() > tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// Code points of UTF-8 text: continuation bytes do not count.
std::size_t CountCharacters(const std::string& text) {
    return static_cast<std::size_t>(std::count_if(
        text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

bool Finite(const Word& w) {
    return std::isfinite(w.x0) && std::isfinite(w.x1) && std::isfinite(w.y0) && std::isfinite(w.y1) &&
           std::isfinite(w.fontSize);
}

struct Placed {
    const Word* word;
    double x0, x1, top, bottom, size, baseline, charWidth;
};

Placed Place(const Word& w) {
    Placed p{};
    p.word = &w;
    p.x0 = std::min(w.x0, w.x1);
    p.x1 = std::max(w.x0, w.x1);
    p.top = std::min(w.y0, w.y1);
    p.bottom = std::max(w.y0, w.y1);
    const double height = p.bottom - p.top;
    p.size = w.fontSize > 0 ? w.fontSize : (height > 0 ? height : 1.0);
    // The box runs from the font's ascent to its descent; the baseline lies
    // about a fifth of the height above the bottom for common fonts.
    p.baseline = p.bottom - 0.22 * (height > 0 ? height : p.size);
    const std::size_t chars = std::max<std::size_t>(1, CountCharacters(w.text));
    p.charWidth = (p.x1 - p.x0) / static_cast<double>(chars);
    return p;
}

// The width a blank has next to these words: a monospaced font's blank is as
// wide as its letters; a proportional font's is about half its average letter.
double BlankWidth(const Placed& a, const Placed& b) {
    const double size = std::min(a.size, b.size);
    const double letter = std::min(a.charWidth, b.charWidth);
    return std::clamp(letter, 0.25 * size, 0.6 * size);
}

double Median(std::vector<double> values) {
    if (values.empty()) {
        return 0;
    }
    const auto mid = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
    std::nth_element(values.begin(), mid, values.end());
    return *mid;
}

Run StartRun(const Placed& p) {
    Run run;
    run.left = p.x0;
    run.right = p.x1;
    run.top = p.top;
    run.bottom = p.bottom;
    run.fontSize = p.size;
    run.style = StyleOfFont(p.word->font);
    run.text = p.word->text;
    return run;
}

}  // namespace

FontStyle StyleOfFont(const std::string& fontName) {
    std::string name = fontName;
    // A subset font carries six capitals and "+" before its real name.
    if (name.size() > 7 && name[6] == '+' &&
        std::all_of(name.begin(), name.begin() + 6, [](char c) { return c >= 'A' && c <= 'Z'; })) {
        name.erase(0, 7);
    }
    FontStyle style;
    const std::string lower = Lower(name);
    style.bold = lower.find("bold") != std::string::npos || lower.find("black") != std::string::npos ||
                 lower.find("heavy") != std::string::npos || lower.find("demi") != std::string::npos;
    style.italic = lower.find("italic") != std::string::npos || lower.find("oblique") != std::string::npos;
    std::string family = name.substr(0, name.find_first_of("-,"));
    for (const char* tail : {"PSMT", "MT", "PS"}) {
        if (EndsWith(family, tail) && family.size() > std::char_traits<char>::length(tail) + 2) {
            family.erase(family.size() - std::char_traits<char>::length(tail));
            break;
        }
    }
    // The name stands between brackets in the printer text file.
    for (char& c : family) {
        if (c == '[' || c == ']' || static_cast<unsigned char>(c) < 0x20) {
            c = '_';
        }
    }
    style.family = family.empty() ? "Unknown" : family;
    return style;
}

PageLayout LayOutPage(const PageWords& page) {
    std::vector<Placed> placed;
    placed.reserve(page.words.size());
    for (const Word& w : page.words) {
        if (!w.text.empty() && Finite(w)) {
            placed.push_back(Place(w));
        }
    }
    std::stable_sort(placed.begin(), placed.end(),
                     [](const Placed& a, const Placed& b) { return a.baseline < b.baseline; });

    // Lines: words whose baselines lie within a fraction of the smaller
    // height of the line's first word, so mixed sizes share a line.
    std::vector<std::vector<Placed>> lines;
    double lineBase = 0;
    double lineSize = 0;
    for (const Placed& p : placed) {
        if (lines.empty() || std::abs(p.baseline - lineBase) > 0.4 * std::min(p.size, lineSize)) {
            lines.emplace_back();
            lineBase = p.baseline;
            lineSize = p.size;
        }
        lines.back().push_back(p);
    }

    PageLayout layout;
    std::vector<double> steps;
    std::vector<double> sizes;
    double previous = 0;
    for (auto& words : lines) {
        std::stable_sort(words.begin(), words.end(),
                         [](const Placed& a, const Placed& b) { return a.x0 < b.x0; });
        Line line;
        line.baseline = words.front().baseline;
        Placed last = words.front();
        line.runs.push_back(StartRun(last));
        for (std::size_t i = 1; i < words.size(); ++i) {
            const Placed& p = words[i];
            Run& run = line.runs.back();
            const double gap = p.x0 - run.right;
            if (gap > 1.5 * BlankWidth(last, p)) {
                line.runs.push_back(StartRun(p));
            } else {
                // Pieces of one word (a change of font inside it) touch.
                if (gap > 0.15 * std::min(last.size, p.size)) {
                    run.text += ' ';
                }
                run.text += p.word->text;
                run.right = std::max(run.right, p.x1);
                run.top = std::min(run.top, p.top);
                run.bottom = std::max(run.bottom, p.bottom);
            }
            last = p;
        }
        if (!layout.lines.empty()) {
            steps.push_back(line.baseline - previous);
        }
        sizes.push_back(words.front().size);
        previous = line.baseline;
        layout.lines.push_back(std::move(line));
    }

    // Empty printed lines: the step between baselines against the page's
    // usual line pitch, at most two, so a report keeps its sections apart.
    double pitch = Median(steps);
    if (steps.size() < 2 || pitch <= 0) {
        pitch = 1.2 * Median(sizes);
    }
    if (pitch > 0) {
        for (std::size_t i = 1; i < layout.lines.size(); ++i) {
            const double step = layout.lines[i].baseline - layout.lines[i - 1].baseline;
            const double blanks = std::round(step / pitch) - 1;
            layout.lines[i].blankLinesBefore = static_cast<int>(std::clamp(blanks, 0.0, 2.0));
        }
    }
    return layout;
}

std::size_t CountColumns(const std::vector<PageLayout>& pages) {
    std::vector<std::int64_t> keys;
    for (const auto& page : pages) {
        for (const auto& line : page.lines) {
            for (const auto& run : line.runs) {
                keys.push_back(run.key);
            }
        }
    }
    std::sort(keys.begin(), keys.end());
    return static_cast<std::size_t>(std::unique(keys.begin(), keys.end()) - keys.begin());
}

}  // namespace sw::driver
