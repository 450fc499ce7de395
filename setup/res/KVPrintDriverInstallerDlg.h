// The installation progress window: a status line and a bar from 0 to 100
// that each install step moves by its share.
#pragma once

#include <string>

#include "setup/res/ProgressEcho.h"

class KVPrintDriverInstallerDlg {
public:
    static constexpr const wchar_t* msc_sCaption = L"Sheetwise Print Driver Installation";

    KVPrintDriverInstallerDlg() = default;
    KVPrintDriverInstallerDlg(const KVPrintDriverInstallerDlg&) = delete;
    KVPrintDriverInstallerDlg& operator=(const KVPrintDriverInstallerDlg&) = delete;

    bool Create();
    void ShowWindow();
    void DestroyWindow();

    // The status text (control 1001).
    void SetStatusText(const std::wstring& text);
    // The bar (control 1005): the step, then one step forward.
    void SetStep(int nStep) { m_nStep = nStep; }
    void StepIt();

    const std::wstring& GetStatusText() const { return m_strStatus; }
    int GetPos() const { return m_nPos; }

private:
    std::wstring m_strStatus = L"Installation Progress:";
    int m_nStep = 10;
    int m_nPos = 0;
    KVProgressEcho m_echo{L"Installation Progress:"};
};
