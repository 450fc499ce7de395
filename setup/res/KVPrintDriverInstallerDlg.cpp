#include "setup/res/KVPrintDriverInstallerDlg.h"

#include <algorithm>

bool KVPrintDriverInstallerDlg::Create() {
    m_nPos = 0;
    return true;
}

void KVPrintDriverInstallerDlg::ShowWindow() {}

void KVPrintDriverInstallerDlg::DestroyWindow() {}

void KVPrintDriverInstallerDlg::SetStatusText(const std::wstring& text) {
    m_strStatus = text;
}

void KVPrintDriverInstallerDlg::StepIt() {
    m_nPos = std::clamp(m_nPos + m_nStep, 0, 100);
    m_echo.Show(m_strStatus, m_nPos);
}
