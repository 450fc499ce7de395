#include "platform/vendor/JobControl.h"

#include "platform/spooler/WinSpool.h"

namespace sw::vendor {

bool ControlPrinterJob(const std::wstring& printerName, std::uint32_t jobId, std::uint32_t command,
                       std::string* error) {
    HANDLE printer = nullptr;
    BOOL ok = OpenPrinterW(printerName.c_str(), &printer, nullptr);
    if (ok != FALSE) {
        ok = SetJobW(printer, jobId, 0, nullptr, command);
    }
    if (ok == FALSE && error != nullptr) {
        *error =
            std::string(SpoolerLastErrorText()) + " (error " + std::to_string(SpoolerGetLastError()) + ")";
    }
    if (printer != nullptr) {
        ClosePrinter(printer);
    }
    return ok != FALSE;
}

}  // namespace sw::vendor
