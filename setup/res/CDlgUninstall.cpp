#include "setup/res/CDlgUninstall.h"

#include "setup/res/resource.h"

CDlgUninstall::CDlgUninstall() : KVInstallerProgressWnd(IDD_UNINSTALL, IDC_UNINSTALL_PROGRESS) {}

BOOL CDlgUninstall::ShowWindow(int nCmdShow) {
    KVInstallerProgressWnd::ShowWindow(nCmdShow);
    if (m_hWnd != nullptr && nCmdShow != SW_HIDE) {
        SetForegroundWindow();
    }
    return TRUE;
}
