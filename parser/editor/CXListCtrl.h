// A report-view list whose cells can hold check boxes, with a header that
// can tick or untick a whole column, and a text in place of an empty list.
#pragma once

#include <vector>

#include "platform/ui/Gdi.h"
#include "platform/ui/ListCtrl.h"

// The header of a CXListCtrl. Qt paints it in one pass, so the off-screen
// copy of the original is not needed; the tick-all images are those of the
// header's image list.
class CXHeaderCtrl : public CHeaderCtrl {};

// One cell's record.
struct XLISTCTRLDATA {
    COLORREF crText = 0;
    COLORREF crBackground = 0;
    std::vector<CString> comboStrings;  // an in-cell drop-down list (not used here)
    int nCheckedState = -1;             // -1 no check box, 0 unticked, 1 ticked
};

class CXListCtrl : public CListCtrl {
public:
    // Sent to the parent with the row and column of a clicked check box.
    static UINT WM_XLISTCTRL_CHECKBOX_CLICKED();
    // Sent to the parent after an in-cell list's choice went into its cell.
    static UINT WM_XLISTCTRL_COMBO_SELECTION();

    static constexpr const wchar_t* msc_sEmptyText = L"There are no items to show in this view.";

    CXListCtrl();

    // A row with the default colours; its index, -1 on failure.
    int InsertItem(int nItem, LPCTSTR lpszItem);
    BOOL DeleteItem(int nItem);
    BOOL DeleteAllItems();
    // -1 removes the check box; repaints the cell and brings the column's
    // tick-all image up to date.
    BOOL SetCheckbox(int nItem, int nSubItem, int nCheckedState);
    // -1 for a row or column that does not exist or has no check box.
    int GetCheckbox(int nItem, int nSubItem) const;
    BOOL SetItemData(int nItem, ULONG_PTR dwData);
    // 0 for a row that does not exist.
    ULONG_PTR GetItemData(int nItem) const;
    BOOL SetItemColors(int nItem, int nSubItem, COLORREF crText, COLORREF crBackground);

protected:
    void OnCustomDraw(NMLVCUSTOMDRAW* pDraw, LRESULT* pResult) override;
    void OnColumnClick(int nColumn) override;
    void OnLButtonDown(UINT nFlags, CPoint point) override;
    void OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags) override;
    void OnPaint() override;

private:
    XLISTCTRLDATA* Cell(int nItem, int nSubItem);
    const XLISTCTRLDATA* Cell(int nItem, int nSubItem) const;
    void ToggleCheckbox(int nItem, int nSubItem);
    int HeaderImage(int nSubItem) const;
    void UpdateHeaderCheckbox(int nSubItem);

    std::vector<std::vector<XLISTCTRLDATA>> m_rows;
    COLORREF m_crWindowText;
    COLORREF m_crWindow;
    COLORREF m_crHighlight;
    COLORREF m_crHighlightText;
    COLORREF m_crGrayText;
};
