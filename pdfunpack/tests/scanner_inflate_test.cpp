// Finding streams by keyword, and inflating them in bounded memory.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pdfunpack/inflate.h"
#include "pdfunpack/stream_scanner.h"
#include "pdfunpack/tests/test_support.h"

namespace sw::pdfunpack {
namespace {

using testing::Deflate;

std::span<const std::uint8_t> Bytes(std::string_view s) {
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

std::string Text(std::span<const std::uint8_t> s) {
    return {reinterpret_cast<const char*>(s.data()), s.size()};
}

std::vector<std::string> StreamData(std::string_view file, ScanStop* stop = nullptr) {
    StreamScanner scanner(Bytes(file));
    std::vector<std::string> found;
    StreamLocation where;
    while (scanner.Next(where)) {
        found.push_back(std::string(file.substr(where.dataOffset, where.dataLength)));
    }
    if (stop != nullptr) {
        *stop = scanner.stop();
    }
    return found;
}

TEST(pdfunpack_scanner_test, line_ends_around_data_are_excluded) {
    EXPECT_EQ(StreamData("x stream\r\nABC\r\nendstream"), std::vector<std::string>{"ABC"});
    EXPECT_EQ(StreamData("x stream\nABC\nendstream"), std::vector<std::string>{"ABC"});
    EXPECT_EQ(StreamData("x streamABCendstream"), std::vector<std::string>{"ABC"});
    // A lone CR is data.
    EXPECT_EQ(StreamData("x stream\rABC\rendstream"), std::vector<std::string>{"\rABC\r"});
    // Nothing between the keywords.
    EXPECT_EQ(StreamData("x stream\nendstream"), std::vector<std::string>{""});
}

TEST(pdfunpack_scanner_test, finds_every_stream_in_turn) {
    const std::string file =
        "1 0 obj<<>>stream\nAAA\nendstream endobj 2 0 obj<<>>stream\r\nBB\r\nendstream\n";
    ScanStop stop = ScanStop::NotYet;
    EXPECT_EQ(StreamData(file, &stop), (std::vector<std::string>{"AAA", "BB"}));
    EXPECT_EQ(stop, ScanStop::NoMoreStreams);
}

TEST(pdfunpack_scanner_test, scan_stops_where_keywords_do_not_pair) {
    ScanStop stop = ScanStop::NotYet;
    EXPECT_TRUE(StreamData("no keywords at all", &stop).empty());
    EXPECT_EQ(stop, ScanStop::NoMoreStreams);

    EXPECT_EQ(StreamData("a stream\nA\nendstream b stream\nunterminated", &stop),
              std::vector<std::string>{"A"});
    EXPECT_EQ(stop, ScanStop::MissingEndstream);

    // "stream" at the very start of the remaining data ends the scan.
    EXPECT_TRUE(StreamData("stream\nA\nendstream", &stop).empty());
    EXPECT_EQ(stop, ScanStop::StreamAtStart);

    // The data of the first stream is taken up to the first "endstream"; a
    // stray "endstream" before the next "stream" ends the scan.
    EXPECT_EQ(StreamData("x stream\nA\nendstream y endstream z stream\nB\nendstream", &stop),
              std::vector<std::string>{"A"});
    EXPECT_EQ(stop, ScanStop::EndstreamFirst);
}

TEST(pdfunpack_scanner_test, inflate_input_has_one_byte_more_and_object_number_is_found) {
    const std::string file = "%PDF\n12 0 obj\n<< /Length 3 >>\nstream\nABC\nendstream\nendobj\n";
    StreamScanner scanner(Bytes(file));
    StreamLocation where;
    ASSERT_TRUE(scanner.Next(where));
    EXPECT_EQ(Text(scanner.InflateInput(where)), "ABC\n");
    EXPECT_EQ(where.objectNumber, 12);
    EXPECT_EQ(where.keywordOffset, file.find("stream"));
    EXPECT_EQ(ObjectNumberBefore(Bytes("endobj\nstream"), 7), -1);
    EXPECT_EQ(ObjectNumberBefore(Bytes("7 0 obj << >> "), 14), 7);
}

TEST(pdfunpack_scanner_test, image_dictionaries_are_recognised_and_nothing_else) {
    auto image = [](std::string_view file) {
        StreamScanner scanner(Bytes(file));
        StreamLocation where;
        std::vector<bool> found;
        while (scanner.Next(where)) {
            found.push_back(where.image);
        }
        return found;
    };
    EXPECT_EQ(image("5 0 obj\n<< /Type /XObject /Subtype /Image /Width 8 >>\nstream\nx\nendstream\n"),
              std::vector<bool>{true});
    EXPECT_EQ(image("5 0 obj<</Subtype/Image/Width 8>>stream\nx\nendstream"), std::vector<bool>{true});
    EXPECT_EQ(image("5 0 obj<</Subtype\r\n/Image>>stream\nx\nendstream"), std::vector<bool>{true});
    // Forms carry text; "/ImageB" in a resource list and /ImageMask are other names.
    EXPECT_EQ(image("5 0 obj<</Subtype /Form>>stream\nx\nendstream"), std::vector<bool>{false});
    EXPECT_EQ(image("5 0 obj<</Subtype /ImageB>>stream\nx\nendstream"), std::vector<bool>{false});
    EXPECT_EQ(image("5 0 obj<</ImageMask true /Length 1>>stream\nx\nendstream"), std::vector<bool>{false});
    // Only the stream's own object counts: an image before it, or one after it, does not.
    EXPECT_EQ(image("4 0 obj<</Subtype/Image>>stream\nA\nendstream\nendobj\n"
                    "5 0 obj<</Length 1>>stream\nB\nendstream\nendobj\n"
                    "6 0 obj<</Subtype/Image>>stream\nC\nendstream\nendobj\n"),
              (std::vector<bool>{true, false, true}));
    EXPECT_FALSE(DeclaresImage(Bytes("/Subtype /Image"), 0, 0));
    EXPECT_TRUE(DeclaresImage(Bytes("/Subtype /Image"), 0, 15));
}

TEST(pdfunpack_inflate_test, complete_stream_inflates_far_beyond_ten_times_its_size) {
    const std::string text(1 << 20, 'a');
    const std::string packed = Deflate(text, 9);
    ASSERT_LT(packed.size() * 100, text.size());
    InflateResult result;
    const auto out = InflateToBuffer(Bytes(packed), std::size_t{1} << 30, &result);
    EXPECT_EQ(result.status, InflateStatus::Complete);
    EXPECT_EQ(result.produced, text.size());
    EXPECT_EQ(Text(out), text);
}

TEST(pdfunpack_inflate_test, damaged_data_reports_how_and_keeps_what_came_before) {
    std::string text;
    for (int i = 0; i < 2000; ++i) {
        text += "line " + std::to_string(i * 7919 % 10007) + "\n";
    }
    const std::string packed = Deflate(text);

    InflateResult result;
    auto out =
        InflateToBuffer(Bytes(std::string_view(packed).substr(0, packed.size() / 2)), 1 << 30, &result);
    EXPECT_EQ(result.status, InflateStatus::Truncated);
    EXPECT_GT(out.size(), 0U);
    EXPECT_EQ(Text(out), text.substr(0, out.size()));

    std::string corrupt = packed;
    for (std::size_t i = corrupt.size() / 2; i < corrupt.size(); ++i) {
        corrupt[i] = static_cast<char>(0xFF);
    }
    out = InflateToBuffer(Bytes(corrupt), 1 << 30, &result);
    EXPECT_EQ(result.status, InflateStatus::Corrupt);
    EXPECT_FALSE(result.detail.empty());

    InflateToBuffer(Bytes("BT (plain) Tj ET"), 1 << 30, &result);
    EXPECT_EQ(result.status, InflateStatus::NotDeflate);
    InflateToBuffer(Bytes(""), 1 << 30, &result);
    EXPECT_EQ(result.status, InflateStatus::NotDeflate);
}

TEST(pdfunpack_inflate_test, limit_stops_output_exactly) {
    const std::string packed = Deflate(std::string(1 << 20, 'z'));
    InflateResult result;
    const auto out = InflateToBuffer(Bytes(packed), 1000, &result);
    EXPECT_EQ(result.status, InflateStatus::LimitReached);
    EXPECT_EQ(out.size(), 1000U);
    // The same stream object is reusable after stopping early.
    InflateStream stream;
    std::size_t seen = 0;
    stream.Run(Bytes(packed), 10, [&](std::span<const std::uint8_t> c) { seen += c.size(); });
    const auto again = stream.Run(Bytes(packed), std::size_t{1} << 30, [](std::span<const std::uint8_t>) {});
    EXPECT_EQ(seen, 10U);
    EXPECT_EQ(again.status, InflateStatus::Complete);
    EXPECT_EQ(again.produced, std::size_t{1} << 20);
}

}  // namespace
}  // namespace sw::pdfunpack
