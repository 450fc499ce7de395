// The shared strings of an .xlsx workbook: each distinct text once, in the
// order first met, numbered for the cells that show it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/calc/io/KnownTexts.h"
#include "platform/calc/io/SheetView.h"
#include "platform/calc/io/TextIndex.h"

namespace calc::io {

class XlsxSharedStrings {
public:
    // Starts the cells of a sheet that numbers up to `textNumbers` texts.
    void beginSheet(uint32_t textNumbers);

    // The string number of a text cell's text (a non-empty one), or kTooLong
    // for a text longer than a cell holds (32,767 UTF-16 units).
    uint32_t indexOf(const CellRef& cell);
    static constexpr uint32_t kTooLong = UINT32_MAX;

    // xl/sharedStrings.xml in two pieces: the opening tag (which counts the
    // strings) and the strings themselves.
    std::string head() const;
    const std::string& body() const { return body_; }

private:
    std::unique_ptr<KnownTexts> sheetTexts_;
    TextIndex byContent_;        // over the escaped texts in body_
    std::vector<size_t> start_;  // where each string's escaped text begins in body_, and ends
    std::vector<size_t> end_;
    std::string body_;
    uint64_t references_ = 0;
};

}  // namespace calc::io
