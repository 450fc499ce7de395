#include "parser/editor/KVNewProfileName.h"

#include "parser/res/Dialogs.h"
#include "parser/res/resource.h"
#include "platform/ui/MessageBox.h"

KVNewProfileName::KVNewProfileName(CWnd* pParent)
    : CDialog(DialogTemplateFor(IDD_NEW_PROFILE_NAME), pParent) {}

void KVNewProfileName::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Text(pDX, IDC_NEW_PROFILE_NAME, m_strProfileName);
}

void KVNewProfileName::OnOK() {
    UpdateData(TRUE);
    if (m_strProfileName.empty()) {
        AfxMessageBox(L"Please enter a profile name.", MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    EndDialog(IDOK);
}
