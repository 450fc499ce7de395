// Words of any shape through the layout, the column keys and the printer
// text: nothing may crash, and within every line the keys must grow from
// left to right (a repeated key would lose a run in the converter).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "driver/layout/PrinterText.h"
#include "driver/layout/TextLayout.h"

namespace {

const char* const kFonts[] = {"ABCDEF+Arial,Bold",        "Courier", "Times-Italic", "", "X[Y]]Z",
                              "LiberationSans-BoldItalic"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<sw::driver::PageWords> input(1);
    std::size_t pos = 0;
    auto take = [&](std::size_t n) {
        const uint8_t* p = data + pos;
        pos += n;
        return p;
    };
    while (pos + 9 <= size) {
        const uint8_t* w = take(9);
        if (w[0] == 0xFF && w[1] == 0xFF) {
            input.emplace_back();
            continue;
        }
        sw::driver::Word word;
        word.x0 = static_cast<int16_t>(w[0] | (w[1] << 8)) / 4.0;
        word.y0 = static_cast<int16_t>(w[2] | (w[3] << 8)) / 4.0;
        word.x1 = word.x0 + w[4] / 2.0;
        word.y1 = word.y0 + w[5] / 8.0;
        word.fontSize = w[6] / 4.0;
        word.font = kFonts[w[7] % (sizeof(kFonts) / sizeof(kFonts[0]))];
        const std::size_t length = std::min<std::size_t>(w[8] % 16, size - pos);
        word.text.assign(reinterpret_cast<const char*>(take(length)), length);
        input.back().words.push_back(std::move(word));
    }
    std::vector<sw::driver::PageLayout> pages;
    for (const auto& page : input) {
        pages.push_back(sw::driver::LayOutPage(page));
    }
    sw::driver::AssignColumnKeys(pages, 100.0 / 72.0);
    for (const auto& page : pages) {
        for (const auto& line : page.lines) {
            for (std::size_t i = 1; i < line.runs.size(); ++i) {
                if (line.runs[i].key <= line.runs[i - 1].key) {
                    std::abort();
                }
            }
        }
    }
    std::ostringstream out;
    sw::driver::WritePrinterText(out, pages, 100.0 / 72.0);
    return 0;
}
