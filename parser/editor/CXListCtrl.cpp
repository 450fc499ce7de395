#include "parser/editor/CXListCtrl.h"

#include <algorithm>

#include "platform/ui/Wnd.h"

UINT CXListCtrl::WM_XLISTCTRL_CHECKBOX_CLICKED() {
    static const UINT message = RegisterWindowMessage(L"WM_XLISTCTRL_CHECKBOX_CLICKED");
    return message;
}

UINT CXListCtrl::WM_XLISTCTRL_COMBO_SELECTION() {
    static const UINT message = RegisterWindowMessage(L"WM_XLISTCTRL_COMBO_SELECTION");
    return message;
}

CXListCtrl::CXListCtrl()
    : m_crWindowText(GetSysColor(COLOR_WINDOWTEXT)),
      m_crWindow(GetSysColor(COLOR_WINDOW)),
      m_crHighlight(GetSysColor(COLOR_HIGHLIGHT)),
      m_crHighlightText(GetSysColor(COLOR_HIGHLIGHTTEXT)),
      m_crGrayText(GetSysColor(COLOR_GRAYTEXT)) {}

XLISTCTRLDATA* CXListCtrl::Cell(int nItem, int nSubItem) {
    if (nItem < 0 || nSubItem < 0 || static_cast<size_t>(nItem) >= m_rows.size()) {
        return nullptr;
    }
    auto& row = m_rows[static_cast<size_t>(nItem)];
    return static_cast<size_t>(nSubItem) < row.size() ? &row[static_cast<size_t>(nSubItem)] : nullptr;
}

const XLISTCTRLDATA* CXListCtrl::Cell(int nItem, int nSubItem) const {
    return const_cast<CXListCtrl*>(this)->Cell(nItem, nSubItem);
}

int CXListCtrl::InsertItem(int nItem, LPCTSTR lpszItem) {
    const int row = CListCtrl::InsertItem(nItem, lpszItem);
    if (row < 0) {
        return -1;
    }
    XLISTCTRLDATA cell;
    cell.crText = m_crWindowText;
    cell.crBackground = m_crWindow;
    m_rows.insert(m_rows.begin() + row,
                  std::vector<XLISTCTRLDATA>(static_cast<size_t>(std::max(1, GetColumnCount())), cell));
    return row;
}

BOOL CXListCtrl::DeleteItem(int nItem) {
    if (!CListCtrl::DeleteItem(nItem)) {
        return FALSE;
    }
    m_rows.erase(m_rows.begin() + nItem);
    return TRUE;
}

BOOL CXListCtrl::DeleteAllItems() {
    m_rows.clear();
    return CListCtrl::DeleteAllItems();
}

BOOL CXListCtrl::SetCheckbox(int nItem, int nSubItem, int nCheckedState) {
    XLISTCTRLDATA* cell = Cell(nItem, nSubItem);
    if (cell == nullptr) {
        return FALSE;
    }
    cell->nCheckedState = nCheckedState < 0 ? -1 : (nCheckedState > 0 ? 1 : 0);
    RedrawItems(nItem, nItem);
    UpdateHeaderCheckbox(nSubItem);
    return TRUE;
}

int CXListCtrl::GetCheckbox(int nItem, int nSubItem) const {
    const XLISTCTRLDATA* cell = Cell(nItem, nSubItem);
    return cell == nullptr ? -1 : cell->nCheckedState;
}

BOOL CXListCtrl::SetItemData(int nItem, ULONG_PTR dwData) {
    return CListCtrl::SetItemData(nItem, dwData);
}

ULONG_PTR CXListCtrl::GetItemData(int nItem) const {
    return nItem < 0 || nItem >= GetItemCount() ? 0 : CListCtrl::GetItemData(nItem);
}

BOOL CXListCtrl::SetItemColors(int nItem, int nSubItem, COLORREF crText, COLORREF crBackground) {
    XLISTCTRLDATA* cell = Cell(nItem, nSubItem);
    if (cell == nullptr) {
        return FALSE;
    }
    cell->crText = crText;
    cell->crBackground = crBackground;
    RedrawItems(nItem, nItem);
    return TRUE;
}

int CXListCtrl::HeaderImage(int nSubItem) const {
    CHeaderCtrl* header = GetHeaderCtrl();
    HDITEM item;
    item.mask = HDI_IMAGE | HDI_FORMAT;
    if (header == nullptr || !header->GetItem(nSubItem, &item) || (item.fmt & HDF_IMAGE) == 0) {
        return -1;
    }
    return item.iImage;
}

void CXListCtrl::UpdateHeaderCheckbox(int nSubItem) {
    const int image = HeaderImage(nSubItem);
    if (image != 1 && image != 2) {
        return;
    }
    bool all = true;
    for (int row = 0; row < GetItemCount(); ++row) {
        if (GetCheckbox(row, nSubItem) != 1) {
            all = false;
            break;
        }
    }
    HDITEM item;
    item.mask = HDI_IMAGE;
    item.iImage = all ? 2 : 1;
    GetHeaderCtrl()->SetItem(nSubItem, &item);
}

