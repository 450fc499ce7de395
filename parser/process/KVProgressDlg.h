// The small modeless window that shows the phase of a conversion: a
// "Progress:" caption, one status line and a bar from 0 to 100.
//
// Without a display the window is not drawn; when standard error is a
// terminal each status change is written there as one line, so someone who
// started the conversion by hand still sees it move.
#pragma once

#include <cstdio>
#include <string>

class KVProgressDlg {
public:
    static constexpr unsigned msc_nTemplateId = 30001;
    static constexpr unsigned msc_nStatusId = 30002;
    static constexpr unsigned msc_nProgressId = 30003;

    KVProgressDlg() = default;
    KVProgressDlg(const KVProgressDlg&) = delete;
    KVProgressDlg& operator=(const KVProgressDlg&) = delete;
    virtual ~KVProgressDlg() = default;

    // Creates the window (modeless, no parent) and shows it.
    bool Create();
    void ShowWindow();
    void DestroyWindow();
    void SetStatus(const std::wstring& strStatus);
    // Moves the bar by nDelta, within 0..100.
    void OffsetPos(int nDelta);

    const std::wstring& GetStatus() const { return m_strStatus; }
    int GetPos() const { return m_nPos; }
    bool IsVisible() const { return m_bVisible; }

    // Where the status lines go; null (the default) means standard error when
    // it is a terminal and nowhere otherwise.
    static void SetEcho(std::FILE* echo);

private:
    void Echo() const;

    std::wstring m_strStatus;
    int m_nPos = 0;
    bool m_bCreated = false;
    bool m_bVisible = false;
};
