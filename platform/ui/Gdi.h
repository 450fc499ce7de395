// Drawing: device contexts, fonts, bitmaps, image lists, regions, system
// colours and the owner-draw records, as the framework's owner-drawn
// controls use them. A device context draws only while its window paints
// (OnPaint, DrawItem); outside painting it still measures text.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "platform/ui/UiTypes.h"

class CWnd;

// Background modes.
inline constexpr int TRANSPARENT = 1;
inline constexpr int OPAQUE = 2;

// DrawText formats.
inline constexpr UINT DT_LEFT = 0x0000U;
inline constexpr UINT DT_CENTER = 0x0001U;
inline constexpr UINT DT_RIGHT = 0x0002U;
inline constexpr UINT DT_VCENTER = 0x0004U;
inline constexpr UINT DT_WORDBREAK = 0x0010U;
inline constexpr UINT DT_SINGLELINE = 0x0020U;
inline constexpr UINT DT_CALCRECT = 0x0400U;
inline constexpr UINT DT_NOPREFIX = 0x0800U;
inline constexpr UINT DT_END_ELLIPSIS = 0x8000U;

// DrawFrameControl types and states.
inline constexpr UINT DFC_BUTTON = 4;
inline constexpr UINT DFCS_BUTTONCHECK = 0x0000U;
inline constexpr UINT DFCS_BUTTONPUSH = 0x0010U;
inline constexpr UINT DFCS_INACTIVE = 0x0100U;
inline constexpr UINT DFCS_PUSHED = 0x0200U;
inline constexpr UINT DFCS_CHECKED = 0x0400U;
inline constexpr UINT DFCS_FLAT = 0x4000U;

// System colours.
inline constexpr int COLOR_WINDOW = 5;
inline constexpr int COLOR_WINDOWTEXT = 8;
inline constexpr int COLOR_HIGHLIGHT = 13;
inline constexpr int COLOR_HIGHLIGHTTEXT = 14;
inline constexpr int COLOR_BTNFACE = 15;
inline constexpr int COLOR_BTNSHADOW = 16;
inline constexpr int COLOR_GRAYTEXT = 17;
inline constexpr int COLOR_BTNTEXT = 18;
inline constexpr int COLOR_BTNHIGHLIGHT = 20;
COLORREF GetSysColor(int nIndex);

// Font weights, qualities and types.
inline constexpr int FW_NORMAL = 400;
inline constexpr int FW_BOLD = 700;
inline constexpr BYTE DEFAULT_CHARSET = 1;
inline constexpr BYTE DEFAULT_QUALITY = 0;
inline constexpr BYTE ANTIALIASED_QUALITY = 4;
inline constexpr DWORD TRUETYPE_FONTTYPE = 0x0004U;

// Image list drawing styles.
inline constexpr UINT ILD_NORMAL = 0x0000U;
inline constexpr UINT ILD_TRANSPARENT = 0x0001U;

// Region combination.
inline constexpr int RGN_OR = 2;

// Owner-drawn control types, actions and states.
inline constexpr UINT ODT_COMBOBOX = 3;
inline constexpr UINT ODT_BUTTON = 4;
inline constexpr UINT ODA_DRAWENTIRE = 0x0001U;
inline constexpr UINT ODA_SELECT = 0x0002U;
inline constexpr UINT ODA_FOCUS = 0x0004U;
inline constexpr UINT ODS_SELECTED = 0x0001U;
inline constexpr UINT ODS_DISABLED = 0x0004U;
inline constexpr UINT ODS_FOCUS = 0x0010U;
inline constexpr UINT ODS_DEFAULT = 0x0020U;
inline constexpr UINT ODS_COMBOBOXEDIT = 0x1000U;

struct tagDRAWITEMSTRUCT {
    UINT CtlType = 0;
    UINT CtlID = 0;
    UINT itemID = 0;  // (UINT)-1: the empty item
    UINT itemAction = 0;
    UINT itemState = 0;
    HWND hwndItem = nullptr;
    HDC hDC = nullptr;
    RECT rcItem;
    ULONG_PTR itemData = 0;
};
using DRAWITEMSTRUCT = tagDRAWITEMSTRUCT;

struct tagMEASUREITEMSTRUCT {
    UINT CtlType = 0;
    UINT CtlID = 0;
    UINT itemID = 0;
    UINT itemWidth = 0;
    UINT itemHeight = 0;
    ULONG_PTR itemData = 0;
};
using MEASUREITEMSTRUCT = tagMEASUREITEMSTRUCT;

struct TEXTMETRIC {
    long tmHeight = 0;
    long tmAscent = 0;
    long tmDescent = 0;
    long tmAveCharWidth = 0;
    long tmExternalLeading = 0;
};

class CFont {
public:
    CFont();
    CFont(const CFont&) = delete;
    CFont& operator=(const CFont&) = delete;
    ~CFont();

