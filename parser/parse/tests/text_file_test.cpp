#include <gtest/gtest.h>

#include <clocale>
#include <random>
#include <string>
#include <vector>

#include "parser/parse/KVTextFile.h"
#include "parser/parse/tests/test_files.h"

namespace {

std::vector<std::wstring> ReadAll(const std::wstring& path, bool* failed = nullptr) {
    KVTextFileReader reader;
    std::vector<std::wstring> lines;
    EXPECT_TRUE(reader.Open(path));
    std::wstring line;
    for (;;) {
        const auto status = reader.ReadLine(line);
        if (status != KVTextFileReader::enRead::enLine) {
            if (failed != nullptr) {
                *failed = status == KVTextFileReader::enRead::enError;
            }
            break;
        }
        lines.push_back(line);
    }
    return lines;
}

}  // namespace

TEST(text_file_test, text_mode_drops_only_the_cr_of_a_crlf_line_end) {
    ScratchDir dir;
    const auto lines = ReadAll(dir.Write("crlf.txt", "a\r\nb\rc\n\r\n\r\r\nlast\r"));
    const std::vector<std::wstring> expected = {L"a", L"b\rc", L"", L"\r", L"last\r"};
    EXPECT_EQ(lines, expected);
}

TEST(text_file_test, line_counting_follows_newlines) {
    ScratchDir dir;
    EXPECT_TRUE(ReadAll(dir.Write("empty.txt", "")).empty());
    EXPECT_EQ(ReadAll(dir.Write("one.txt", "a\n")), std::vector<std::wstring>{L"a"});
    EXPECT_EQ(ReadAll(dir.Write("nl.txt", "\n")), std::vector<std::wstring>{L""});
    EXPECT_EQ(ReadAll(dir.Write("tail.txt", "a\nb")), (std::vector<std::wstring>{L"a", L"b"}));
    EXPECT_EQ(ReadAll(dir.Write("blank.txt", "a\n\n\nb\n")),
              (std::vector<std::wstring>{L"a", L"", L"", L"b"}));
}

TEST(text_file_test, bytes_invalid_in_utf8_decode_as_windows_1252) {
    std::wstring out;
    // Latin-1 and Windows-1252 bytes as an old report writes them.
    KVDecodeText("M\xFCller \x80 5 \x93x\x94 \x85", enTextDecoding::enTextUtf8, out);
    EXPECT_EQ(out, L"M\u00FCller \u20AC 5 \u201Cx\u201D \u2026");

    // Valid UTF-8 stays UTF-8 right next to a stray byte.
    out.clear();
    KVDecodeText("\xC3\xA9\xE9\xE2\x82\xAC", enTextDecoding::enTextUtf8, out);
    EXPECT_EQ(out, L"\u00E9\u00E9\u20AC");

    // A sequence cut off by the end, an overlong form, an encoded surrogate
    // and a lead byte beyond Unicode each fall back byte by byte.
    out.clear();
    KVDecodeText("\xE2\x82", enTextDecoding::enTextUtf8, out);
    EXPECT_EQ(out, L"\u00E2\u201A");
    out.clear();
    KVDecodeText("\xC0\xAF", enTextDecoding::enTextUtf8, out);
    EXPECT_EQ(out, L"\u00C0\u00AF");
    out.clear();
    KVDecodeText("\xED\xA0\x80", enTextDecoding::enTextUtf8, out);
    EXPECT_EQ(out, L"\u00ED\u00A0\u20AC");
    out.clear();
    KVDecodeText("\xF5\x80\x80\x80", enTextDecoding::enTextUtf8, out);
    EXPECT_EQ(out, L"\u00F5\u20AC\u20AC\u20AC");

    // Four-byte sequences, the code page's undefined bytes and NUL all survive.
    out.clear();
    KVDecodeText(std::string_view("\xF0\x9F\x98\x80\x81\x8D\x8F\x90\x9D\0z", 11), enTextDecoding::enTextUtf8,
                 out);
    EXPECT_EQ(out, std::wstring(L"\U0001F600\u0081\u008D\u008F\u0090\u009D\0z", 8));
}

TEST(text_file_test, utf8_decoding_is_the_same_wherever_ascii_stretches_start_and_end) {
    // Pieces whose wide form does not depend on their neighbours: ASCII of
    // every length around the block sizes, valid sequences and lone bytes
    // that can only fall back.
    struct Piece {
        std::string bytes;
        std::wstring wide;
    };
    std::vector<Piece> pieces = {{"\xC3\xA9", L"\u00E9"},
                                 {"\xE2\x82\xAC", L"\u20AC"},
                                 {"\xF0\x9F\x98\x80", L"\U0001F600"},
                                 {"\x80", L"\u20AC"},
                                 {"\xA9", L"\u00A9"},
                                 {"\x9D", L"\u009D"},
                                 {std::string(1, '\0'), std::wstring(1, L'\0')},
                                 {"\x7F", L"\x7F"}};
    for (std::size_t length = 1; length <= 40; ++length) {
        std::string bytes;
        std::wstring wide;
        for (std::size_t i = 0; i < length; ++i) {
            const auto c = static_cast<char>('!' + (i * 7 + length) % 90);
            bytes += c;
            wide += static_cast<wchar_t>(c);
        }
        pieces.push_back({bytes, wide});
    }
    std::mt19937 rng(7);
    for (int round = 0; round < 2000; ++round) {
        std::string bytes;
        std::wstring expected;
        const int count = std::uniform_int_distribution<int>(0, 12)(rng);
        for (int i = 0; i < count; ++i) {
            const Piece& piece = pieces[rng() % pieces.size()];
            bytes += piece.bytes;
            expected += piece.wide;
        }
        std::wstring out = L"kept";
        KVDecodeText(bytes, enTextDecoding::enTextUtf8, out);
        ASSERT_EQ(out, L"kept" + expected) << "round " << round;
    }
}

