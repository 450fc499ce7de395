#include <gtest/gtest.h>

#include <cwchar>

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
