#include "setup/res/KVPrintDriverInstallerDlg.h"

#include "setup/res/resource.h"

KVPrintDriverInstallerDlg::KVPrintDriverInstallerDlg()
    : KVInstallerProgressWnd(IDD_INSTALLER, IDC_INSTALL_PROGRESS) {}
