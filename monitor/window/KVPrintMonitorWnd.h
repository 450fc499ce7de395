// The progress window's handling of its messages, whatever draws it: window
// creation (the pipe name, then capture), the driver's job messages, the
// capture commands, Cancel and closing. It keeps the model current and tells
// the view after each change.
#pragma once

#include <string>

#include "monitor/progress/KVJobProgress.h"
#include "monitor/progress/KVPipeReader.h"
#include "monitor/window/KVProgressView.h"

class KVPrintMonitorWnd {
public:
    static constexpr unsigned msc_nJobMessage = 2024;  // WM_USER + 1000
    static constexpr unsigned msc_nStartCapture = 40013;
    static constexpr unsigned msc_nStopCapture = 40014;
    static constexpr const wchar_t* msc_sPrinterName = L"Sheetwise Print Driver";

    KVPrintMonitorWnd(KVJobProgress::Printer& printer, KVProgressView& view,
                      std::wstring printerName = msc_sPrinterName)
        : m_progress(printer), m_view(view), m_reader(std::move(printerName)) {
        m_view.Attach(*this);
    }

    // Window creation: capture on the printer's pipe. -1, with the reason,
    // when the pipe cannot be named or listened on (the window is not made).
    int OnCreate(std::string* error);
    // WM_COMMAND: 40013 starts capture again as at creation, 40014 stops it.
    // -1 when the pipe cannot be named; 0 otherwise.
    int OnCommand(unsigned id, std::string* error);
    void OnJobMessage(const sw::vendor::JobMessageRecord& record,
                      const sw::vendor::PageValues* sentWith = nullptr);
    void OnCancel();
    void OnClose();
    void OnQuit();

    // Hands every record that has arrived to OnJobMessage, one at a time.
    void DispatchWaitingMessages();

    const KVJobProgress& GetProgress() const { return m_progress; }
    KVPipeReader& GetReader() { return m_reader; }
    KVProgressView& GetView() { return m_view; }

private:
    KVJobProgress m_progress;
    KVProgressView& m_view;
    KVPipeReader m_reader;
};
