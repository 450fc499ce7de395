// Whole files through scanner, inflation and interpreter, including damaged
// and hostile ones.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pdfunpack/extractor.h"
#include "pdfunpack/tests/test_support.h"

namespace sw::pdfunpack {
namespace {

using testing::Deflate;
using testing::ExtractText;
using testing::MakeDeflatedPdf;
using testing::MakePdf;
using testing::ZeroBomb;

std::span<const std::uint8_t> Bytes(std::string_view s) {
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

struct Extraction {
    ExtractStatus status = ExtractStatus::Ok;
    std::string text;
    std::vector<Warning> warnings;
    std::size_t inflated = 0;
};

Extraction Extract(std::string_view pdf, ExtractOptions options = {}) {
    Extraction e;
    Extractor extractor(options);
    e.status = extractor.Run(Bytes(pdf), [&e](std::string_view text) {
        e.text.append(text);
        return true;
    });
    e.warnings = extractor.warnings();
    e.inflated = extractor.inflatedBytes();
    return e;
}

TEST(pdfunpack_extractor_test, streams_expanding_more_than_ten_times_keep_their_text) {
    std::string page;
    for (int i = 0; i < 5000; ++i) {
        page += "BT 72 700 TD (Repeated line of the report) Tj ET\n";
    }
    const std::string packed = Deflate(page, 9);
    ASSERT_GT(page.size(), packed.size() * 10);
    const Extraction e = Extract(MakePdf({packed}));
    EXPECT_EQ(e.status, ExtractStatus::Ok);
    std::string expected;
    for (int i = 0; i < 5000; ++i) {
        expected += "\r\nRepeated line of the report\r\n";
    }
    // The last ET has only one byte after it inside the stream.
    expected.resize(expected.size() - 2);
    EXPECT_EQ(e.text, expected);
}

TEST(pdfunpack_extractor_test, streams_are_read_in_order_with_fresh_state_each) {
    // A string left open at the end of one stream does not swallow the next.
    const Extraction e =
        Extract(MakeDeflatedPdf({"BT (one) Tj ET\nQ\n", "BT (unclosed", "BT (three) Tj ET\nQ"}));
    EXPECT_EQ(e.text, "one\r\nunclosedthree\r\n");
    EXPECT_TRUE(e.warnings.empty());
}

TEST(pdfunpack_extractor_test, uncompressed_and_image_streams_contribute_nothing) {
    const std::string jpegLike = "\xFF\xD8\xFF\xE0 BT (not text) Tj ET\n\n";
    const Extraction e = Extract(MakePdf({"BT (raw) Tj ET\nQ", jpegLike, Deflate("BT (real) Tj ET\nQ")}));
    EXPECT_EQ(e.text, "real\r\n");
}

TEST(pdfunpack_extractor_test, truncated_flate_keeps_text_before_break_and_warns_with_place) {
    std::string page;
    for (int i = 0; i < 400; ++i) {
        page += "BT 0 -14 TD (row " + std::to_string(i * 7919 % 10007) + ") Tj ET\n";
    }
    const std::string packed = Deflate(page);
    const std::string pdf = MakePdf({packed.substr(0, packed.size() / 2), Deflate("BT (after) Tj ET\nQ")});
    const Extraction e = Extract(pdf);
    EXPECT_EQ(e.status, ExtractStatus::Ok);
    EXPECT_EQ(e.text.rfind("\r\nrow 0\r\n", 0), 0U) << "text before the break is kept";
    EXPECT_NE(e.text.find("after\r\n"), std::string::npos) << "later streams are still read";
    ASSERT_EQ(e.warnings.size(), 1U);
    EXPECT_EQ(e.warnings[0].object, 2);
    EXPECT_EQ(e.warnings[0].offset, pdf.find("stream"));
    EXPECT_NE(e.warnings[0].ToString().find("object 2 @ byte "), std::string::npos);
    EXPECT_NE(e.warnings[0].ToString().find("kept the text of the first"), std::string::npos);
}

TEST(pdfunpack_extractor_test, corrupt_deflate_is_reported_and_skipped) {
    std::string corrupt = Deflate("BT (lost) Tj ET\nQ");
    corrupt[2] = static_cast<char>(0xFF);  // an invalid block type right after the header
    corrupt[3] = static_cast<char>(0xFF);
    const Extraction e = Extract(MakePdf({corrupt, Deflate("BT (kept) Tj ET\nQ")}));
    EXPECT_EQ(e.text, "kept\r\n");
    ASSERT_EQ(e.warnings.size(), 1U);
    EXPECT_NE(e.warnings[0].text.find("corrupt"), std::string::npos);
}

TEST(pdfunpack_extractor_test, stream_without_endstream_ends_the_scan_with_a_warning) {
    std::string pdf = MakeDeflatedPdf({"BT (first) Tj ET\nQ"});
    pdf += "9 0 obj\n<< >>\nstream\n" + Deflate("BT (orphan) Tj ET\nQ");
    const Extraction e = Extract(pdf);
    EXPECT_EQ(e.text, "first\r\n");
    ASSERT_EQ(e.warnings.size(), 1U);
    EXPECT_EQ(e.warnings[0].object, 9);
    EXPECT_NE(e.warnings[0].text.find("without \"endstream\""), std::string::npos);
}

TEST(pdfunpack_extractor_test, empty_and_keyword_free_input_gives_empty_text) {
    EXPECT_EQ(Extract("").text, "");
    EXPECT_EQ(Extract("").status, ExtractStatus::Ok);
    EXPECT_EQ(Extract(std::string(100000, '(')).text, "");
}

TEST(pdfunpack_extractor_test, inflate_limit_stops_a_bomb_after_the_text_before_it) {
    const std::string bomb = ZeroBomb(std::size_t{1} << 30);
    ASSERT_LT(bomb.size(), std::size_t{4} << 20);
    ExtractOptions options;
    options.maxInflatedBytes = std::size_t{8} << 20;
    const Extraction e =
        Extract(MakePdf({Deflate("BT (before) Tj ET\nQ"), bomb, Deflate("BT (after) Tj ET\nQ")}), options);
    EXPECT_EQ(e.status, ExtractStatus::LimitReached);
    EXPECT_EQ(e.text, "before\r\n");
    EXPECT_EQ(e.inflated, options.maxInflatedBytes);
    ASSERT_FALSE(e.warnings.empty());
    EXPECT_NE(e.warnings.back().text.find("limit of 8 MB"), std::string::npos);
}

TEST(pdfunpack_extractor_test, limit_counts_all_streams_together) {
    ExtractOptions options;
    options.maxInflatedBytes = 100;
    const std::string page = "BT (abc) Tj ET\nQ\n" + std::string(40, ' ');  // 57 bytes
    const Extraction e = Extract(MakeDeflatedPdf({page, page}), options);
    EXPECT_EQ(e.status, ExtractStatus::LimitReached);
    EXPECT_EQ(e.text, "abc\r\nabc\r\n");
    EXPECT_EQ(e.inflated, 100U);
}

TEST(pdfunpack_extractor_test, image_streams_do_not_use_up_the_limit_for_text) {
    // A picture on every page, each larger than the whole limit.
    const std::string picture = Deflate(std::string(1 << 20, '\x7f'));
    std::string pdf = "%PDF-1.4\n";
    for (int page = 0; page < 3; ++page) {
        const std::string text = Deflate("BT (page " + std::to_string(page) + ") Tj ET\nQ");
        pdf += std::to_string(10 + page) +
               " 0 obj\n<< /Type /XObject /Subtype /Image /Width 1024 /Height 1024 "
               "/BitsPerComponent 8 /ColorSpace /DeviceGray /Filter /FlateDecode >>\nstream\n" +
               picture + "\nendstream\nendobj\n";
        pdf += std::to_string(20 + page) + " 0 obj\n<< /Length " + std::to_string(text.size()) +
               " /Filter /FlateDecode >>\nstream\n" + text + "\nendstream\nendobj\n";
    }
    ExtractOptions options;
    options.maxInflatedBytes = 1000;
    const Extraction e = Extract(pdf, options);
    EXPECT_EQ(e.status, ExtractStatus::Ok);
    EXPECT_EQ(e.text, "page 0\r\npage 1\r\npage 2\r\n");
    EXPECT_TRUE(e.warnings.empty());
    // A form carries text of its own and is read like a page.
    const std::string form = Deflate("BT (in form) Tj ET\nQ");
    EXPECT_EQ(Extract("1 0 obj\n<< /Type /XObject /Subtype /Form >>\nstream\n" + form + "\nendstream\n").text,
              "in form\r\n");
}

TEST(pdfunpack_extractor_test, hostile_strings_and_parentheses_stay_bounded) {
    const std::string huge(3 << 20, 'y');
    const Extraction e =
        Extract(MakeDeflatedPdf({"BT (" + huge + ") Tj ET\nQ", "BT ((((((((((((", "BT )))) (z) Tj ET\nQ"}));
    // Inside a string every "(" is text; the stray ")" outside are ignored.
    EXPECT_TRUE(e.text == huge + "\r\n" + std::string(11, '(') + "z\r\n");
    EXPECT_EQ(e.text.size(), huge.size() + 2 + 11 + 3);
}

TEST(pdfunpack_extractor_test, writer_refusal_stops_extraction) {
    Extractor extractor;
    int calls = 0;
    const std::string pdf = MakeDeflatedPdf({"BT (a) Tj ET\nQ", "BT (b) Tj ET\nQ"});
    const ExtractStatus status = extractor.Run(Bytes(pdf), [&calls](std::string_view) {
        ++calls;
        return false;
    });
    EXPECT_EQ(status, ExtractStatus::WriteFailed);
    EXPECT_EQ(calls, 1);
}

TEST(pdfunpack_extractor_test, layout_lines_do_not_start_a_stream_with_an_empty_line) {
    // The first stream ends without a line end; the second continues that line.
    EXPECT_EQ(ExtractText(MakeDeflatedPdf({"BT 12 TL (a)' ET", "BT 12 TL (b)' (c)' ET\nQ"})), "ab\r\nc\r\n");
    EXPECT_EQ(ExtractText(MakeDeflatedPdf({"BT 12 TL (a)' ET\nQ", "BT 12 TL (b)' (c)' ET\nQ"})),
              "a\r\nb\r\nc\r\n");
}

}  // namespace
}  // namespace sw::pdfunpack
