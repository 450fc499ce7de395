#include "monitor/progress/KVSpoolerPrinter.h"

#include <vector>

#include "platform/base/TextCodec.h"
#include "platform/spooler/WinSpool.h"
#include "platform/vendor/JobControl.h"

namespace {

// A spooler call's buffer: asked for its size first, then filled.
template <typename Call>
bool Fill(std::vector<BYTE>& buffer, Call call) {
    DWORD needed = 0;
    if (call(nullptr, 0, &needed) != FALSE) {
        buffer.clear();
        return true;
    }
    if (SpoolerGetLastError() != ERROR_INSUFFICIENT_BUFFER || needed == 0) {
        return false;
    }
    buffer.assign(needed, 0);
    return call(buffer.data(), needed, &needed) != FALSE;
}

}  // namespace

sw::vendor::PageValues KVSpoolerPrinter::GetCurrentSettings(const std::wstring& printerName) {
    std::vector<std::uint8_t> devMode(sw::vendor::kDevModeSize);
    sw::vendor::PageValues values;
    if (sw::vendor::GetPrinterCurrentSettings(printerName, 0, devMode.data(), devMode.size())) {
        values.n = sw::vendor::DevModeValue(devMode.data(), sw::vendor::kDevModeNOffset);
        values.f = sw::vendor::DevModeValue(devMode.data(), sw::vendor::kDevModeFOffset);
    }
    return values;
}

void KVSpoolerPrinter::DeleteQueuedJob(const std::wstring& documentName, const std::wstring& printerName) {
    const std::string what = "\"" + sw::base::ToUtf8(documentName) + "\" on " + sw::base::ToUtf8(printerName);
    HANDLE printer = nullptr;
    PRINTER_DEFAULTSW defaults{nullptr, nullptr, PRINTER_ALL_ACCESS};
    if (OpenPrinterW(printerName.c_str(), &printer, &defaults) == FALSE) {
        m_note("cannot delete the job " + what + ": " + SpoolerLastErrorText());
        return;
    }
    std::vector<BYTE> info;
    std::vector<BYTE> jobs;
    DWORD count = 0;
    const bool listed =
        Fill(info, [&](LPBYTE b, DWORD size,
                       LPDWORD needed) { return GetPrinterW(printer, 2, b, size, needed); }) &&
        !info.empty() && Fill(jobs, [&](LPBYTE b, DWORD size, LPDWORD needed) {
            return EnumJobsW(printer, 0, reinterpret_cast<const PRINTER_INFO_2W*>(info.data())->cJobs, 2, b,
                             size, needed, &count);
        });
    ClosePrinter(printer);
    if (!listed) {
        m_note("cannot list the jobs of " + sw::base::ToUtf8(printerName) + ": " + SpoolerLastErrorText());
        return;
    }
    const auto* entries = reinterpret_cast<const JOB_INFO_2W*>(jobs.data());
    for (DWORD i = 0; i < count; ++i) {
        const std::wstring document = entries[i].pDocument != nullptr ? entries[i].pDocument : L"";
        const std::wstring onPrinter = entries[i].pPrinterName != nullptr ? entries[i].pPrinterName : L"";
        if (KVJobProgress::SameName(document, documentName) &&
            KVJobProgress::SameName(onPrinter, printerName)) {
            std::string error;
            if (sw::vendor::ControlPrinterJob(printerName, entries[i].JobId, sw::vendor::kJobControlDelete,
                                              &error)) {
                m_note("deleted job " + std::to_string(entries[i].JobId) + " " + what +
                       ", which still reported after the end");
            } else {
                std::string note = "cannot delete job " + std::to_string(entries[i].JobId);
                note += " " + what;
                note += ": " + error;
                m_note(note);
            }
            return;
        }
    }
}
