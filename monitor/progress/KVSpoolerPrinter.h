// The printer side of the monitor on the real spooler and the vendor's
// settings and job control.
#pragma once

#include <functional>
#include <string>

#include "monitor/progress/KVJobProgress.h"

class KVSpoolerPrinter : public KVJobProgress::Printer {
public:
    // `note` hears of what the monitor did to the queue and why it failed.
    explicit KVSpoolerPrinter(std::function<void(const std::string&)> note) : m_note(std::move(note)) {}

    sw::vendor::PageValues GetCurrentSettings(const std::wstring& printerName) override;
    void DeleteQueuedJob(const std::wstring& documentName, const std::wstring& printerName) override;

private:
    std::function<void(const std::string&)> m_note;
};
