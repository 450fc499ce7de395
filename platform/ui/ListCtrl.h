// The report-view list control and its header.
#pragma once

#include "platform/ui/Controls.h"

class CImageList;

inline constexpr DWORD LVS_EX_GRIDLINES = 0x00000001U;
inline constexpr DWORD LVS_EX_FULLROWSELECT = 0x00000020U;
inline constexpr DWORD LVS_EX_INFOTIP = 0x00000400U;

inline constexpr int LVCFMT_LEFT = 0x0000;
inline constexpr int LVCFMT_RIGHT = 0x0001;
inline constexpr int LVCFMT_CENTER = 0x0002;
inline constexpr UINT LVCF_FMT = 0x0001U;
inline constexpr UINT LVCF_WIDTH = 0x0002U;
inline constexpr UINT LVCF_TEXT = 0x0004U;

inline constexpr UINT HDI_FORMAT = 0x0004U;
inline constexpr UINT HDI_IMAGE = 0x0020U;
inline constexpr int HDF_LEFT = 0x0000;
inline constexpr int HDF_CENTER = 0x0002;
inline constexpr int HDF_IMAGE = 0x0800;
inline constexpr int HDF_STRING = 0x4000;

inline constexpr UINT LVHT_ONITEM = 0x000EU;
inline constexpr UINT LVNI_SELECTED = 0x0002U;
inline constexpr UINT LVIS_SELECTED = 0x0002U;

// Custom-draw stages and answers.
inline constexpr DWORD CDDS_ITEMPREPAINT = 0x00010001U;
inline constexpr DWORD CDDS_SUBITEM = 0x00020000U;
inline constexpr LRESULT CDRF_DODEFAULT = 0x0000;
inline constexpr LRESULT CDRF_SKIPDEFAULT = 0x0004;

struct LVCOLUMN {
    UINT mask = 0;
    int fmt = 0;
    int cx = 0;
    LPCTSTR pszText = nullptr;
};

struct HDITEM {
    UINT mask = 0;
    int fmt = 0;
    int iImage = 0;
};

struct LVHITTESTINFO {
    POINT pt;
    UINT flags = 0;
    int iItem = -1;
    int iSubItem = -1;
};

// One cell being painted.
struct NMLVCUSTOMDRAW {
    DWORD dwDrawStage = 0;
    HDC hdc = nullptr;
    RECT rc;
    ULONG_PTR dwItemSpec = 0;  // the row
    UINT uItemState = 0;       // ODS_SELECTED when the row is selected
    int iSubItem = 0;          // the column
    COLORREF clrText = 0;
    COLORREF clrTextBk = 0;
};

class CHeaderCtrl : public CWnd {
public:
    int GetItemCount() const;
    BOOL GetItemRect(int nIndex, LPRECT lpRect) const;
    CImageList* SetImageList(CImageList* pImageList);
    CImageList* GetImageList() const;
    BOOL GetItem(int nPos, HDITEM* pHeaderItem) const;
    BOOL SetItem(int nPos, HDITEM* pHeaderItem);
};

class CListCtrl : public CWnd {
public:
    CListCtrl();
    ~CListCtrl() override;

    DWORD SetExtendedStyle(DWORD dwNewStyle);
    DWORD GetExtendedStyle() const;
    int InsertColumn(int nCol, LPCTSTR lpszColumnHeading, int nFormat = LVCFMT_LEFT, int nWidth = -1,
                     int nSubItem = -1);
    BOOL SetColumn(int nCol, const LVCOLUMN* pColumn);
    int GetColumnWidth(int nCol) const;
    int GetColumnCount() const;
    int InsertItem(int nItem, LPCTSTR lpszItem);
    BOOL SetItemText(int nItem, int nSubItem, LPCTSTR lpszText);
    CString GetItemText(int nItem, int nSubItem) const;
    int GetItemCount() const;
    BOOL DeleteItem(int nItem);
    BOOL DeleteAllItems();
    BOOL SetItemData(int nItem, ULONG_PTR dwData);
    ULONG_PTR GetItemData(int nItem) const;
    int GetNextItem(int nItem, int nFlags) const;
    BOOL SetItemState(int nItem, UINT nState, UINT nMask);
    int SubItemHitTest(LVHITTESTINFO* pInfo) const;
    BOOL GetSubItemRect(int iItem, int iSubItem, int nArea, CRect& ref) const;
    BOOL RedrawItems(int nFirst, int nLast);
    CHeaderCtrl* GetHeaderCtrl() const;

    // Reflected notifications: each cell before it is painted (answer
    // CDRF_SKIPDEFAULT after painting it yourself), and a click on a column
    // header.
    virtual void OnCustomDraw(NMLVCUSTOMDRAW* pDraw, LRESULT* pResult);
    virtual void OnColumnClick(int nColumn);

private:
    mutable CHeaderCtrl m_header;
};
