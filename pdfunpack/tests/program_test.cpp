// The PdfUnpack program as its caller sees it: messages, exit status, files.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "pdfunpack/tests/test_support.h"

namespace sw::pdfunpack {
namespace {

using testing::Deflate;
using testing::MakeDeflatedPdf;
using testing::MakePdf;
using testing::ReadFile;
using testing::RunProgram;
using testing::TempDir;
using testing::WriteFile;
using testing::ZeroBomb;

constexpr int kFailure = 255;  // -1 as an exit status
constexpr const char* kNotExtracted = "File not extracted successfully.";

class pdfunpack_program_test : public ::testing::Test {
protected:
    void SetUp() override {
        pdf_ = (dir_ / "in.pdf").string();
        txt_ = (dir_ / "out.txt").string();
        WriteFile(pdf_, MakeDeflatedPdf({"BT 72 712 TD (Name:) Tj 100 0 TD (Smith) Tj ET\nQ"}));
    }
    TempDir dir_;
    std::string pdf_;
    std::string txt_;
};

TEST_F(pdfunpack_program_test, extracts_and_reports_success) {
    const auto run = RunProgram({"-i", pdf_, "-o", txt_}, dir_);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "File " + pdf_ + " successfully extracted to " + txt_ + ".\n");
    EXPECT_EQ(ReadFile(txt_), "\r\nName:\tSmith\r\n");
}

TEST_F(pdfunpack_program_test, pairs_in_any_order_and_letter_case) {
    auto run = RunProgram({"-o", txt_, "-i", pdf_}, dir_);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(ReadFile(txt_), "\r\nName:\tSmith\r\n");
    std::filesystem::remove(txt_);
    run = RunProgram({"-I", pdf_, "-O", txt_}, dir_);
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(std::filesystem::exists(txt_));
}

TEST_F(pdfunpack_program_test, wrong_argument_count_is_invalid) {
    for (const auto& args :
         std::vector<std::vector<std::string>>{{}, {"-i", pdf_, "-o"}, {"-i", pdf_, "-o", txt_, "extra"}}) {
        const auto run = RunProgram(args, dir_);
        EXPECT_EQ(run.status, kFailure);
        EXPECT_EQ(run.out, std::string("Invalid parameters.") + kNotExtracted);
    }
    EXPECT_FALSE(std::filesystem::exists(txt_));
}

TEST_F(pdfunpack_program_test, path_checks_report_each_problem) {
    auto run = RunProgram({"-x", pdf_, "-o", txt_}, dir_);
    EXPECT_EQ(run.status, kFailure);
    EXPECT_EQ(run.out, std::string("Input file name not valid.\n") + kNotExtracted);

    // Both checks are made, so both messages can appear.
    run = RunProgram({"-i", (dir_ / "missing.pdf").string(), "-x", txt_}, dir_);
    EXPECT_EQ(run.status, kFailure);
    EXPECT_EQ(run.out, std::string("Input file not found.\nOutput file name not valid.\n") + kNotExtracted);

    // A later pair overrides an earlier one: here both name the input.
    run = RunProgram({"-i", (dir_ / "missing.pdf").string(), "-i", pdf_}, dir_);
    EXPECT_EQ(run.out, std::string("Output file name not valid.\n") + kNotExtracted);

    // "-in" is not "-i": the whole text is compared.
    run = RunProgram({"-in", pdf_, "-out", txt_}, dir_);
    EXPECT_EQ(run.out,
              std::string("Input file name not valid.\nOutput file name not valid.\n") + kNotExtracted);
    EXPECT_FALSE(std::filesystem::exists(txt_));
}

TEST_F(pdfunpack_program_test, unopenable_output_or_input_fails_with_reason) {
    const std::string badOut = (dir_ / "no-such-folder" / "out.txt").string();
    auto run = RunProgram({"-i", pdf_, "-o", badOut}, dir_);
    EXPECT_EQ(run.status, kFailure);
    EXPECT_EQ(run.out, kNotExtracted);
    EXPECT_NE(run.err.find("cannot open output file"), std::string::npos) << run.err;

    // The input exists but is a folder.
    run = RunProgram({"-i", dir_.path().string(), "-o", txt_}, dir_);
    EXPECT_EQ(run.status, kFailure);
    EXPECT_EQ(run.out, kNotExtracted);
    EXPECT_NE(run.err.find("cannot open input file"), std::string::npos) << run.err;
}

TEST_F(pdfunpack_program_test, output_naming_the_input_is_refused_and_input_kept) {
    const std::string before = ReadFile(pdf_);
    const std::string sameFile = (dir_ / "." / "in.pdf").string();
    const auto run = RunProgram({"-i", pdf_, "-o", sameFile}, dir_);
    EXPECT_EQ(run.status, kFailure);
    EXPECT_EQ(run.out, kNotExtracted);
    EXPECT_NE(run.err.find("same file"), std::string::npos) << run.err;
    EXPECT_EQ(ReadFile(pdf_), before);
}

TEST_F(pdfunpack_program_test, damaged_input_still_succeeds_and_warns_on_stderr) {
    std::string packed = Deflate("BT (gone) Tj ET\nQ");
    packed[2] = static_cast<char>(0xFF);
    packed[3] = static_cast<char>(0xFF);
    WriteFile(pdf_, MakePdf({packed, Deflate("BT (kept) Tj ET\nQ")}));
    const auto run = RunProgram({"-i", pdf_, "-o", txt_}, dir_);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(ReadFile(txt_), "kept\r\n");
    EXPECT_NE(run.err.find("warning: " + pdf_ + ": object 2 @ byte "), std::string::npos) << run.err;
}

TEST_F(pdfunpack_program_test, empty_file_gives_empty_text) {
    WriteFile(pdf_, "");
    const auto run = RunProgram({"-i", pdf_, "-o", txt_}, dir_);
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(std::filesystem::exists(txt_));
    EXPECT_EQ(ReadFile(txt_), "");
    EXPECT_NE(run.err.find("no content streams"), std::string::npos);
}

TEST_F(pdfunpack_program_test, large_file_is_scanned_to_its_end) {
    // 200 MB, mostly a hole in the file, with the page at the very end.
    {
        std::ofstream out(pdf_, std::ios::binary | std::ios::trunc);
        out << "%PDF-1.4\n";
    }
    ASSERT_EQ(truncate(pdf_.c_str(), 200L << 20), 0);
    {
        std::ofstream out(pdf_, std::ios::binary | std::ios::app);
        out << MakeDeflatedPdf({"BT (at the end) Tj ET\nQ"});
    }
    const auto run = RunProgram({"-i", pdf_, "-o", txt_}, dir_);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(ReadFile(txt_), "at the end\r\n");
}

TEST_F(pdfunpack_program_test, inflation_beyond_the_limit_fails_after_writing_text_before_it) {
    WriteFile(pdf_, MakePdf({Deflate("BT (before) Tj ET\nQ"), ZeroBomb(std::size_t{1} << 30),
                             Deflate("BT (after) Tj ET\nQ")}));
    const auto run = RunProgram({"-i", pdf_, "-o", txt_}, dir_);
    EXPECT_EQ(run.status, kFailure);
    EXPECT_EQ(run.out.rfind("Inflated data exceeds the limit of 256 MB at object 3 @ byte ", 0), 0U)
        << run.out;
    EXPECT_NE(run.out.find("; the text before it was written.\n" + std::string(kNotExtracted)),
              std::string::npos);
    EXPECT_EQ(ReadFile(txt_), "before\r\n");
}

}  // namespace
}  // namespace sw::pdfunpack
