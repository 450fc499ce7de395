// CWnd: a window of the framework and the messages it handles. A C++ object
// is attached to a window (its own, or a control of a dialog it subclasses)
// and receives that window's messages through the virtual handlers below;
// each handler's default runs the platform's own handling (Default()).
#pragma once

#include <memory>

#include "platform/ui/UiTypes.h"

class CFont;
class CRgn;
struct tagDRAWITEMSTRUCT;
struct tagMEASUREITEMSTRUCT;
using LPDRAWITEMSTRUCT = tagDRAWITEMSTRUCT*;
using LPMEASUREITEMSTRUCT = tagMEASUREITEMSTRUCT*;
using HICON = UINT;  // an icon is named by its resource identifier

// Messages the system sends or handles by number.
inline constexpr UINT WM_COMMAND = 0x0111U;
inline constexpr UINT WM_GETDLGCODE = 0x0087U;
inline constexpr UINT BM_SETSTATE = 0x00F3U;
inline constexpr UINT BM_SETSTYLE = 0x00F4U;
inline constexpr UINT WM_USER = 0x0400U;

// Answers to WM_GETDLGCODE.
inline constexpr UINT DLGC_DEFPUSHBUTTON = 0x0010U;
inline constexpr UINT DLGC_UNDEFPUSHBUTTON = 0x0020U;
inline constexpr UINT DLGC_BUTTON = 0x2000U;

// Notification codes carried in WM_COMMAND.
inline constexpr UINT BN_CLICKED = 0;
inline constexpr UINT CBN_SELCHANGE = 1;
inline constexpr UINT CBN_SETFOCUS = 3;
inline constexpr UINT LBN_SELCHANGE = 1;
inline constexpr UINT EN_CHANGE = 0x0300U;

// ShowWindow commands.
inline constexpr int SW_HIDE = 0;
inline constexpr int SW_SHOWNORMAL = 1;
inline constexpr int SW_SHOW = 5;

// SetWindowPos flags.
inline constexpr UINT SWP_NOSIZE = 0x0001U;
inline constexpr UINT SWP_NOMOVE = 0x0002U;
inline constexpr UINT SWP_NOZORDER = 0x0004U;
inline constexpr UINT SWP_NOACTIVATE = 0x0010U;

// AnimateWindow flags.
inline constexpr DWORD AW_HIDE = 0x00010000U;
inline constexpr DWORD AW_ACTIVATE = 0x00020000U;
inline constexpr DWORD AW_BLEND = 0x00080000U;

// Key state flags of mouse messages.
inline constexpr UINT MK_LBUTTON = 0x0001U;

// Virtual key codes.
inline constexpr UINT VK_BACK = 0x08U;
inline constexpr UINT VK_TAB = 0x09U;
inline constexpr UINT VK_RETURN = 0x0DU;
inline constexpr UINT VK_ESCAPE = 0x1BU;
inline constexpr UINT VK_SPACE = 0x20U;
inline constexpr UINT VK_LEFT = 0x25U;
inline constexpr UINT VK_UP = 0x26U;
inline constexpr UINT VK_RIGHT = 0x27U;
inline constexpr UINT VK_DOWN = 0x28U;
inline constexpr UINT VK_F4 = 0x73U;

// GetSystemMetrics indexes.
inline constexpr int SM_CXSCREEN = 0;
inline constexpr int SM_CYSCREEN = 1;
inline constexpr int SM_CXVSCROLL = 2;
int GetSystemMetrics(int nIndex);

// A message number of its own for a name; the same name gives the same
// number for the life of the process.
UINT RegisterWindowMessage(LPCTSTR name);

constexpr WPARAM MAKEWPARAM(UINT low, UINT high) {
    return static_cast<WPARAM>((low & 0xFFFFU) | ((high & 0xFFFFU) << 16U));
}

class CWnd {
public:
    CWnd();
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;
    // Lets go of a subclassed control; destroys a window this object created.
    virtual ~CWnd();

    HWND m_hWnd = nullptr;
    HWND GetSafeHwnd() const { return m_hWnd; }

    // The object receiving that window's messages.
    static CWnd* FromHandle(HWND hWnd);