    // nHeight in pixels (negative: character height, positive: cell height).
    BOOL CreateFont(int nHeight, int nWidth, int nEscapement, int nOrientation, int nWeight, BYTE bItalic,
                    BYTE bUnderline, BYTE cStrikeOut, BYTE nCharSet, BYTE nOutPrecision, BYTE nClipPrecision,
                    BYTE nQuality, BYTE nPitchAndFamily, LPCTSTR lpszFacename);
    // nPointSize in tenths of a point.
    BOOL CreatePointFont(int nPointSize, LPCTSTR lpszFaceName);
    BOOL DeleteObject();
    bool IsCreated() const;
    CString GetFaceName() const;

    // The desktop's font for controls (the framework's default GUI font).
    static CFont* GetDefaultGuiFont();

    struct Impl;
    Impl* GetImpl() const { return m_impl.get(); }

private:
    std::unique_ptr<Impl> m_impl;
};

struct BITMAP {
    long bmWidth = 0;
    long bmHeight = 0;
};

// A picture from the program's resources, drawn in logical pixels (sharp
// on high-density screens).
class CBitmap {
public:
    CBitmap();
    CBitmap(const CBitmap&) = delete;
    CBitmap& operator=(const CBitmap&) = delete;
    ~CBitmap();

    BOOL LoadBitmap(UINT nIDResource);
    int GetBitmap(BITMAP* pBitMap) const;
    // The colour of a pixel; the colour given as transparent for pixels
    // the picture leaves clear.
    COLORREF GetPixel(int x, int y, COLORREF crTransparent) const;
    BOOL DeleteObject();

    struct Impl;
    Impl* GetImpl() const { return m_impl.get(); }

private:
    std::unique_ptr<Impl> m_impl;
};

class CImageList {
public:
    CImageList();
    CImageList(const CImageList&) = delete;
    CImageList& operator=(const CImageList&) = delete;
    ~CImageList();

    // Images of cx pixels cut from a picture of the resources.
    BOOL Create(UINT nBitmapID, int cx, int nGrow, COLORREF crMask);
    BOOL DeleteImageList();
    int GetImageCount() const;
    BOOL Draw(class CDC* pDC, int nImage, POINT pt, UINT nStyle);

    struct Impl;
    Impl* GetImpl() const { return m_impl.get(); }

private:
    std::unique_ptr<Impl> m_impl;
};

class CRgn {
public:
    CRgn();
    CRgn(const CRgn&) = delete;
    CRgn& operator=(const CRgn&) = delete;
    ~CRgn();

    BOOL CreateRectRgn(int x1, int y1, int x2, int y2);
    int CombineRgn(const CRgn* pRgn1, const CRgn* pRgn2, int nCombineMode);
    BOOL PtInRegion(int x, int y) const;
    BOOL DeleteObject();

    struct Impl;
    Impl* GetImpl() const { return m_impl.get(); }

private:
    std::unique_ptr<Impl> m_impl;
};

class CDC {
public:
    CDC();
    CDC(const CDC&) = delete;
    CDC& operator=(const CDC&) = delete;
    virtual ~CDC();

    HDC m_hDC = nullptr;
    static CDC* FromHandle(HDC hDC);

    // A memory context: drawing from the bitmap selected into it.
    BOOL CreateCompatibleDC(CDC* pDC);
    CBitmap* SelectObject(CBitmap* pBitmap);
    CFont* SelectObject(CFont* pFont);

    COLORREF SetTextColor(COLORREF crColor);
    COLORREF GetTextColor() const;
    COLORREF SetBkColor(COLORREF crColor);
    COLORREF GetBkColor() const;
    int SetBkMode(int nBkMode);

    void FillSolidRect(LPCRECT lpRect, COLORREF clr);
    void FillSolidRect(int x, int y, int cx, int cy, COLORREF clr);
    void FrameRect(LPCRECT lpRect, COLORREF clr);
    // Fills with a colour at an opacity of bAlpha (0..255).
    void FillAlphaRect(LPCRECT lpRect, COLORREF clr, BYTE bAlpha);
    int DrawText(const CString& str, LPRECT lpRect, UINT nFormat);
    BOOL TextOut(int x, int y, const CString& str);
    CSize GetTextExtent(const CString& str) const;
    BOOL GetTextMetrics(TEXTMETRIC* lpMetrics) const;
    void DrawFocusRect(LPCRECT lpRect);
    BOOL DrawFrameControl(LPRECT lpRect, UINT nType, UINT nState);
    BOOL BitBlt(int x, int y, int nWidth, int nHeight, CDC* pSrcDC, int xSrc, int ySrc, DWORD dwRop);

    struct Impl;
    Impl* GetImpl() const { return m_impl.get(); }

protected:
    std::unique_ptr<Impl> m_impl;
};

inline constexpr DWORD SRCCOPY = 0x00CC0020U;

// The context of a window while it paints: drawing lands in its client area.
class CPaintDC : public CDC {
public:
    explicit CPaintDC(CWnd* pWnd);
};

// A context for a window's client area: draws while the window paints,
// measures only otherwise.
class CClientDC : public CDC {
public:
    explicit CClientDC(CWnd* pWnd);
};

// Every installed font family, one call per family with its font type
// (TRUETYPE_FONTTYPE for scalable outline fonts), in the font database's
// order; the walk stops when the callback returns false.
void EnumFontFamilies(const std::function<bool(const CString& face, DWORD fontType)>& callback);
