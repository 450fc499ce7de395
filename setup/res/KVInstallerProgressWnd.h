// What the installer's two progress windows share: a status line and a bar
// from 0 to 100, updated by the sequence as it runs on this thread. With
// windows it is a modeless dialog without a close box (the work cannot be
// stopped halfway, so Enter and Escape do nothing); without them each move
// of the bar is one line on standard error.
#pragma once

#include <string>

#include "platform/ui/Controls.h"
#include "platform/ui/Dialog.h"
#include "setup/res/ProgressEcho.h"

class KVInstallerProgressWnd : public CDialog {
public:
    KVInstallerProgressWnd(const KVInstallerProgressWnd&) = delete;
    KVInstallerProgressWnd& operator=(const KVInstallerProgressWnd&) = delete;

    // Creates the window when the program has windows; true either way.
    bool Create();
    BOOL ShowWindow(int nCmdShow = SW_SHOW);
    BOOL DestroyWindow() override;

    // The status line (control 1001).
    void SetStatusText(const std::wstring& text);

    const std::wstring& GetStatusText() const { return m_strStatus; }
    int GetPos() const { return m_nPos; }

protected:
    KVInstallerProgressWnd(unsigned nIDTemplate, unsigned nBarId);

    // Puts the bar at nPos (kept within 0..100).
    void MoveBar(int nPos);

    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;
    void OnOK() override {}
    void OnCancel() override {}

private:
    unsigned m_nBarId;
    CProgressCtrl m_bar;
    std::wstring m_strStatus;
    int m_nPos = 0;
    KVProgressEcho m_echo;
};
