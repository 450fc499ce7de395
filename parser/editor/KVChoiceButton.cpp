#include "parser/editor/KVChoiceButton.h"

#include "platform/ui/DialogTemplate.h"
#include "platform/ui/Gdi.h"

KVChoiceButton::KVChoiceButton() {
    m_menu.CreatePopupMenu();
}

int KVChoiceButton::AddItem(LPCTSTR lpszText) {
    const int position = m_menu.GetMenuItemCount();
    if (!m_menu.AppendMenu(MF_STRING, msc_nFirstCommand + static_cast<UINT>(position), lpszText)) {
        return -1;
    }
    if (position == 0) {
        m_bMenuActive = true;
        m_nCurrentChoice = 0;
    }
    return position;
}

void KVChoiceButton::AddSeparator() {
    if (m_bMenuActive) {
        m_menu.AppendMenu(MF_SEPARATOR);
    }
}

void KVChoiceButton::DeleteItem(int nPosition) {
    if (m_bMenuActive && nPosition >= 0) {
        m_menu.DeleteMenu(static_cast<UINT>(nPosition), MF_BYPOSITION);
    }
}

void KVChoiceButton::EnableItem(int nPosition, BOOL bEnable) {
    if (m_bMenuActive && nPosition >= 0) {
        m_menu.EnableMenuItem(static_cast<UINT>(nPosition),
                              MF_BYPOSITION | (bEnable ? MF_ENABLED : MF_GRAYED));
    }
}

int KVChoiceButton::GetItemCount() const {
    return m_menu.GetMenuItemCount();
}

void KVChoiceButton::SetCurrentChoice(int nPosition) {
    if (nPosition < 0) {
        return;
    }
    CString text;
    if (m_menu.GetMenuString(static_cast<UINT>(nPosition), text, MF_BYPOSITION) > 0) {
        m_nCurrentChoice = nPosition;
    }
}

void KVChoiceButton::PreSubclassWindow() {
    if ((GetButtonStyle() & BS_TYPEMASK) == BS_DEFPUSHBUTTON) {
        m_bDefaultLook = true;
    }
    GetWindowRect(&m_rcWindow);
    // Until the first paint records it, the item is the whole button.
    GetClientRect(&m_rcItem);
    ModifyStyle(BS_TYPEMASK, BS_OWNERDRAW);
}

void KVChoiceButton::DrawArrow(CDC* pDC, CPoint centre, bool bDisabled) {
    // Four rows, 7, 5, 3 and 1 pixels wide; the top one a pixel above the centre.
    const auto rows = [&](CPoint at, COLORREF colour) {
        for (int row = 0; row < 4; ++row) {
            pDC->FillSolidRect(static_cast<int>(at.x) - 3 + row, static_cast<int>(at.y) - 1 + row,
                               7 - 2 * row, 1, colour);
        }
    };
    if (bDisabled) {
        rows(CPoint(centre.x + 1, centre.y + 1), RGB(255, 255, 255));
        rows(centre, GetSysColor(COLOR_GRAYTEXT));
    } else {
        rows(centre, GetSysColor(COLOR_BTNTEXT));
    }
}

void KVChoiceButton::DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct) {
    if (lpDrawItemStruct->CtlType != ODT_BUTTON) {
        return;
    }
    CDC* pDC = CDC::FromHandle(lpDrawItemStruct->hDC);
    CString text;
    GetWindowText(text);
    const bool disabled = (lpDrawItemStruct->itemState & ODS_DISABLED) != 0;
    UINT frameState = DFCS_BUTTONPUSH;
    if ((GetStyle() & BS_FLAT) != 0) {
        frameState |= DFCS_FLAT;
    }
    if (disabled) {
        frameState |= DFCS_INACTIVE;
    }

    m_rcItem = lpDrawItemStruct->rcItem;
    CRect rect = m_rcItem;
    if (m_bDefaultLook) {
        InflateRect(&rect, -1, -1);
    }
    if (m_bMenuActive) {
        m_rcDrop = rect;
        CPoint arrow(rect.right - 10, (rect.top + rect.bottom) / 2);
        if (m_bMenuOpen) {
            frameState |= DFCS_PUSHED;
            arrow.x += 1;
            arrow.y += 1;
        }
        pDC->DrawFrameControl(&rect, DFC_BUTTON, frameState);
        DrawArrow(pDC, arrow, disabled);
    }

    CRect textRect = rect;
    textRect.right -= msc_nArrowWidth;
    if (m_bPressed) {
        OffsetRect(&textRect, msc_nPressedOffset, msc_nPressedOffset);
    }
    pDC->SetBkMode(TRANSPARENT);
    if (disabled) {
        CRect shadow = textRect;
        OffsetRect(&shadow, 1, 1);
        pDC->SetTextColor(RGB(255, 255, 255));
        pDC->DrawText(text, &shadow, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        pDC->SetTextColor(GetSysColor(COLOR_GRAYTEXT));
    } else {
        pDC->SetTextColor(GetSysColor(COLOR_BTNTEXT));
    }
    pDC->DrawText(text, &textRect, DT_CENTER | DT_VCENTER | DT_SINGLELINE);

    if (m_bHasFocus) {
        CRect focus = rect;
        InflateRect(&focus, -3, -3);
        pDC->DrawFocusRect(&focus);
    }
    if (m_bDefaultLook) {
        pDC->FrameRect(&m_rcItem, RGB(0, 0, 0));
        if (m_bPressed) {
            CRect inner = m_rcItem;
            InflateRect(&inner, -1, -1);
            pDC->FrameRect(&inner, RGB(0, 0, 0));
        }
    }
}

LRESULT KVChoiceButton::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case BM_SETSTATE: {
            const bool pushed = wParam != 0;
            if (pushed != m_bPressed) {
                m_bPressed = pushed;
                m_bMenuOpen = pushed;
                Invalidate();
            }
            return Default();
        }
        case BM_SETSTYLE:
            m_bDefaultState = (wParam & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
            return DefWindowProc(message, (wParam & ~static_cast<WPARAM>(BS_TYPEMASK)) | BS_OWNERDRAW,
                                 lParam);
        case WM_GETDLGCODE:
            return Default() |
                   static_cast<LRESULT>(m_bDefaultState ? DLGC_DEFPUSHBUTTON : DLGC_UNDEFPUSHBUTTON);
        default:
            return CButton::WindowProc(message, wParam, lParam);
    }
}

