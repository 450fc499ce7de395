#include "platform/base/TextCodec.h"

#include <gtest/gtest.h>

#include <string>

using sw::base::FromUtf16le;
using sw::base::FromUtf8OrCp1252;
using sw::base::ToUtf16le;
using sw::base::ToUtf8;

TEST(text_codec_test, every_plane_round_trips) {
    const std::wstring text = L"a\u00e9\u20ac\U0001F600z";
    EXPECT_EQ(ToUtf8(text), "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80z");
    EXPECT_EQ(FromUtf8OrCp1252(ToUtf8(text)), text);
    EXPECT_EQ(ToUtf16le(text), std::string("a\0\xE9\0\xAC\x20\x3D\xD8\x00\xDEz\0", 12));
    EXPECT_EQ(FromUtf16le(ToUtf16le(text)), text);
}

TEST(text_codec_test, values_that_utf8_cannot_hold_become_replacement) {
    std::wstring bad;
    bad += static_cast<wchar_t>(0xD800);
    bad += static_cast<wchar_t>(0x110000);
    EXPECT_EQ(ToUtf8(bad), "\xEF\xBF\xBD\xEF\xBF\xBD");
}

TEST(text_codec_test, invalid_bytes_are_read_as_windows_1252_and_never_dropped) {
    // A lone 0x80 is the euro sign, 0xE9 alone is e-acute, 0x81 is undefined and keeps its value.
    EXPECT_EQ(FromUtf8OrCp1252("\x80 caf\xE9 \x81"), L"\u20ac caf\u00e9 \u0081");
    // Truncated sequence at the end: each byte on its own.
    EXPECT_EQ(FromUtf8OrCp1252("x\xE2\x82"), L"x\u00e2\u201a");
    // Overlong encoding of '/' and an encoded surrogate are not UTF-8.
    EXPECT_EQ(FromUtf8OrCp1252("\xC0\xAF").size(), 2U);
    EXPECT_EQ(FromUtf8OrCp1252("\xED\xA0\x80").size(), 3U);
    // Long ASCII runs around a stray byte, past the block-wise widening.
    const std::string ascii(40, 'a');
    EXPECT_EQ(FromUtf8OrCp1252(ascii + "\x93" + ascii),
              std::wstring(40, L'a') + L"\u201c" + std::wstring(40, L'a'));
}
