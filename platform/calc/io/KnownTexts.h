// Where a writer finds the shared string of a text cell it has seen before:
// by the text's number when the sheet numbers its texts, else by its address.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/calc/io/SheetView.h"

namespace calc::io {

// The shared-string index of each text a sheet has handed over, by the text's
// address: a sheet keeps each text once, so a repeated text costs one probe
// and its characters are not read again.
class TextIndexByAddress {
public:
    // False when the address is new.
    bool find(const std::wstring* text, uint32_t* index) const {
        if (slots_.empty()) {
            return false;
        }
        for (size_t i = slotOf(text);; i = (i + 1) & (slots_.size() - 1)) {
            if (slots_[i].text == text) {
                *index = slots_[i].index;
                return true;
            }
            if (!slots_[i].text) {
                return false;
            }
        }
    }
    void add(const std::wstring* text, uint32_t index) {
        if ((used_ + 1) * 2 > slots_.size()) {
            std::vector<Slot> old = std::move(slots_);
            slots_.assign(std::max<size_t>(1024, old.size() * 2), Slot{});
            for (const Slot& s : old) {
                if (s.text) {
                    place(s);
                }
            }
        }
        place(Slot{text, index});
        ++used_;
    }

private:
    struct Slot {
        const std::wstring* text = nullptr;
        uint32_t index = 0;
    };
    size_t slotOf(const std::wstring* text) const {
        const auto bits = reinterpret_cast<uintptr_t>(text);
        return static_cast<size_t>((bits * 0x9E3779B97F4A7C15ULL) >> 32) & (slots_.size() - 1);
    }
    void place(const Slot& s) {
        size_t i = slotOf(s.text);
        while (slots_[i].text) {
            i = (i + 1) & (slots_.size() - 1);
        }
        slots_[i] = s;
    }
    std::vector<Slot> slots_;
    size_t used_ = 0;
};

// The shared-string index of each text a sheet has handed over: by the
// text's number when the sheet numbers its texts, a plain table the size of
// its string pool (a probe of the address table missed the cache at nearly
// every label), else by the text's address.
class KnownTexts {
public:
    explicit KnownTexts(uint32_t numbers) : byNumber_(numbers, kUnknown) {}

    // False when the text is new.
    bool find(const CellRef& cell, uint32_t* index) const {
        if (cell.textNumber < byNumber_.size()) {
            *index = byNumber_[cell.textNumber];
            return *index != kUnknown;
        }
        return cell.text && byAddress_.find(cell.text, index);
    }
    void add(const CellRef& cell, uint32_t index) {
        if (cell.textNumber < byNumber_.size()) {
            byNumber_[cell.textNumber] = index;
        } else if (cell.text) {
            byAddress_.add(cell.text, index);
        }
    }

private:
    static constexpr uint32_t kUnknown = UINT32_MAX;
    std::vector<uint32_t> byNumber_;
    TextIndexByAddress byAddress_;
};

}  // namespace calc::io
