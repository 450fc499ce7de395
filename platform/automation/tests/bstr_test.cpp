#include <gtest/gtest.h>

#include <atomic>
#include <cwchar>
#include <string>
#include <thread>
#include <utility>
#include <vector>

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

namespace {

// A text of `length` characters that differs from string to string.
std::wstring Pattern(std::size_t seed, UINT length) {
    std::wstring text(length, L' ');
    for (UINT i = 0; i < length; ++i) {
        text[i] = static_cast<wchar_t>(L'!' + (seed * 31 + i * 7) % 90);
    }
    return text;
}

}  // namespace

TEST(automation_test, bstr_many_strings_of_every_short_length_keep_their_texts) {
    const long before = sw::automation::LiveBstrCount();
    // Lengths from none to past the longest kept with its equals, a few
    // thousand of each, freed in an order unlike the one they were made in
    // while new ones are made in the room the freed ones leave.
    std::vector<std::pair<BSTR, std::wstring>> held;
    std::size_t seed = 0;
    auto make = [&](UINT length) {
        std::wstring text = Pattern(++seed, length);
        BSTR b = SysAllocStringLen(text.data(), length);
        ASSERT_NE(b, nullptr);
        held.emplace_back(b, std::move(text));
    };
    for (int round = 0; round < 40; ++round) {
        for (UINT length = 0; length <= 80; ++length) {
            make(length);
        }
    }
    for (std::size_t i = 0; i < held.size(); i += 3) {
        SysFreeString(held[i].first);
        held[i].first = nullptr;
    }
    for (UINT length = 80; length-- > 0;) {
        make(length);
        make(length / 2);
    }
    for (const auto& [b, text] : held) {
        if (b != nullptr) {
            ASSERT_EQ(SysStringLen(b), text.size());
            ASSERT_EQ(std::wstring(b, SysStringLen(b)), text);
            ASSERT_EQ(b[text.size()], L'\0');
        }
    }
    for (auto& [b, text] : held) {
        SysFreeString(b);
    }
    EXPECT_EQ(sw::automation::LiveBstrCount(), before);
}

TEST(automation_test, bstr_made_on_one_thread_can_be_freed_on_another) {
    const long before = sw::automation::LiveBstrCount();
    constexpr int kStrings = 20000;
    std::vector<BSTR> made(kStrings, nullptr);
    std::atomic<int> ready{0};
    std::atomic<bool> intact{true};
    // One thread makes strings while another frees those already made and
    // makes and checks strings of its own.
    std::thread maker([&] {
        for (int i = 0; i < kStrings; ++i) {
            const std::wstring text = Pattern(static_cast<std::size_t>(i), static_cast<UINT>(i % 50));
            made[static_cast<std::size_t>(i)] =
                SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
            ready.store(i + 1, std::memory_order_release);
        }
    });
    std::thread freer([&] {
        for (int i = 0; i < kStrings; ++i) {
            while (ready.load(std::memory_order_acquire) <= i) {
                std::this_thread::yield();
            }
            BSTR b = made[static_cast<std::size_t>(i)];
            const std::wstring text = Pattern(static_cast<std::size_t>(i), static_cast<UINT>(i % 50));
            if (b == nullptr || std::wstring(b, SysStringLen(b)) != text) {
                intact = false;
            }
            SysFreeString(b);
            BSTR own = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
            if (own == nullptr || std::wstring(own, SysStringLen(own)) != text) {
                intact = false;
            }
            SysFreeString(own);
        }
    });
    maker.join();
    freer.join();
    EXPECT_TRUE(intact);
    EXPECT_EQ(sw::automation::LiveBstrCount(), before);
}
