#include "parser/process/KVProgressDlg.h"

#include <unistd.h>

#include <algorithm>

#include "parser/res/Dialogs.h"
#include "platform/shell/Shell.h"
#include "platform/ui/Interactive.h"
#include "platform/ui/UserInterface.h"

namespace {
std::FILE* g_echo = nullptr;
}

KVProgressDlg::KVProgressDlg() : CDialog(DialogTemplateFor(msc_nTemplateId)) {}

void KVProgressDlg::SetEcho(std::FILE* echo) {
    g_echo = echo;
}

void KVProgressDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, static_cast<int>(msc_nProgressId), m_progress);
}

bool KVProgressDlg::Create() {
    m_bCreated = true;
    m_nPos = 0;
    if (sw::ui::IsInteractive()) {
        CDialog::Create(nullptr);
    }
    return true;
}

BOOL KVProgressDlg::ShowWindow(int nCmdShow) {
    m_bVisible = m_bCreated && nCmdShow != SW_HIDE;
    if (m_hWnd != nullptr) {
        CDialog::ShowWindow(nCmdShow);
    }
    return TRUE;
}

BOOL KVProgressDlg::DestroyWindow() {
    m_bVisible = false;
    m_bCreated = false;
    if (m_hWnd != nullptr) {
        CDialog::DestroyWindow();
        sw::ui::PumpWaitingMessages();
    }
    return TRUE;
}

void KVProgressDlg::SetStatus(const std::wstring& strStatus) {
    m_strStatus = strStatus;
    if (m_hWnd == nullptr) {
        Echo();
        return;
    }
    if (CWnd* status = GetDlgItem(static_cast<int>(msc_nStatusId))) {
        status->SetWindowText(m_strStatus.c_str());
    }
    // The conversion runs on this thread: let the window repaint now.
    sw::ui::PumpWaitingMessages();
}

void KVProgressDlg::OffsetPos(int nDelta) {
    m_nPos = std::clamp(m_nPos + nDelta, 0, 100);
    if (m_hWnd != nullptr) {
        m_progress.SetPos(m_nPos);
        sw::ui::PumpWaitingMessages();
    }
}

void KVProgressDlg::Echo() const {
    std::FILE* out = g_echo;
    if (!out) {
        if (!isatty(STDERR_FILENO)) {
            return;
        }
        out = stderr;
    }
    std::fprintf(out, "Progress: %3d%% %s\n", m_nPos, sw::shell::ToNarrow(m_strStatus).c_str());
    std::fflush(out);
}