void KVChoiceButton::NotifyParent() {
    if (CWnd* parent = GetParent()) {
        parent->PostMessage(WM_COMMAND, MAKEWPARAM(static_cast<UINT>(GetDlgCtrlID()), BN_CLICKED),
                            reinterpret_cast<LPARAM>(m_hWnd));
    }
}

void KVChoiceButton::OnLButtonDown(UINT /*nFlags*/, CPoint point) {
    if (!PtInRect(&m_rcItem, point) && !(m_bMenuActive && PtInRect(&m_rcDrop, point))) {
        return;
    }
    const bool wasOpen = m_bMenuOpen;
    m_bMenuOpen = true;
    Invalidate();
    UpdateWindow();
    CRect window;
    GetWindowRect(&window);
    UINT command = 0;
    const bool shown = m_menu.GetMenuItemCount() > 0;
    if (shown) {
        command = static_cast<UINT>(
            m_menu.TrackPopupMenu(TPM_LEFTALIGN | TPM_LEFTBUTTON | TPM_RETURNCMD | TPM_NONOTIFY,
                                  static_cast<int>(window.left), static_cast<int>(window.bottom), this));
    }
    if (command != 0) {
        SetCurrentChoice(static_cast<int>(command - msc_nFirstCommand));
        NotifyParent();
        m_bMenuOpen = false;
        m_bPressed = false;
    } else {
        m_bMenuOpen = wasOpen;
    }
    // The menu took the button's release; pressing the button now would
    // leave it pushed.
    if (!shown) {
        Default();
    }
    Invalidate();
}

void KVChoiceButton::OnLButtonDblClk(UINT nFlags, CPoint point) {
    OnLButtonDown(nFlags, point);
}

void KVChoiceButton::OnLButtonUp(UINT /*nFlags*/, CPoint /*point*/) {
    if (m_bPressed) {
        NotifyParent();
    }
    SetState(FALSE);
    Default();
}

void KVChoiceButton::OnKeyUp(UINT nChar, UINT nRepCnt, UINT nFlags) {
    if (nChar == VK_SPACE) {
        CRect client;
        GetClientRect(&client);
        OnLButtonUp(0, CPoint((client.left + client.right) / 2, (client.top + client.bottom) / 2));
        return;
    }
    CButton::OnKeyUp(nChar, nRepCnt, nFlags);
}

void KVChoiceButton::OnSysKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags) {
    if (nChar == VK_DOWN && m_bMenuActive) {
        OnLButtonDown(0, CPoint((m_rcDrop.left + m_rcDrop.right) / 2, (m_rcDrop.top + m_rcDrop.bottom) / 2));
        return;
    }
    // Other system keys (Alt+F4, mnemonics) keep their meaning.
    CButton::OnSysKeyDown(nChar, nRepCnt, nFlags);
}

void KVChoiceButton::OnSetFocus(CWnd* pOldWnd) {
    m_bHasFocus = true;
    Invalidate();
    CButton::OnSetFocus(pOldWnd);
}

void KVChoiceButton::OnKillFocus(CWnd* pNewWnd) {
    m_bHasFocus = false;
    Invalidate();
    CButton::OnKillFocus(pNewWnd);
}
