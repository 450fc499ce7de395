#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/calc/engine/Sheet.h"
#include "platform/calc/engine/TextsAhead.h"
#include "platform/calc/engine/TypedInput.h"

namespace calc {
namespace {

constexpr int kYear = 2026;

// Typed texts of every kind, and elements that are not texts.
std::vector<std::optional<std::wstring>> MixedElements(size_t count) {
    const wchar_t* const typed[] = {L"1,234.50", L"12.5%", L"03/12/2026", L"10:45 AM",         L"'0012",
                                    L"Total",    L"",      L"1 1/2",      L"$1,200",           L"1.5E+3",
                                    L"Jan 31",   L" 42 ",  L"'",          L"3/4/2005 10:30 PM"};
    std::vector<std::optional<std::wstring>> out;
    for (size_t i = 0; i < count; ++i) {
        if (i % 7 == 3) {
            out.emplace_back();  // a number or another type
        } else {
            // Distinct texts too, so that a result taken from the wrong element shows.
            const size_t n = std::size(typed);
            out.emplace_back(i % 5 == 0 ? std::to_wstring(i)
                                        : std::wstring(typed[i % n]) + (i % 3 ? L"" : L"x"));
        }
    }
    return out;
}

// Takes every chunk in order as the storing thread does, pausing where
// `pauseEvery` says, and checks each text's conversion against a direct one.
void StoreAll(const std::vector<std::optional<std::wstring>>& items, bool worker, size_t pauseEvery) {
    TextsAhead ahead(
        items.size(),
        [&items](size_t i) -> std::optional<std::wstring_view> {
            return items[i] ? std::optional<std::wstring_view>(*items[i]) : std::nullopt;
        },
        kYear, worker);
    const size_t chunks = (items.size() + TextsAhead::kChunk - 1) / TextsAhead::kChunk;
    for (size_t chunk = 0; chunk < chunks; ++chunk) {
        const TextsAhead::Converted* got = ahead.converted(chunk);
        if (pauseEvery != 0 && chunk % pauseEvery == 0) {
            // The converting thread runs a whole ring ahead meanwhile, and
            // must then wait rather than write over what is read here.
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        for (size_t i = chunk * TextsAhead::kChunk;
             i < std::min(items.size(), (chunk + 1) * TextsAhead::kChunk); ++i) {
            if (!items[i]) {
                continue;
            }
            const std::wstring_view typed = *items[i];
            const TypedValue want = ConvertTypedInput(typed, kYear);
            const TextsAhead::Converted& c = got[i - chunk * TextsAhead::kChunk];
            const TypedValue have = c.in(typed);
            ASSERT_EQ(static_cast<int>(have.kind), static_cast<int>(want.kind)) << "element " << i;
            if (want.kind == InputKind::Text) {
                ASSERT_EQ(have.text, want.text) << "element " << i;
                ASSERT_EQ(have.text.data(), want.text.data()) << "element " << i;
                ASSERT_EQ(c.textHash, Sheet::TextHash(want.text)) << "element " << i;
            } else {
                ASSERT_EQ(have.value, want.value) << "element " << i;
                ASSERT_EQ(have.format, want.format) << "element " << i;
            }
        }
        ahead.stored(chunk);
    }
}

// The storing thread only copies what it is given, so it keeps catching up
// with the worker, converting chunks itself and ahead of it.
TEST(texts_ahead_test, conversions_match_direct_ones_when_the_storing_thread_outruns_the_worker) {
    const auto items = MixedElements(200 * TextsAhead::kChunk + 3);
    for (int round = 0; round < 5; ++round) {
        std::vector<TextsAhead::Converted> all(items.size());
        {
            TextsAhead ahead(
                items.size(),
                [&items](size_t i) -> std::optional<std::wstring_view> {
                    return items[i] ? std::optional<std::wstring_view>(*items[i]) : std::nullopt;
                },
                kYear);
            for (size_t at = 0; at < items.size(); at += TextsAhead::kChunk) {
                const TextsAhead::Converted* got = ahead.converted(at / TextsAhead::kChunk);
                std::copy(got, got + std::min(TextsAhead::kChunk, items.size() - at), all.begin() + at);
                ahead.stored(at / TextsAhead::kChunk);
            }
        }
        for (size_t i = 0; i < items.size(); ++i) {
            if (!items[i]) {
                continue;
            }
            const TypedValue want = ConvertTypedInput(*items[i], kYear);
            const TypedValue have = all[i].in(*items[i]);
            ASSERT_EQ(static_cast<int>(have.kind), static_cast<int>(want.kind)) << "element " << i;
            if (want.kind == InputKind::Text) {
                ASSERT_EQ(have.text, want.text) << "element " << i;
                ASSERT_EQ(all[i].textHash, Sheet::TextHash(want.text)) << "element " << i;
            } else {
                ASSERT_EQ(have.value, want.value) << "element " << i;
                ASSERT_EQ(have.format, want.format) << "element " << i;
            }
        }
    }
}

TEST(texts_ahead_test, conversions_match_direct_ones_when_the_storing_thread_keeps_up) {
    StoreAll(MixedElements(40 * TextsAhead::kChunk + 17), true, 0);
}

TEST(texts_ahead_test, conversions_match_direct_ones_across_ring_turns_when_storing_lags) {
    StoreAll(MixedElements(60 * TextsAhead::kChunk + 5), true, 3);
}

TEST(texts_ahead_test, the_storing_thread_converts_alone_without_a_worker) {
    StoreAll(MixedElements(5 * TextsAhead::kChunk + 1), false, 0);
}

TEST(texts_ahead_test, stopping_before_the_end_leaves_no_thread_waiting) {
    const auto items = MixedElements(80 * TextsAhead::kChunk);
    for (int round = 0; round < 20; ++round) {
        TextsAhead ahead(
            items.size(),
            [&items](size_t i) -> std::optional<std::wstring_view> {
                return items[i] ? std::optional<std::wstring_view>(*items[i]) : std::nullopt;
            },
            kYear);
        for (size_t chunk = 0; chunk < static_cast<size_t>(round); ++chunk) {
            ASSERT_NE(ahead.converted(chunk), nullptr);
            ahead.stored(chunk);
        }
    }  // each destruction must return
}

}  // namespace
}  // namespace calc
