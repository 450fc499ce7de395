#include <gtest/gtest.h>

#include <clocale>
#include <cstring>
#include <memory>
#include <string>

#include "lib/util/KVLibUtility.h"

namespace {

class utility_test : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(std::setlocale(LC_ALL, "C.UTF-8"), nullptr); }
};

TEST_F(utility_test, longest_length_walks_every_argument_until_null) {
    EXPECT_EQ(KVLibUtility::GetLongestStringLength(L"Custom", L"m/d/yyyy", nullptr), 8);
    EXPECT_EQ(KVLibUtility::GetLongestStringLength(L"abc", nullptr), 3);
    EXPECT_EQ(KVLibUtility::GetLongestStringLength(L"", L"a", L"abcde", L"ab", nullptr), 5);
}

TEST_F(utility_test, bounded_copy_truncates_and_terminates) {
    const std::wstring source(2000, L'x');
    wchar_t buffer[1024];
    std::wmemset(buffer, L'#', 1024);
    KVLibUtility::CopyLPCTSTRToLPTSTR(source.c_str(), buffer, 1024);
    EXPECT_EQ(std::wcslen(buffer), 1023U);
    EXPECT_EQ(buffer[1023], L'\0');

    // The free function forwards to the same copy.
    wchar_t small[4];
    CopyLPCTSTRToLPTSTR(L"abcdef", small, 4);
    EXPECT_STREQ(small, L"abc");
}

TEST_F(utility_test, bounded_copy_with_null_arguments_leaves_destination_alone) {
    wchar_t buffer[8] = L"keep";
    KVLibUtility::CopyLPCTSTRToLPTSTR(nullptr, buffer, 8);
    EXPECT_STREQ(buffer, L"keep");
    KVLibUtility::CopyLPCTSTRToLPTSTR(L"x", buffer, 0);
    EXPECT_STREQ(buffer, L"keep");
    KVLibUtility::CopyLPCTSTRToLPTSTR(L"x", nullptr, 8);  // must not crash
}

TEST_F(utility_test, bounded_copy_of_a_buffer_onto_itself_keeps_the_text) {
    wchar_t buffer[16] = L"Arial";
    KVLibUtility::CopyLPCTSTRToLPTSTR(buffer, buffer, 16);
    EXPECT_STREQ(buffer, L"Arial");
}

TEST_F(utility_test, wide_to_narrow_converts_without_terminator) {
    char buffer[260] = {};
    KVLibUtility::CopyLPTSTRtoLPSTR(L"abc", buffer, 260);
    EXPECT_STREQ(buffer, "abc");

    char utf8[8] = {};
    CopyLPTSTRtoLPSTR(L"\u00e9\u20ac", utf8, 8);
    EXPECT_STREQ(utf8, "\xc3\xa9\xe2\x82\xac");

    // No terminator is written: the rest of the buffer stays as it was.
    char marked[6] = {'#', '#', '#', '#', '#', '\0'};
    KVLibUtility::CopyLPTSTRtoLPSTR(L"ab", marked, 5);
    EXPECT_STREQ(marked, "ab###");
}

TEST_F(utility_test, wide_to_narrow_that_does_not_fit_writes_nothing) {
    // Exactly sized heap buffers: the sanitizer build catches any write past them.
    auto buffer = std::make_unique<char[]>(3);
    std::memset(buffer.get(), 0, 3);
    KVLibUtility::CopyLPTSTRtoLPSTR(L"abcd", buffer.get(), 3);
    EXPECT_EQ(std::string(buffer.get(), 3), std::string(3, '\0'));
    // "é" needs two bytes; one byte of room is not enough.
    char one[2] = {};
    KVLibUtility::CopyLPTSTRtoLPSTR(L"\u00e9", one, 1);
    EXPECT_EQ(one[0], '\0');
}

TEST_F(utility_test, wide_to_narrow_replaces_what_the_encoding_cannot_hold) {
    ASSERT_NE(std::setlocale(LC_ALL, "C"), nullptr);
    char buffer[8] = {};
    KVLibUtility::CopyLPTSTRtoLPSTR(L"a\u00e9b", buffer, 8);
    EXPECT_STREQ(buffer, "a?b");
}

TEST_F(utility_test, narrow_to_wide_decodes_the_locale_encoding) {
    wchar_t buffer[16] = {};
    KVLibUtility::CopyLPSTRtoLPTSTR("Caf\xc3\xa9 \xe2\x82\xac", buffer, 16);
    EXPECT_STREQ(buffer, L"Caf\u00e9 \u20ac");
}

TEST_F(utility_test, narrow_to_wide_takes_invalid_bytes_as_windows_1252) {
    wchar_t buffer[16] = {};
    // A lone 0x80, a lone 0xE9, and a multi-byte sequence cut off at the end.
    CopyLPSTRtoLPTSTR("\x80 caf\xe9 \xc3", buffer, 16);
    EXPECT_STREQ(buffer, L"\u20ac caf\u00e9 \u00c3");
}

TEST_F(utility_test, narrow_to_wide_never_writes_past_capacity) {
    auto buffer = std::make_unique<wchar_t[]>(3);
    std::wmemset(buffer.get(), L'\0', 3);
    KVLibUtility::CopyLPSTRtoLPTSTR("abcdef", buffer.get(), 3);
    EXPECT_EQ(std::wstring(buffer.get(), 3), std::wstring(3, L'\0'));
    KVLibUtility::CopyLPSTRtoLPTSTR("abc", buffer.get(), 3);
    EXPECT_EQ(std::wstring(buffer.get(), 3), L"abc");
    KVLibUtility::CopyLPSTRtoLPTSTR(nullptr, buffer.get(), 3);
    EXPECT_EQ(std::wstring(buffer.get(), 3), L"abc");
}

}  // namespace