TEST(text_file_test, locale_decoding_falls_back_to_windows_1252_too) {
    const std::string saved = std::setlocale(LC_CTYPE, nullptr);
    ASSERT_NE(std::setlocale(LC_CTYPE, "C.UTF-8"), nullptr);
    std::wstring out;
    KVDecodeText("\xC3\xA9|\xE9|\x80|\xE2\x82", enTextDecoding::enTextLocale, out);
    std::setlocale(LC_CTYPE, saved.c_str());
    EXPECT_EQ(out, L"\u00E9|\u00E9|\u20AC|\u00E2\u201A");
}

TEST(text_file_test, file_bytes_decode_per_line_and_across_buffer_fills) {
    ScratchDir dir;
    // A line far longer than one read, with a two-byte character split by
    // the fill boundary and a Windows-1252 byte right after it.
    std::string big(256 * 1024 - 1, 'x');
    big += "\xC3\xA9\xE9";
    big += std::string(1000, 'y');
    const auto lines = ReadAll(dir.Write("big.txt", "first \xE9\r\n" + big + "\r\nlast"));
    ASSERT_EQ(lines.size(), 3U);
    EXPECT_EQ(lines[0], L"first \u00E9");
    ASSERT_EQ(lines[1].size(), 256U * 1024U - 1U + 2U + 1000U);
    EXPECT_EQ(lines[1].substr(256 * 1024 - 2, 4), L"x\u00E9\u00E9y");
    EXPECT_EQ(lines[2], L"last");
}

TEST(text_file_test, byte_order_mark_is_dropped_from_the_first_line_only) {
    ScratchDir dir;
    const auto lines = ReadAll(dir.Write("bom.txt",
                                         "\xEF\xBB\xBF"
                                         "a\n\xEF\xBB\xBF"
                                         "b\n"));
    EXPECT_EQ(lines, (std::vector<std::wstring>{L"a",
                                                L"\uFEFF"
                                                L"b"}));
}

TEST(text_file_test, missing_files_and_folders_do_not_open) {
    ScratchDir dir;
    KVTextFileReader reader;
    EXPECT_FALSE(reader.Open(dir.Path("absent.txt")));
    EXPECT_FALSE(reader.Open(dir.Root().wstring()));
    EXPECT_FALSE(reader.Open(L""));
    std::wstring line = L"stale";
    EXPECT_EQ(reader.ReadLine(line), KVTextFileReader::enRead::enEnd);
    EXPECT_TRUE(line.empty());
}

TEST(text_file_test, non_ascii_paths_open) {
    ScratchDir dir;
    std::ofstream(dir.Root().string() + "/r\xC3\xA9sum\xC3\xA9.txt") << "ok\n";
    KVTextFileReader reader;
    ASSERT_TRUE(reader.Open(dir.Root().wstring() + L"/r\u00E9sum\u00E9.txt"));
    std::wstring line;
    EXPECT_EQ(reader.ReadLine(line), KVTextFileReader::enRead::enLine);
    EXPECT_EQ(line, L"ok");
}

TEST(text_file_test, read_errors_are_reported) {
    // The start of a process's own memory map is unmapped, so reading it fails.
    bool failed = false;
    const auto lines = ReadAll(L"/proc/self/mem", &failed);
    EXPECT_TRUE(failed);
    EXPECT_TRUE(lines.empty());
}

TEST(text_file_test, trim_and_caseless_equality) {
    EXPECT_EQ(KVTrim(L" \t\r\n\v\fa b\t \r"), L"a b");
    EXPECT_EQ(KVTrim(L" \t "), L"");
    EXPECT_EQ(KVTrim(L"\u00A0x"), L"\u00A0x");
    EXPECT_TRUE(KVEqualsNoCase(L"Total Sales", L"tOTAL sALES"));
    EXPECT_TRUE(KVEqualsNoCase(L"\u00C4RGER \u00DE", L"\u00E4rger \u00FE"));
    EXPECT_FALSE(KVEqualsNoCase(L"\u00D7", L"\u00F7"));
    EXPECT_FALSE(KVEqualsNoCase(L"Total", L"Total Sales"));
    EXPECT_FALSE(KVEqualsNoCase(L"Total Sales", L"Total"));
    EXPECT_FALSE(KVEqualsNoCase(L"[@", L"{`"));
}
