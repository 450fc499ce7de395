// The progress window on the desktop: caption "Sheetwise Print Monitor",
// the status text (1049), the progress bar (30003) and Cancel, laid out as
// the monitor's dialog template gives them; modeless, without a system menu.
// It only shows the model (KVJobProgress) and passes the user's actions to
// the window's handling (KVPrintMonitorWnd).
#pragma once

#include <string>

#include "monitor/window/KVProgressView.h"
#include "platform/ui/Controls.h"
#include "platform/ui/Dialog.h"

class KVPrintMonitorDlg : public CDialog, public KVProgressView {
public:
    static constexpr unsigned msc_nTemplateId = 30000;
    static constexpr int msc_nStatusId = 1049;
    static constexpr int msc_nProgressId = 30003;
    static constexpr const wchar_t* msc_sCaption = L"Sheetwise Print Monitor";

    KVPrintMonitorDlg();

    void Attach(KVPrintMonitorWnd& wnd) override { m_pWnd = &wnd; }
    void Show(const KVJobProgress& progress) override;
    void Update(const KVJobProgress& progress) override;
    void Pump(int descriptor, int timeoutMs) override;
    void Destroy() override;

    void OnCancel() override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;

protected:
    void DoDataExchange(CDataExchange* pDX) override;

private:
    KVPrintMonitorWnd* m_pWnd = nullptr;
    CProgressCtrl m_progress;
    CString m_strStatus;
};
