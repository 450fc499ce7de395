// PDFs made on this kind of machine by the usual producers (see
// data/make-fixtures.sh): each printed line one text line, columns by tabs.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "pdfunpack/tests/test_support.h"

namespace sw::pdfunpack {
namespace {

using testing::ExtractText;
using testing::ReadFile;
using testing::RunProgram;
using testing::TempDir;
using testing::WriteFile;

std::filesystem::path Fixture(const char* name) {
    return std::filesystem::path(SW_SOURCE_DIR) / "pdfunpack" / "tests" / "data" / name;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

std::vector<std::string> FixtureLines(const char* name) {
    const std::string pdf = ReadFile(Fixture(name));
    EXPECT_FALSE(pdf.empty()) << name;
    const std::string text = ExtractText(pdf);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' || text[i] == '\r') {
            EXPECT_EQ(text.substr(i == 0 || text[i] == '\r' ? i : i - 1, 2), "\r\n") << name << " at " << i;
        }
    }
    return Lines(text);
}

TEST(pdfunpack_fixture_test, enscript_listing_through_ghostscript) {
    EXPECT_EQ(FixtureLines("enscript-report.pdf"),
              (std::vector<std::string>{"QUARTERLY SALES REPORT                      Page 1",
                                        "Region      Units     Revenue", "North         120     1500.00",
                                        "South          75      980.50", "TOTAL         195     2480.50"}));
}

TEST(pdfunpack_fixture_test, postscript_columns_through_ghostscript) {
    EXPECT_EQ(FixtureLines("gs-columns.pdf"),
              (std::vector<std::string>{"Item\tQty\tPrice", "Bolt\t12\t0.25", "Nut\t300\t0.05",
                                        "Total: 312 items"}));
}

TEST(pdfunpack_fixture_test, groff_table_and_justified_text) {
    EXPECT_EQ(
        FixtureLines("groff-table.pdf"),
        (std::vector<std::string>{"INVENTORY\tWarehouse 7", "Part\tCount\tValue", "Gear\t40\t88.00",
                                  "Spring\t1200\t12.50", "The quick brown fox jumps over the lazy dog while",
                                  "the weary warehouse clerk counts every spring, gear", "and bolt twice.",
                                  "AVATAR WAVE Toy"}));
}

TEST(pdfunpack_fixture_test, groff_table_through_postscript_and_ghostscript) {
    // Columns and word spaces come as character and word spacing here.
    EXPECT_EQ(FixtureLines("groff-ps-table.pdf"), FixtureLines("groff-table.pdf"));
    EXPECT_EQ(FixtureLines("groff-ps-table.pdf").at(1), "Part\tCount\tValue");
}

TEST(pdfunpack_fixture_test, subset_fonts_with_hex_glyphs_give_only_empty_lines) {
    const std::vector<std::string> lines = FixtureLines("office-subset-fonts.pdf");
    EXPECT_FALSE(lines.empty());
    for (const std::string& line : lines) {
        EXPECT_EQ(line, "");
    }
}

TEST(pdfunpack_fixture_test, program_reads_a_fixture_like_the_library) {
    TempDir dir;
    const auto out = dir / "out.txt";
    const auto run = RunProgram({"-i", Fixture("groff-table.pdf").string(), "-o", out.string()}, dir);
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_EQ(ReadFile(out), ExtractText(ReadFile(Fixture("groff-table.pdf"))));
}

TEST(pdfunpack_fixture_test, report_printed_here_with_enscript_and_ps2pdf) {
    if (std::system("command -v enscript >/dev/null 2>&1 && command -v ps2pdf >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "enscript or ps2pdf not installed";
    }
    TempDir dir;
    WriteFile(dir / "report.txt", "ACCOUNT   BALANCE\nCash       100.00\nBank      2500.75\n");
    const std::string make = "cd '" + dir.path().string() +
                             "' && enscript -q -B -p report.ps report.txt && ps2pdf report.ps report.pdf";
    ASSERT_EQ(std::system(make.c_str()), 0);
    const auto run =
        RunProgram({"-i", (dir / "report.pdf").string(), "-o", (dir / "report.out").string()}, dir);
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_EQ(Lines(ReadFile(dir / "report.out")),
              (std::vector<std::string>{"ACCOUNT   BALANCE", "Cash       100.00", "Bank      2500.75"}));
}

}  // namespace
}  // namespace sw::pdfunpack
