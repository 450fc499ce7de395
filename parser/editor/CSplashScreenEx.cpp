#include "parser/editor/CSplashScreenEx.h"

#include "platform/ui/DialogTemplate.h"
#include "platform/ui/UserInterface.h"

CSplashScreenEx::CSplashScreenEx() = default;

CSplashScreenEx::~CSplashScreenEx() {
    if (m_hWnd != nullptr) {
        DestroyWindow();
    }
}

BOOL CSplashScreenEx::Create(CWnd* pWndParent, LPCTSTR szText, DWORD dwTimeout, DWORD dwStyle) {
    m_pWndParent = pWndParent;
    m_strText = szText == nullptr ? CString() : CString(szText);
    m_dwTimeout = dwTimeout;
    m_dwStyle = dwStyle;
    const CRect rect(0, 0, 1, 1);
    return CreateEx(WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_LAYERED, msc_sClassName, nullptr, WS_POPUP, rect,
                    pWndParent, 0);
}

BOOL CSplashScreenEx::SetBitmap(UINT nBitmapID, short red, short green, short blue) {
    m_bitmap.DeleteObject();
    if (!m_bitmap.LoadBitmap(nBitmapID)) {
        return FALSE;
    }
    BITMAP info;
    m_bitmap.GetBitmap(&info);
    m_nBitmapWidth = static_cast<int>(info.bmWidth);
    m_nBitmapHeight = static_cast<int>(info.bmHeight);
    m_bTransparent = red >= 0;
    m_crTransparent = m_bTransparent ? RGB(static_cast<unsigned>(red), static_cast<unsigned>(green),
                                           static_cast<unsigned>(blue))
                                     : RGB(255, 0, 255);
    return TRUE;
}

void CSplashScreenEx::CreateWindowRegion() {
    // Runs of visible pixels, row by row, for the picture and its shadow.
    const int offset = ShadowOffset();
    m_region.DeleteObject();
    m_region.CreateRectRgn(0, 0, 0, 0);
    for (int y = 0; y < m_nBitmapHeight; ++y) {
        int x = 0;
        while (x < m_nBitmapWidth) {
            while (x < m_nBitmapWidth && m_bitmap.GetPixel(x, y, m_crTransparent) == m_crTransparent) {
                ++x;
            }
            const int start = x;
            while (x < m_nBitmapWidth && m_bitmap.GetPixel(x, y, m_crTransparent) != m_crTransparent) {
                ++x;
            }
            if (x > start) {
                CRgn run;
                run.CreateRectRgn(start, y, x, y + 1);
                m_region.CombineRgn(&m_region, &run, RGN_OR);
                if (offset > 0) {
                    CRgn shadow;
                    shadow.CreateRectRgn(start + offset, y + offset, x + offset, y + offset + 1);
                    m_region.CombineRgn(&m_region, &shadow, RGN_OR);
                }
            }
        }
    }
    SetWindowRgn(&m_region, TRUE);
}

void CSplashScreenEx::Show() {
    if (m_hWnd == nullptr || m_nBitmapWidth == 0) {
        OnDestroy();
        return;
    }
    if (m_pbVisible != nullptr) {
        *m_pbVisible = true;
    }
    const int offset = ShadowOffset();
    SetWindowPos(nullptr, 0, 0, m_nBitmapWidth + offset, m_nBitmapHeight + offset, SWP_NOMOVE | SWP_NOZORDER);
    CreateWindowRegion();
    CenterWindow((m_dwStyle & CSS_CENTERAPP) != 0 ? m_pWndParent : nullptr);
    if ((m_dwStyle & CSS_FADEIN) != 0) {
        AnimateWindow(msc_nFadeTime, AW_BLEND);
    } else {
        ShowWindow(SW_SHOW);
    }
    if (m_hWnd == nullptr) {
        return;  // clicked away while it faded in
    }
    SetForegroundWindow();
    SetFocus();
    SetTimer(msc_nTimerId, m_dwTimeout);
}

void CSplashScreenEx::Hide() {
    if (m_hWnd == nullptr || m_bHiding) {
        return;
    }
    m_bHiding = true;
    KillTimer(msc_nTimerId);
    if ((m_dwStyle & CSS_FADEOUT) != 0) {
        AnimateWindow(msc_nFadeTime, AW_BLEND | AW_HIDE);
    }
    DestroyWindow();
}

void CSplashScreenEx::PumpMessages() {
    AfxPumpMessage();
}

void CSplashScreenEx::OnPaint() {
    CPaintDC dc(this);
    const int offset = ShadowOffset();
    if (offset > 0) {
        // A soft shadow: layers that grow darker towards the middle.
        for (int layer = 0; layer < offset; ++layer) {
            CRect shade(offset + layer / 2, offset + layer / 2, m_nBitmapWidth + offset - layer / 2,
                        m_nBitmapHeight + offset - layer / 2);
            dc.FillAlphaRect(&shade, RGB(0, 0, 0), static_cast<BYTE>(18));
        }
    }
    CDC memory;
    memory.CreateCompatibleDC(&dc);
    CBitmap* previous = memory.SelectObject(&m_bitmap);
    dc.BitBlt(0, 0, m_nBitmapWidth, m_nBitmapHeight, &memory, 0, 0, SRCCOPY);
    memory.SelectObject(previous);
    if (!m_strText.empty()) {
        CRect text(0, m_nBitmapHeight - 30, m_nBitmapWidth, m_nBitmapHeight - 10);
        dc.SetBkMode(TRANSPARENT);
        dc.SetTextColor(RGB(255, 255, 255));
        dc.DrawText(m_strText, &text, DT_CENTER | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    }
}

void CSplashScreenEx::OnTimer(UINT_PTR nIDEvent) {
    if (nIDEvent == msc_nTimerId) {
        Hide();
    }
}

void CSplashScreenEx::OnLButtonDown(UINT /*nFlags*/, CPoint /*point*/) {
    if ((m_dwStyle & CSS_HIDEONCLICK) != 0) {
        Hide();
    }
}

void CSplashScreenEx::OnKeyDown(UINT /*nChar*/, UINT /*nRepCnt*/, UINT /*nFlags*/) {
    if ((m_dwStyle & CSS_HIDEONCLICK) != 0) {
        Hide();
    }
}

void CSplashScreenEx::OnDestroy() {
    if (m_pbVisible != nullptr) {
        *m_pbVisible = false;
    }
}
