#include "setup/res/KVInstallerProgressWnd.h"

#include <algorithm>

#include "platform/ui/Interactive.h"
#include "platform/ui/UserInterface.h"
#include "setup/res/Dialogs.h"
#include "setup/res/resource.h"

KVInstallerProgressWnd::KVInstallerProgressWnd(unsigned nIDTemplate, unsigned nBarId)
    : CDialog(InstallerDialogTemplate(nIDTemplate)),
      m_nBarId(nBarId),
      m_strStatus(GetTemplate().items.front().text),
      m_echo(m_strStatus) {}

bool KVInstallerProgressWnd::Create() {
    m_nPos = 0;
    if (sw::ui::IsInteractive() && m_hWnd == nullptr) {
        CDialog::Create(nullptr);
    }
    return true;
}

BOOL KVInstallerProgressWnd::ShowWindow(int nCmdShow) {
    if (m_hWnd != nullptr) {
        CDialog::ShowWindow(nCmdShow);
        sw::ui::PumpWaitingMessages();
    }
    return TRUE;
}

BOOL KVInstallerProgressWnd::DestroyWindow() {
    if (m_hWnd != nullptr) {
        CDialog::DestroyWindow();
        sw::ui::PumpWaitingMessages();
    }
    return TRUE;
}

BOOL KVInstallerProgressWnd::OnInitDialog() {
    CDialog::OnInitDialog();
    m_bar.SetRange(0, 100);
    m_bar.SetPos(m_nPos);
    return TRUE;
}

void KVInstallerProgressWnd::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, static_cast<int>(m_nBarId), m_bar);
}

void KVInstallerProgressWnd::SetStatusText(const std::wstring& text) {
    m_strStatus = text;
    if (m_hWnd == nullptr) {
        return;
    }
    if (CWnd* status = GetDlgItem(static_cast<int>(IDC_STATUS_TEXT))) {
        status->SetWindowText(m_strStatus.c_str());
    }
    // The sequence runs on this thread: let the window repaint now.
    sw::ui::PumpWaitingMessages();
}

void KVInstallerProgressWnd::MoveBar(int nPos) {
    m_nPos = std::clamp(nPos, 0, 100);
    if (m_hWnd == nullptr) {
        m_echo.Show(m_strStatus, m_nPos);
        return;
    }
    m_bar.SetPos(m_nPos);
    sw::ui::PumpWaitingMessages();
}