void CXListCtrl::ToggleCheckbox(int nItem, int nSubItem) {
    XLISTCTRLDATA* cell = Cell(nItem, nSubItem);
    if (cell == nullptr || cell->nCheckedState < 0) {
        return;
    }
    cell->nCheckedState = cell->nCheckedState == 0 ? 1 : 0;
    RedrawItems(nItem, nItem);
    if (CWnd* parent = GetParent()) {
        parent->SendMessage(WM_XLISTCTRL_CHECKBOX_CLICKED(), static_cast<WPARAM>(nItem), nSubItem);
    }
    UpdateHeaderCheckbox(nSubItem);
}

void CXListCtrl::OnLButtonDown(UINT nFlags, CPoint point) {
    LVHITTESTINFO hit;
    hit.pt = point;
    SubItemHitTest(&hit);
    if (hit.iItem >= 0 && hit.iSubItem >= 0) {
        ToggleCheckbox(hit.iItem, hit.iSubItem);
    }
    CListCtrl::OnLButtonDown(nFlags, point);
}

void CXListCtrl::OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags) {
    // Space ticks the selected row's first check box, so the list needs no
    // mouse.
    if (nChar == VK_SPACE) {
        const int row = GetNextItem(-1, LVNI_SELECTED);
        for (int column = 0; row >= 0 && column < GetColumnCount(); ++column) {
            if (GetCheckbox(row, column) >= 0) {
                ToggleCheckbox(row, column);
                return;
            }
        }
    }
    CListCtrl::OnKeyDown(nChar, nRepCnt, nFlags);
}

void CXListCtrl::OnColumnClick(int nColumn) {
    const int image = HeaderImage(nColumn);
    if (image != 1 && image != 2) {
        return;
    }
    const int next = image == 1 ? 2 : 1;
    HDITEM item;
    item.mask = HDI_IMAGE;
    item.iImage = next;
    GetHeaderCtrl()->SetItem(nColumn, &item);
    for (int row = 0; row < GetItemCount(); ++row) {
        if (GetCheckbox(row, nColumn) >= 0) {
            Cell(row, nColumn)->nCheckedState = next == 2 ? 1 : 0;
        }
    }
    RedrawItems(0, GetItemCount() - 1);
}

void CXListCtrl::OnCustomDraw(NMLVCUSTOMDRAW* pDraw, LRESULT* pResult) {
    *pResult = CDRF_DODEFAULT;
    const int row = static_cast<int>(pDraw->dwItemSpec);
    const XLISTCTRLDATA* cell = Cell(row, pDraw->iSubItem);
    if (cell == nullptr || cell->nCheckedState < 0) {
        return;
    }
    CDC* pDC = CDC::FromHandle(pDraw->hdc);
    const bool selected = (pDraw->uItemState & ODS_SELECTED) != 0;
    CRect rect = pDraw->rc;
    pDC->FillSolidRect(&rect, selected ? m_crHighlight : cell->crBackground);
    TEXTMETRIC metrics;
    pDC->GetTextMetrics(&metrics);
    const long side = std::min<long>(rect.Height() - 4, metrics.tmHeight);
    CRect box(rect.left + 4, rect.top + (rect.Height() - side) / 2, rect.left + 4 + side,
              rect.top + (rect.Height() - side) / 2 + side);
    pDC->DrawFrameControl(&box, DFC_BUTTON, DFCS_BUTTONCHECK | (cell->nCheckedState == 1 ? DFCS_CHECKED : 0));
    const CString text = GetItemText(row, pDraw->iSubItem);
    if (!text.empty()) {
        CRect textRect(box.right + 4, rect.top, rect.right - 2, rect.bottom);
        pDC->SetBkMode(TRANSPARENT);
        pDC->SetTextColor(selected ? m_crHighlightText : cell->crText);
        pDC->DrawText(text, &textRect, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
    }
    *pResult = CDRF_SKIPDEFAULT;
}

void CXListCtrl::OnPaint() {
    Default();
    if (GetItemCount() != 0) {
        return;
    }
    CClientDC dc(this);
    CRect rect;
    GetClientRect(&rect);
    CRect header;
    if (GetHeaderCtrl() != nullptr && GetHeaderCtrl()->GetItemRect(0, &header)) {
        rect.top = header.bottom;
    }
    rect.top += 10;
    if (rect.bottom <= rect.top) {
        return;
    }
    dc.FillSolidRect(&rect, m_crWindow);
    dc.SetBkMode(TRANSPARENT);
    dc.SetTextColor(m_crWindowText);
    dc.DrawText(msc_sEmptyText, &rect, DT_CENTER | DT_WORDBREAK | DT_NOPREFIX);
}
