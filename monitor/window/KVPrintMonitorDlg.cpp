#include "monitor/window/KVPrintMonitorDlg.h"

#include <poll.h>

#include <algorithm>
#include <chrono>

#include "monitor/window/KVPrintMonitorWnd.h"
#include "monitor/window/KVStatusLines.h"
#include "platform/ui/Interactive.h"
#include "platform/ui/UserInterface.h"

namespace {

// How often waiting lets the window repaint and take the user's clicks.
constexpr int kSliceMs = 15;
// The bar's range is a short; longer jobs are drawn to scale.
constexpr int kMaxBarRange = 32767;

sw::ui::DialogTemplate PrintMonitorTemplate() {
    using sw::ui::ControlKind;
    sw::ui::DialogTemplate t;
    t.id = KVPrintMonitorDlg::msc_nTemplateId;
    t.caption = KVPrintMonitorDlg::msc_sCaption;
    t.cx = 300;
    t.cy = 65;
    t.style = WS_POPUP | WS_CAPTION | DS_MODALFRAME | DS_CENTER;
    t.exStyle = WS_EX_APPWINDOW;
    t.items = {
        {ControlKind::Static, KVPrintMonitorDlg::msc_nStatusId, KVJobProgress::msc_sWaiting, 3, 5, 291, 16,
         SS_LEFT},
        {ControlKind::Progress, KVPrintMonitorDlg::msc_nProgressId, L"", 3, 27, 291, 11, 0},
        {ControlKind::Button, IDCANCEL, L"Cancel", 125, 45, 50, 14, WS_TABSTOP | BS_DEFPUSHBUTTON},
    };
    return t;
}

}  // namespace

std::unique_ptr<KVProgressView> CreateProgressView() {
    if (sw::ui::IsInteractive()) {
        return std::make_unique<KVPrintMonitorDlg>();
    }
    return std::make_unique<KVStatusLines>(stderr);
}

KVPrintMonitorDlg::KVPrintMonitorDlg() : CDialog(PrintMonitorTemplate()) {}

void KVPrintMonitorDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Text(pDX, msc_nStatusId, m_strStatus);
    DDX_Control(pDX, msc_nProgressId, m_progress);
}

void KVPrintMonitorDlg::Show(const KVJobProgress& progress) {
    Create(nullptr);
    ShowWindow(SW_SHOW);
    Update(progress);
}

void KVPrintMonitorDlg::Update(const KVJobProgress& progress) {
    if (m_hWnd == nullptr) {
        return;
    }
    m_strStatus = progress.GetShownStatus();
    UpdateData(FALSE);
    const KVProgressBarState& bar = progress.GetBar();
    const int span = std::max(bar.upper - bar.lower, 1);
    const int range = std::min(span, kMaxBarRange);
    m_progress.SetRange(0, static_cast<short>(range));
    m_progress.SetPos(static_cast<int>(static_cast<long long>(bar.pos - bar.lower) * range / span));
    sw::ui::PumpWaitingMessages();
}

void KVPrintMonitorDlg::Pump(int descriptor, int timeoutMs) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    do {
        sw::ui::PumpWaitingMessages();
        pollfd p{descriptor, POLLIN, 0};
        if (::poll(&p, descriptor >= 0 ? 1 : 0, kSliceMs) > 0) {
            return;
        }
    } while (std::chrono::steady_clock::now() < until &&
             (m_pWnd == nullptr || !m_pWnd->GetProgress().IsFinished()));
}

void KVPrintMonitorDlg::Destroy() {
    if (m_hWnd != nullptr) {
        DestroyWindow();
        sw::ui::PumpWaitingMessages();
    }
}

void KVPrintMonitorDlg::OnCancel() {
    if (m_pWnd != nullptr) {
        m_pWnd->OnCancel();
    }
    CDialog::OnCancel();
}

BOOL KVPrintMonitorDlg::OnCommand(WPARAM wParam, LPARAM lParam) {
    const unsigned id = LOWORD(wParam);
    if (m_pWnd != nullptr &&
        (id == KVPrintMonitorWnd::msc_nStartCapture || id == KVPrintMonitorWnd::msc_nStopCapture)) {
        std::string error;
        m_pWnd->OnCommand(id, &error);
        return TRUE;
    }
    return CDialog::OnCommand(wParam, lParam);
}
