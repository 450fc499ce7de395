// The uninstall progress window: a status line and a bar whose position
// the uninstall sets outright.
#pragma once

#include <string>

#include "setup/res/ProgressEcho.h"

class CDlgUninstall {
public:
    static constexpr const wchar_t* msc_sCaption = L"Sheetwise Print Driver Uninstall";

    CDlgUninstall() = default;
    CDlgUninstall(const CDlgUninstall&) = delete;
    CDlgUninstall& operator=(const CDlgUninstall&) = delete;

    bool Create();
    void ShowWindow();
    void DestroyWindow();

    void SetStatusText(const std::wstring& text);  // control 1001
    void SetPos(int nPos);                         // control 1000, 0..100

    const std::wstring& GetStatusText() const { return m_strStatus; }
    int GetPos() const { return m_nPos; }

private:
    std::wstring m_strStatus = L"Uninstallation Progress:";
    int m_nPos = 0;
    KVProgressEcho m_echo{L"Uninstallation Progress:"};
};
