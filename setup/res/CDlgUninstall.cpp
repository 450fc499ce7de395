#include "setup/res/CDlgUninstall.h"

#include <algorithm>

bool CDlgUninstall::Create() {
    m_nPos = 0;
    return true;
}

void CDlgUninstall::ShowWindow() {}

void CDlgUninstall::DestroyWindow() {}

void CDlgUninstall::SetStatusText(const std::wstring& text) {
    m_strStatus = text;
}

void CDlgUninstall::SetPos(int nPos) {
    m_nPos = std::clamp(nPos, 0, 100);
    m_echo.Show(m_strStatus, m_nPos);
}
