// The printer text of a long job, kept on disk while the job is read: each
// page's runs go to an unnamed file as they come, and only their boxes stay
// in memory for the column keys. Once the keys are known the text file is
// written from the spool, so memory grows by a few bytes a run, not by the
// job's text.
#pragma once

#include <cstdint>
#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

#include "driver/layout/TextLayout.h"

namespace sw::driver {

class PrinterTextSpool {
public:
    PrinterTextSpool() = default;
    ~PrinterTextSpool();
    PrinterTextSpool(const PrinterTextSpool&) = delete;
    PrinterTextSpool& operator=(const PrinterTextSpool&) = delete;

    // An unnamed file in `folder` (or a removed temporary one); false with a reason.
    bool Open(const std::string& folder, std::string* error);
    // Spools a page's lines; false with a reason when the spool cannot grow.
    bool AddPage(const PageLayout& page, double unitsPerPoint, std::string* error);
    const std::vector<RunBox>& Boxes() const { return boxes_; }
    std::uint64_t Bytes() const { return bytes_; }
    // Writes the printer text with the keys (one per box, in order);
    // returns the lines written, or false with a reason.
    bool Write(std::ostream& out, const std::vector<std::int64_t>& keys, std::size_t* lines,
               std::string* error);

private:
    std::FILE* file_ = nullptr;
    std::vector<RunBox> boxes_;
    std::uint32_t line_ = 0;
    std::uint64_t bytes_ = 0;
};

}  // namespace sw::driver
