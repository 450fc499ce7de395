#include "monitor/progress/KVPipeReader.h"

#include <vector>

#include "platform/spooler/WinSpool.h"
#include "platform/vendor/PrinterSettings.h"

bool KVPipeReader::BuildPipeName(std::wstring* pipeName, std::string* error) const {
    HANDLE printer = nullptr;
    PRINTER_DEFAULTSW defaults{nullptr, nullptr, PRINTER_ALL_ACCESS};
    if (OpenPrinterW(m_strPrinterName.c_str(), &printer, &defaults) == FALSE) {
        *error = std::string("the printer cannot be opened: ") + SpoolerLastErrorText();
        return false;
    }
    bool ok = false;
    const LONG size = DocumentPropertiesW(nullptr, printer, m_strPrinterName.c_str(), nullptr, nullptr, 0);
    if (size >= static_cast<LONG>(sw::vendor::kDevModeSize)) {
        std::vector<std::uint8_t> devMode(static_cast<std::size_t>(size));
        if (DocumentPropertiesW(nullptr, printer, m_strPrinterName.c_str(),
                                reinterpret_cast<PDEVMODEW>(devMode.data()), nullptr,
                                DM_OUT_BUFFER) == IDOK) {
            *pipeName = L"\\\\.\\pipe\\" + sw::vendor::DevModePipeName(devMode.data());
            ok = true;
        }
    }
    if (!ok) {
        *error = std::string("the printer's settings cannot be read: ") + SpoolerLastErrorText();
    }
    ClosePrinter(printer);
    return ok;
}

bool KVPipeReader::Start(std::string* error) {
    std::wstring pipeName;
    if (!BuildPipeName(&pipeName, error)) {
        return false;
    }
    auto capture = sw::vendor::JobMessageCapture::Start(pipeName, error);
    if (!capture) {
        return false;
    }
    capture->SetOptions(sw::vendor::JobMessageCapture::kAllMessages);
    m_capture = std::move(capture);
    return true;
}

void KVPipeReader::Stop() {
    m_capture.reset();
}

int KVPipeReader::Descriptor() const {
    return m_capture ? m_capture->Descriptor() : -1;
}

std::vector<sw::vendor::CapturedJobMessage> KVPipeReader::Read() {
    return m_capture ? m_capture->ReadMessages() : std::vector<sw::vendor::CapturedJobMessage>{};
}
