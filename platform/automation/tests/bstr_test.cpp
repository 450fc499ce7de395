#include <gtest/gtest.h>

#include <cwchar>
#include <string>

#include "platform/automation/Bstr.h"

TEST(automation_test, bstr_keeps_embedded_nulls_and_its_length) {
    const long before = sw::automation::LiveBstrCount();
    const wchar_t text[] = {L'a', L'\0', L'b', L'c'};
    BSTR b = SysAllocStringLen(text, 4);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(SysStringLen(b), 4U);
    EXPECT_EQ(SysStringByteLen(b), 4U * sizeof(OLECHAR));
    EXPECT_EQ(std::wcslen(b), 1U);
    EXPECT_EQ(b[2], L'b');
    EXPECT_EQ(b[4], L'\0');  // terminated after the stored length
    EXPECT_EQ(sw::automation::LiveBstrCount(), before + 1);
    SysFreeString(b);
    EXPECT_EQ(sw::automation::LiveBstrCount(), before);
}

TEST(automation_test, bstr_null_is_an_empty_string) {
    EXPECT_EQ(SysAllocString(nullptr), nullptr);
    EXPECT_EQ(SysStringLen(nullptr), 0U);
    SysFreeString(nullptr);
    BSTR zeros = SysAllocStringLen(nullptr, 3);
    ASSERT_NE(zeros, nullptr);
    EXPECT_EQ(SysStringLen(zeros), 3U);
    EXPECT_EQ(zeros[0], L'\0');
    SysFreeString(zeros);
    BSTR empty = SysAllocString(L"");
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(SysStringLen(empty), 0U);
    SysFreeString(empty);
}

TEST(automation_test, bstr_without_text_is_zeros_even_where_a_freed_string_lay) {
    // A freed string's room is what the next string of its size is given.
    const std::wstring noise(3, L'\x7777');
    SysFreeString(SysAllocStringLen(noise.data(), 3));
    BSTR zeros = SysAllocStringLen(nullptr, 3);
    ASSERT_NE(zeros, nullptr);
    for (UINT i = 0; i <= 3; ++i) {
        EXPECT_EQ(zeros[i], L'\0') << i;
    }
    SysFreeString(zeros);

    // Bytes that end inside a character: the rest of it is zero, then the terminator.
    SysFreeString(SysAllocStringLen(noise.data(), 2));
    const char bytes[] = "abcde";
    BSTR partial = SysAllocStringByteLen(bytes, 5);
    ASSERT_NE(partial, nullptr);
    const UINT length = (5 + sizeof(OLECHAR) - 1) / sizeof(OLECHAR);
    EXPECT_EQ(SysStringLen(partial), length);
    const auto* raw = reinterpret_cast<const unsigned char*>(partial);
    EXPECT_EQ(raw[4], 'e');
    for (std::size_t i = 5; i < (length + 1) * sizeof(OLECHAR); ++i) {
        EXPECT_EQ(raw[i], 0) << i;
    }
    SysFreeString(partial);
    BSTR unset = SysAllocStringByteLen(nullptr, 2 * sizeof(OLECHAR));
    ASSERT_NE(unset, nullptr);
    EXPECT_EQ(unset[0], L'\0');
    EXPECT_EQ(unset[1], L'\0');
    EXPECT_EQ(unset[2], L'\0');
    SysFreeString(unset);
}

TEST(automation_test, bstr_realloc_from_its_own_text) {
    const long before = sw::automation::LiveBstrCount();
    BSTR b = SysAllocString(L"hello world");
    ASSERT_TRUE(SysReAllocStringLen(&b, b + 6, 5));
    EXPECT_EQ(std::wstring(b, SysStringLen(b)), L"world");
    ASSERT_TRUE(SysReAllocString(&b, L"x"));
    EXPECT_EQ(SysStringLen(b), 1U);
    SysFreeString(b);
    EXPECT_EQ(sw::automation::LiveBstrCount(), before);
    EXPECT_FALSE(SysReAllocString(nullptr, L"x"));
}
