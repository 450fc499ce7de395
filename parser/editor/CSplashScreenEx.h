// A splash window: a picture shaped to its visible pixels, optionally with a
// shadow and a line of text, shown for a while with fades and closed early
// by a click or a key when asked.
#pragma once

#include "platform/ui/Gdi.h"
#include "platform/ui/Wnd.h"

class CSplashScreenEx : public CWnd {
public:
    // Style bits.
    static constexpr DWORD CSS_FADEIN = 0x0001;
    static constexpr DWORD CSS_FADEOUT = 0x0002;
    static constexpr DWORD CSS_FADE = CSS_FADEIN | CSS_FADEOUT;
    static constexpr DWORD CSS_SHADOW = 0x0004;
    static constexpr DWORD CSS_CENTERSCREEN = 0x0008;
    static constexpr DWORD CSS_CENTERAPP = 0x0010;
    static constexpr DWORD CSS_HIDEONCLICK = 0x0020;

    static constexpr const wchar_t* msc_sClassName = L"SplashScreenExClass";

    CSplashScreenEx();
    ~CSplashScreenEx() override;

    BOOL Create(CWnd* pWndParent, LPCTSTR szText = nullptr, DWORD dwTimeout = 2000,
                DWORD dwStyle = CSS_FADE | CSS_CENTERSCREEN | CSS_SHADOW);
    // The picture; pixels of the transparent colour (and clear ones) are not
    // part of the window. A negative red keeps every pixel.
    BOOL SetBitmap(UINT nBitmapID, short red = -1, short green = -1, short blue = -1);
    // Set while the window exists; cleared when it has gone.
    void SetVisibleFlag(bool* pbVisible) { m_pbVisible = pbVisible; }
    void Show();
    void Hide();

    // Handles the waiting messages of the application, so a caller can wait
    // for the splash to go.
    static void PumpMessages();

protected:
    void OnPaint() override;
    void OnTimer(UINT_PTR nIDEvent) override;
    void OnLButtonDown(UINT nFlags, CPoint point) override;
    void OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags) override;
    void OnDestroy() override;

private:
    static constexpr int msc_nShadowOffset = 6;
    static constexpr UINT msc_nFadeTime = 300;
    static constexpr UINT_PTR msc_nTimerId = 1;

    void CreateWindowRegion();
    int ShadowOffset() const { return (m_dwStyle & CSS_SHADOW) != 0 ? msc_nShadowOffset : 0; }

    CWnd* m_pWndParent = nullptr;
    CString m_strText;
    DWORD m_dwTimeout = 2000;
    DWORD m_dwStyle = 0;
    CBitmap m_bitmap;
    int m_nBitmapWidth = 0;
    int m_nBitmapHeight = 0;
    bool m_bTransparent = false;
    COLORREF m_crTransparent = 0;
    CRgn m_region;
    bool* m_pbVisible = nullptr;
    bool m_bHiding = false;
};