    // Attaching to an existing window: its messages come to this object.
    BOOL SubclassWindow(HWND hWnd);
    BOOL SubclassDlgItem(UINT nID, CWnd* pParent);
    HWND UnsubclassWindow();

    // A top-level window of one's own; the class name names the window.
    BOOL CreateEx(DWORD dwExStyle, LPCTSTR lpszClassName, LPCTSTR lpszWindowName, DWORD dwStyle,
                  const RECT& rect, CWnd* pParentWnd, UINT nID);
    virtual BOOL DestroyWindow();

    CWnd* GetDlgItem(int nID) const;
    int GetDlgCtrlID() const;
    CWnd* GetParent() const;

    void SetWindowText(LPCTSTR lpszString);
    void GetWindowText(CString& rString) const;
    int GetWindowTextLength() const;

    BOOL EnableWindow(BOOL bEnable = TRUE);
    BOOL IsWindowEnabled() const;
    BOOL ShowWindow(int nCmdShow);
    BOOL IsWindowVisible() const;
    CWnd* SetFocus();
    static CWnd* GetFocus();
    BOOL SetForegroundWindow();

    // Client rectangles start at 0, 0; window rectangles are on the screen.
    void GetClientRect(LPRECT lpRect) const;
    void GetWindowRect(LPRECT lpRect) const;
    void ClientToScreen(LPPOINT lpPoint) const;
    void ScreenToClient(LPPOINT lpPoint) const;
    // For top-level windows cx and cy size the client area; the window
    // manager adds its frame.
    BOOL SetWindowPos(const CWnd* pWndInsertAfter, int x, int y, int cx, int cy, UINT nFlags);
    void MoveWindow(int x, int y, int nWidth, int nHeight, BOOL bRepaint = TRUE);
    void CenterWindow(CWnd* pAlternateOwner = nullptr);

    void Invalidate(BOOL bErase = TRUE);
    void InvalidateRect(LPCRECT lpRect, BOOL bErase = TRUE);
    void UpdateWindow();

    DWORD GetStyle() const;
    BOOL ModifyStyle(DWORD dwRemove, DWORD dwAdd, UINT nFlags = 0);

    CFont* GetFont() const;
    void SetFont(CFont* pFont, BOOL bRedraw = TRUE);
    HICON SetIcon(HICON hIcon, BOOL bBigIcon);

    UINT_PTR SetTimer(UINT_PTR nIDEvent, UINT nElapse, void* lpfnTimer = nullptr);
    BOOL KillTimer(UINT_PTR nIDEvent);

    // Shows or hides the window with a fade (AW_BLEND) over dwTime ms;
    // returns when the animation has run.
    BOOL AnimateWindow(DWORD dwTime, DWORD dwFlags);
    // The window's shape: only the region's pixels belong to it. The window
    // keeps the region object.
    int SetWindowRgn(CRgn* pRgn, BOOL bRedraw);

    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

    // Tool tips: the full text of a cell that does not fit.
    BOOL EnableToolTips(BOOL bEnable = TRUE);

    // Message handlers.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // WM_COMMAND from a child: LOWORD(wParam) its identifier, HIWORD(wParam)
    // the notification, lParam its window.
    virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
    virtual void PreSubclassWindow();
    virtual void OnPaint();
    virtual void DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct);
    virtual void MeasureItem(LPMEASUREITEMSTRUCT lpMeasureItemStruct);
    virtual void OnLButtonDown(UINT nFlags, CPoint point);
    virtual void OnLButtonUp(UINT nFlags, CPoint point);
    virtual void OnLButtonDblClk(UINT nFlags, CPoint point);
    virtual void OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags);
    virtual void OnKeyUp(UINT nChar, UINT nRepCnt, UINT nFlags);
    virtual void OnSysKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags);
    virtual void OnSetFocus(CWnd* pOldWnd);
    virtual void OnKillFocus(CWnd* pNewWnd);
    virtual void OnTimer(UINT_PTR nIDEvent);
    virtual void OnDestroy();

protected:
    // Runs the platform's own handling of the message being handled.
    LRESULT Default();
    // The platform's own handling of a message with these parameters.
    LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // Whether this object created (and so owns) its window.
    bool m_bOwnsWindow = false;
};
