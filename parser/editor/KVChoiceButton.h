// A push button that drops down a menu of choices and tells its parent which
// one was picked: the parent gets BN_CLICKED and reads GetCurrentChoice().
#pragma once

#include "platform/ui/Controls.h"
#include "platform/ui/Gdi.h"
#include "platform/ui/Menu.h"

class KVChoiceButton : public CButton {
public:
    // The entry at position p carries the command msc_nFirstCommand + p.
    static constexpr UINT msc_nFirstCommand = 9216;

    KVChoiceButton();

    // Appends a choice; the first one added to an empty menu becomes the
    // current choice. The new position, -1 when it cannot be appended.
    int AddItem(LPCTSTR lpszText);
    void AddSeparator();
    void DeleteItem(int nPosition);
    void EnableItem(int nPosition, BOOL bEnable);
    int GetItemCount() const;
    int GetCurrentChoice() const { return m_nCurrentChoice; }
    // Only an entry with text can become the current choice.
    void SetCurrentChoice(int nPosition);

    const CMenu& GetMenu() const { return m_menu; }
    bool IsMenuOpen() const { return m_bMenuOpen; }

protected:
    void PreSubclassWindow() override;
    void DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct) override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnLButtonDown(UINT nFlags, CPoint point) override;
    void OnLButtonDblClk(UINT nFlags, CPoint point) override;
    void OnLButtonUp(UINT nFlags, CPoint point) override;
    void OnKeyUp(UINT nChar, UINT nRepCnt, UINT nFlags) override;
    void OnSysKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags) override;
    void OnSetFocus(CWnd* pOldWnd) override;
    void OnKillFocus(CWnd* pNewWnd) override;

private:
    static constexpr int msc_nPressedOffset = 1;
    static constexpr int msc_nArrowWidth = 20;

    void NotifyParent();
    void DrawArrow(CDC* pDC, CPoint centre, bool bDisabled);

    CMenu m_menu;
    bool m_bMenuActive = false;
    int m_nCurrentChoice = -1;
    bool m_bPressed = false;
    bool m_bMenuOpen = false;
    bool m_bHasFocus = false;
    bool m_bDefaultLook = false;
    bool m_bDefaultState = false;
    CRect m_rcWindow;
    CRect m_rcItem;
    CRect m_rcDrop;
};
