#include "monitor/window/KVPrintMonitorWnd.h"

int KVPrintMonitorWnd::OnCreate(std::string* error) {
    return m_reader.Start(error) ? 0 : -1;
}

int KVPrintMonitorWnd::OnCommand(unsigned id, std::string* error) {
    if (id == msc_nStartCapture) {
        return m_reader.Start(error) ? 0 : -1;
    }
    if (id == msc_nStopCapture) {
        std::wstring pipeName;
        if (!m_reader.BuildPipeName(&pipeName, error)) {
            return -1;
        }
        m_reader.Stop();
    }
    return 0;
}

void KVPrintMonitorWnd::OnJobMessage(const sw::vendor::JobMessageRecord& record,
                                     const sw::vendor::PageValues* sentWith) {
    m_progress.OnJobMessage(record, sentWith);
    m_view.Update(m_progress);
}

void KVPrintMonitorWnd::OnCancel() {
    m_progress.OnCancel();
    m_view.Update(m_progress);
}

void KVPrintMonitorWnd::OnClose() {
    m_progress.OnClose();
    m_view.Update(m_progress);
}

void KVPrintMonitorWnd::OnQuit() {
    m_progress.OnQuit();
}

void KVPrintMonitorWnd::DispatchWaitingMessages() {
    for (const auto& message : m_reader.Read()) {
        OnJobMessage(message.record, &message.values);
    }
}
