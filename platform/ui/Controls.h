// The standard controls of dialogs: buttons, edits, labels, drop-down lists,
// list boxes and progress bars. Each object acts on the window it is attached
// to (through a dialog template or SubclassDlgItem); list entries keep their
// attached values in the window, so any object attached to it sees them.
#pragma once

#include "platform/ui/Wnd.h"

inline constexpr int CB_ERR = -1;
inline constexpr int LB_ERR = -1;
inline constexpr int BST_UNCHECKED = 0;
inline constexpr int BST_CHECKED = 1;
inline constexpr UINT BST_PUSHED = 0x0004U;
inline constexpr UINT BST_FOCUS = 0x0008U;

class CButton : public CWnd {
public:
    int GetCheck() const;
    void SetCheck(int nCheck);
    // BST_PUSHED while pushed, BST_FOCUS while focused.
    UINT GetState() const;
    // Pushes or releases the button (BM_SETSTATE).
    void SetState(BOOL bHighlight);
    UINT GetButtonStyle() const;
    void SetButtonStyle(UINT nStyle, BOOL bRedraw = TRUE);
};

class CEdit : public CWnd {
public:
    BOOL SetReadOnly(BOOL bReadOnly = TRUE);
    void SetSel(int nStartChar, int nEndChar, BOOL bNoScroll = FALSE);
};

class CStatic : public CWnd {};

class CComboBox : public CWnd {
public:
    int GetCount() const;
    int GetCurSel() const;
    // -1 clears the selection.
    int SetCurSel(int nSelect);
    int AddString(LPCTSTR lpszString);
    int InsertString(int nIndex, LPCTSTR lpszString);
    int DeleteString(UINT nIndex);
    void ResetContent();
    int GetLBText(int nIndex, CString& rString) const;
    int GetLBTextLen(int nIndex) const;
    int SetItemData(int nIndex, ULONG_PTR dwItemData);
    ULONG_PTR GetItemData(int nIndex) const;
    int SetItemDataPtr(int nIndex, void* pData);
    void* GetItemDataPtr(int nIndex) const;
    // The first entry after nStartAfter whose text begins with lpszString,
    // ignoring case; CB_ERR when none does.
    int FindString(int nStartAfter, LPCTSTR lpszString) const;
    int FindStringExact(int nIndexStart, LPCTSTR lpszFind) const;
    int SelectString(int nStartAfter, LPCTSTR lpszString);
    int GetDroppedWidth() const;
    int SetDroppedWidth(UINT nWidth);
    BOOL GetDroppedState() const;
    // Recomputes the height of every entry (owner-drawn lists of variable
    // height measure each entry through MeasureItem).
    void RemeasureItems();

    // Reflected CBN_DROPDOWN: the list is about to open.
    virtual void OnDropDown();
};

class CListBox : public CWnd {
public:
    int GetCount() const;
    int GetCurSel() const;
    int SetCurSel(int nSelect);
    int AddString(LPCTSTR lpszItem);
    int InsertString(int nIndex, LPCTSTR lpszItem);
    int DeleteString(UINT nIndex);
    void ResetContent();
    int GetText(int nIndex, CString& rString) const;
    int SetItemDataPtr(int nIndex, void* pData);
    void* GetItemDataPtr(int nIndex) const;
    int FindStringExact(int nIndexStart, LPCTSTR lpszFind) const;
};

class CProgressCtrl : public CWnd {
public:
    void SetRange(short nLower, short nUpper);
    int SetPos(int nPos);
    int GetPos() const;
    int OffsetPos(int nPos);
};
