// The small modeless window that shows the phase of a conversion: a
// "Progress:" caption, one status line and a bar from 0 to 100.
//
// Without windows (no display, or -batch) nothing is drawn; when standard
// error is a terminal each status change is written there as one line, so
// someone who started the conversion by hand still sees it move.
#pragma once

#include <cstdio>
#include <string>

#include "platform/ui/Controls.h"
#include "platform/ui/Dialog.h"

class KVProgressDlg : public CDialog {
public:
    static constexpr unsigned msc_nTemplateId = 30001;
    static constexpr unsigned msc_nStatusId = 30002;
    static constexpr unsigned msc_nProgressId = 30003;

    KVProgressDlg();
    KVProgressDlg(const KVProgressDlg&) = delete;
    KVProgressDlg& operator=(const KVProgressDlg&) = delete;

    // Creates the window (modeless, no parent).
    bool Create();
    BOOL ShowWindow(int nCmdShow = SW_SHOW);
    BOOL DestroyWindow() override;
    void SetStatus(const std::wstring& strStatus);
    // Moves the bar by nDelta, within 0..100.
    void OffsetPos(int nDelta);

    const std::wstring& GetStatus() const { return m_strStatus; }
    int GetPos() const { return m_nPos; }
    bool IsVisible() const { return m_bVisible; }

    // Where the status lines go without windows; null (the default) means
    // standard error when it is a terminal and nowhere otherwise.
    static void SetEcho(std::FILE* echo);

protected:
    void DoDataExchange(CDataExchange* pDX) override;

private:
    void Echo() const;

    CProgressCtrl m_progress;
    std::wstring m_strStatus;
    int m_nPos = 0;
    bool m_bCreated = false;
    bool m_bVisible = false;
};
