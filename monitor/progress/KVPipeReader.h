// The monitor's capture of the driver's job messages: the pipe named in the
// printer's default settings, "\\.\pipe\%s", listened on through the
// vendor's message capture. GUI-free: the wait loop polls Descriptor() and
// hands each record Read() gives to the window in order.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/vendor/JobMessage.h"
#include "platform/vendor/MessagePipe.h"

class KVPipeReader {
public:
    explicit KVPipeReader(std::wstring printerName) : m_strPrinterName(std::move(printerName)) {}

    // The pipe's name, from the text at byte 1852 of the printer's default
    // settings. False, with the reason, when the printer cannot be opened or
    // its settings cannot be read.
    bool BuildPipeName(std::wstring* pipeName, std::string* error) const;

    // Starts capture on the pipe (again, when it runs) with all message
    // types delivered. False with the reason when it cannot.
    bool Start(std::string* error);
    // Stops capture; the pipe is gone until the next Start.
    void Stop();
    bool IsCapturing() const { return m_capture != nullptr; }

    // Readable when records wait; -1 while stopped.
    int Descriptor() const;
    // Every whole record that has arrived, in order, with the page values
    // it was sent with; none while stopped.
    std::vector<sw::vendor::CapturedJobMessage> Read();

private:
    std::wstring m_strPrinterName;
    std::unique_ptr<sw::vendor::JobMessageCapture> m_capture;
};
