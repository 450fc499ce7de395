// From the words a PDF page places to the printed lines of the printer text
// file: words joined into runs as the application set them, runs grouped into
// lines by baseline, and one column key per printed column across the job.
//
// Coordinates are PDF points (1/72 inch) from the page's top-left corner,
// y growing downwards, as the text extraction reports them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace sw::driver {

// One word as the page shows it: no blanks inside.
struct Word {
    double x0 = 0;
    double y0 = 0;
    double x1 = 0;
    double y1 = 0;
    double fontSize = 0;
    std::string font;  // the font's name as the PDF gives it
    std::string text;  // UTF-8
};

struct PageWords {
    double width = 0;
    double height = 0;
    std::vector<Word> words;
};

// Style read from a font name ("Arial,BoldItalic", "ABCDEF+Times-Bold").
struct FontStyle {
    std::string family;
    bool bold = false;
    bool italic = false;
};
FontStyle StyleOfFont(const std::string& fontName);

// A run of text as one piece of the printed line.
struct Run {
    double left = 0;
    double top = 0;
    double right = 0;
    double bottom = 0;
    double fontSize = 0;
    FontStyle style;
    std::string text;
    std::int64_t key = -1;  // column key, set by AssignColumnKeys
};

struct Line {
    double baseline = 0;
    int blankLinesBefore = 0;  // empty printed lines between this line and the one above
    std::vector<Run> runs;     // left to right
};

struct PageLayout {
    std::vector<Line> lines;  // top to bottom
};

// Runs and lines of one page. Words whose gap is at most about one blank
// are one run ("Acme Corp", "1,234.50"); a wider gap starts a new run.
PageLayout LayOutPage(const PageWords& page);

// What the column keys need of a run: its horizontal extent and its line
// (numbered through the whole job). Small, so a long job keeps only these.
struct RunBox {
    float left = 0;
    float right = 0;
    std::uint32_t line = 0;
};
inline RunBox BoxOf(const Run& run, std::uint32_t line) {
    auto narrow = [](double v) { return static_cast<float>(v < -1e9 ? -1e9 : (v > 1e9 ? 1e9 : v)); };
    return {narrow(run.left), narrow(run.right), line};
}

// The column keys of a job's runs, given in reading order (line by line,
// left to right within a line), as AssignColumnKeys gives them.
std::vector<std::int64_t> ColumnKeysOf(const std::vector<RunBox>& runs, double unitsPerPoint);

// Gives every run of the job its column key: runs of one printed column share
// a key (left-aligned, right-aligned or centred), and within a line keys grow
// strictly from left to right, so no two runs of a line ever share a key.
// Keys are the column's left edge in device units (`unitsPerPoint` each
// point), raised where needed to keep the order.
void AssignColumnKeys(std::vector<PageLayout>& pages, double unitsPerPoint);

// Counts for the job's log: how many distinct keys the job uses.
std::size_t CountColumns(const std::vector<PageLayout>& pages);

}  // namespace sw::driver
