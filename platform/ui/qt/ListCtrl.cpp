// The report-view list control on QTableWidget.
#include <QHeaderView>
#include <QIcon>
#include <QPixmap>

#include <algorithm>

#include "platform/ui/Gdi.h"
#include "platform/ui/ListCtrl.h"
#include "platform/ui/qt/Gdi.h"
#include "platform/ui/qt/ListView.h"
#include "platform/ui/qt/Widgets.h"

namespace sw::ui::qt {

ListView::ListView(QWidget* parent) : Hooked<QTableWidget>(parent) {
    verticalHeader()->hide();
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setShowGrid(false);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setSectionsClickable(true);
    horizontalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    setItemDelegate(new CustomDrawDelegate(this));
    connect(horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int column) {
        if (auto* list = dynamic_cast<CListCtrl*>(info.receiver)) {
            WithDefault([] {}, [&] { list->OnColumnClick(column); });
        }
    });
}

Qt::Alignment ListView::ColumnAlignment(int column) const {
    if (column < 0 || column >= static_cast<int>(columns.size())) {
        return Qt::AlignLeft | Qt::AlignVCenter;
    }
    const int format = columns[static_cast<size_t>(column)].format;
    const Qt::Alignment horizontal = (format & LVCFMT_CENTER) != 0  ? Qt::AlignHCenter
                                     : (format & LVCFMT_RIGHT) != 0 ? Qt::AlignRight
                                                                    : Qt::AlignLeft;
    return horizontal | Qt::AlignVCenter;
}

void ListView::UpdateHeaderItem(int column) {
    QTableWidgetItem* item = horizontalHeaderItem(column);
    if (item == nullptr) {
        return;
    }
    item->setTextAlignment(ColumnAlignment(column));
    const HDITEM& header = columns[static_cast<size_t>(column)].header;
    CImageList* images = info.headerImages;
    if ((header.fmt & HDF_IMAGE) != 0 && images != nullptr && images->GetImpl() != nullptr &&
        header.iImage >= 0 && header.iImage < images->GetImageCount()) {
        item->setIcon(
            QIcon(QPixmap::fromImage(images->GetImpl()->images[static_cast<size_t>(header.iImage)])));
    } else {
        item->setIcon(QIcon());
    }
}

void CustomDrawDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                               const QModelIndex& index) const {
    auto* list = dynamic_cast<CListCtrl*>(m_view->info.receiver);
    if (list != nullptr) {
        const QPoint offset = ViewportOffset(m_view);
        painter->save();
        CDC dc;
        AttachPainter(&dc, painter, -offset);
        NMLVCUSTOMDRAW draw;
        draw.dwDrawStage = CDDS_ITEMPREPAINT | CDDS_SUBITEM;
        draw.hdc = dc.m_hDC;
        const QRect cell = option.rect.translated(offset);
        draw.rc.SetRect(cell.left(), cell.top(), cell.right() + 1, cell.bottom() + 1);
        draw.dwItemSpec = static_cast<ULONG_PTR>(index.row());
        draw.iSubItem = index.column();
        draw.uItemState = (option.state & QStyle::State_Selected) != 0 ? ODS_SELECTED : 0;
        LRESULT result = CDRF_DODEFAULT;
        WithDefault([] {}, [&] { list->OnCustomDraw(&draw, &result); });
        painter->restore();
        if (result == CDRF_SKIPDEFAULT) {
            return;
        }
    }
    QStyleOptionViewItem aligned = option;
    aligned.displayAlignment = m_view->ColumnAlignment(index.column());
    QStyledItemDelegate::paint(painter, aligned, index);
}

}  // namespace sw::ui::qt

using sw::ui::qt::kItemDataRole;
using sw::ui::qt::ListView;
using sw::ui::qt::Q;
using sw::ui::qt::W;

namespace {

ListView* ViewOf(HWND hWnd) {
    return dynamic_cast<ListView*>(sw::ui::qt::ToWidget(hWnd));
}

ListView* ViewOfHeader(HWND hWnd) {
    QWidget* header = sw::ui::qt::ToWidget(hWnd);
    return header == nullptr ? nullptr : dynamic_cast<ListView*>(header->parentWidget());
}

bool ValidColumn(const ListView* view, int column) {
    return view != nullptr && column >= 0 && column < view->columnCount();
}

}  // namespace

// CHeaderCtrl

int CHeaderCtrl::GetItemCount() const {
    const ListView* view = ViewOfHeader(m_hWnd);
    return view == nullptr ? -1 : view->columnCount();
}

BOOL CHeaderCtrl::GetItemRect(int nIndex, LPRECT lpRect) const {
    const ListView* view = ViewOfHeader(m_hWnd);
    if (!ValidColumn(view, nIndex)) {
        return FALSE;
    }
    const QHeaderView* header = view->horizontalHeader();
    const int left = header->sectionViewportPosition(nIndex);
    lpRect->SetRect(left, 0, left + header->sectionSize(nIndex), header->height());
    return TRUE;
}

CImageList* CHeaderCtrl::SetImageList(CImageList* pImageList) {
    ListView* view = ViewOfHeader(m_hWnd);
    if (view == nullptr) {
        return nullptr;
    }
    CImageList* previous = std::exchange(view->info.headerImages, pImageList);
    for (int column = 0; column < view->columnCount(); ++column) {
        view->UpdateHeaderItem(column);
    }
    return previous;
}

CImageList* CHeaderCtrl::GetImageList() const {
    const ListView* view = ViewOfHeader(m_hWnd);
    return view == nullptr ? nullptr : view->info.headerImages;
}

BOOL CHeaderCtrl::GetItem(int nPos, HDITEM* pHeaderItem) const {
    const ListView* view = ViewOfHeader(m_hWnd);
    if (!ValidColumn(view, nPos) || pHeaderItem == nullptr) {
        return FALSE;
    }
    const HDITEM& stored = view->columns[static_cast<size_t>(nPos)].header;
    if ((pHeaderItem->mask & HDI_FORMAT) != 0) {
        pHeaderItem->fmt = stored.fmt;
    }
    if ((pHeaderItem->mask & HDI_IMAGE) != 0) {
        pHeaderItem->iImage = stored.iImage;
    }
    return TRUE;
}

BOOL CHeaderCtrl::SetItem(int nPos, HDITEM* pHeaderItem) {
    ListView* view = ViewOfHeader(m_hWnd);
    if (!ValidColumn(view, nPos) || pHeaderItem == nullptr) {
        return FALSE;
    }
    HDITEM& stored = view->columns[static_cast<size_t>(nPos)].header;
    if ((pHeaderItem->mask & HDI_FORMAT) != 0) {
        stored.fmt = pHeaderItem->fmt;
    }
    if ((pHeaderItem->mask & HDI_IMAGE) != 0) {
        stored.iImage = pHeaderItem->iImage;
    }
    view->UpdateHeaderItem(nPos);
    return TRUE;
}

// CListCtrl

CListCtrl::CListCtrl() = default;

CListCtrl::~CListCtrl() {
    m_header.m_hWnd = nullptr;
}

DWORD CListCtrl::SetExtendedStyle(DWORD dwNewStyle) {
    ListView* view = ViewOf(m_hWnd);
    if (view == nullptr) {
        return 0;
    }
    const DWORD previous = std::exchange(view->info.listExStyle, dwNewStyle);
    view->setShowGrid((dwNewStyle & LVS_EX_GRIDLINES) != 0);
    view->info.toolTips = view->info.toolTips || (dwNewStyle & LVS_EX_INFOTIP) != 0;
    return previous;
}

DWORD CListCtrl::GetExtendedStyle() const {
    const ListView* view = ViewOf(m_hWnd);
    return view == nullptr ? 0 : view->info.listExStyle;
}

int CListCtrl::InsertColumn(int nCol, LPCTSTR lpszColumnHeading, int nFormat, int nWidth, int /*nSubItem*/) {
    ListView* view = ViewOf(m_hWnd);
    if (view == nullptr || nCol < 0) {
        return -1;
    }
    const int column = std::min(nCol, view->columnCount());
    view->insertColumn(column);
    ListView::Column info;
    info.format = nFormat;
    info.header.fmt = HDF_STRING | (nFormat & LVCFMT_CENTER ? HDF_CENTER : HDF_LEFT);
    view->columns.insert(view->columns.begin() + column, info);
    view->setHorizontalHeaderItem(column, new QTableWidgetItem(Q(lpszColumnHeading)));
    if (nWidth >= 0) {
        view->setColumnWidth(column, nWidth);
    }
    view->UpdateHeaderItem(column);
    return column;
}

BOOL CListCtrl::SetColumn(int nCol, const LVCOLUMN* pColumn) {
    ListView* view = ViewOf(m_hWnd);
    if (!ValidColumn(view, nCol) || pColumn == nullptr) {
        return FALSE;
    }
    if ((pColumn->mask & LVCF_FMT) != 0) {
        view->columns[static_cast<size_t>(nCol)].format = pColumn->fmt;
    }
    if ((pColumn->mask & LVCF_WIDTH) != 0) {
        view->setColumnWidth(nCol, pColumn->cx);
    }
    if ((pColumn->mask & LVCF_TEXT) != 0 && view->horizontalHeaderItem(nCol) != nullptr) {
        view->horizontalHeaderItem(nCol)->setText(Q(pColumn->pszText));
    }
    view->UpdateHeaderItem(nCol);
    view->viewport()->update();
    return TRUE;
}

int CListCtrl::GetColumnWidth(int nCol) const {
    const ListView* view = ViewOf(m_hWnd);
    return ValidColumn(view, nCol) ? view->columnWidth(nCol) : 0;
}

int CListCtrl::GetColumnCount() const {
    const ListView* view = ViewOf(m_hWnd);
    return view == nullptr ? 0 : view->columnCount();
}

int CListCtrl::InsertItem(int nItem, LPCTSTR lpszItem) {
    ListView* view = ViewOf(m_hWnd);
    if (view == nullptr || nItem < 0) {
        return -1;
    }
    const int row = std::min(nItem, view->rowCount());
    view->insertRow(row);
    for (int column = 0; column < view->columnCount(); ++column) {
        auto* cell = new QTableWidgetItem();
        cell->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        view->setItem(row, column, cell);
    }
    if (view->columnCount() > 0) {
        view->item(row, 0)->setData(kItemDataRole, QVariant::fromValue<qulonglong>(0));
    }
    SetItemText(row, 0, lpszItem);
    return row;
}

BOOL CListCtrl::SetItemText(int nItem, int nSubItem, LPCTSTR lpszText) {
    ListView* view = ViewOf(m_hWnd);
    if (view == nullptr || view->item(nItem, nSubItem) == nullptr) {
        return FALSE;
    }
    QTableWidgetItem* cell = view->item(nItem, nSubItem);
    cell->setText(Q(lpszText));
    if (view->info.toolTips) {
        cell->setToolTip(cell->text());
    }
    return TRUE;
}

CString CListCtrl::GetItemText(int nItem, int nSubItem) const {
    const ListView* view = ViewOf(m_hWnd);
    if (view == nullptr || view->item(nItem, nSubItem) == nullptr) {
        return {};
    }
    return W(view->item(nItem, nSubItem)->text());
}

int CListCtrl::GetItemCount() const {
    const ListView* view = ViewOf(m_hWnd);
    return view == nullptr ? 0 : view->rowCount();
}

BOOL CListCtrl::DeleteItem(int nItem) {
    ListView* view = ViewOf(m_hWnd);
    if (view == nullptr || nItem < 0 || nItem >= view->rowCount()) {
        return FALSE;
    }
    view->removeRow(nItem);
    return TRUE;
}

BOOL CListCtrl::DeleteAllItems() {
    ListView* view = ViewOf(m_hWnd);
    if (view == nullptr) {
        return FALSE;
    }
    view->setRowCount(0);
    return TRUE;
}

BOOL CListCtrl::SetItemData(int nItem, ULONG_PTR dwData) {
    ListView* view = ViewOf(m_hWnd);
    if (view == nullptr || view->item(nItem, 0) == nullptr) {
        return FALSE;
    }
    view->item(nItem, 0)->setData(kItemDataRole, QVariant::fromValue<qulonglong>(dwData));
    return TRUE;
}

ULONG_PTR CListCtrl::GetItemData(int nItem) const {
    const ListView* view = ViewOf(m_hWnd);
    if (view == nullptr || view->item(nItem, 0) == nullptr) {
        return 0;
    }
    return static_cast<ULONG_PTR>(view->item(nItem, 0)->data(kItemDataRole).toULongLong());
}

int CListCtrl::GetNextItem(int nItem, int nFlags) const {
    const ListView* view = ViewOf(m_hWnd);
    if (view == nullptr) {
        return -1;
    }
    for (int row = nItem + 1; row < view->rowCount(); ++row) {
        if ((static_cast<UINT>(nFlags) & LVNI_SELECTED) == 0 ||
            view->selectionModel()->isRowSelected(row, {})) {
            return row;
        }
    }
    return -1;
}

BOOL CListCtrl::SetItemState(int nItem, UINT nState, UINT nMask) {
    ListView* view = ViewOf(m_hWnd);
    if (view == nullptr || nItem < 0 || nItem >= view->rowCount() || (nMask & LVIS_SELECTED) == 0) {
        return FALSE;
    }
    if ((nState & LVIS_SELECTED) != 0) {
        view->selectRow(nItem);
    } else {
        view->clearSelection();
    }
    return TRUE;
}

int CListCtrl::SubItemHitTest(LVHITTESTINFO* pInfo) const {
    const ListView* view = ViewOf(m_hWnd);
    if (view == nullptr || pInfo == nullptr) {
        return -1;
    }
    const QPoint point = QPoint(static_cast<int>(pInfo->pt.x), static_cast<int>(pInfo->pt.y)) -
                         sw::ui::qt::ViewportOffset(view);
    const QModelIndex index = view->indexAt(point);
    pInfo->flags = index.isValid() ? LVHT_ONITEM : 0;
    pInfo->iItem = index.isValid() ? index.row() : -1;
    pInfo->iSubItem = index.isValid() ? index.column() : -1;
    return pInfo->iItem;
}

BOOL CListCtrl::GetSubItemRect(int iItem, int iSubItem, int /*nArea*/, CRect& ref) const {
    const ListView* view = ViewOf(m_hWnd);
    if (view == nullptr || view->item(iItem, iSubItem) == nullptr) {
        return FALSE;
    }
    const QRect cell =
        view->visualItemRect(view->item(iItem, iSubItem)).translated(sw::ui::qt::ViewportOffset(view));
    ref.SetRect(cell.left(), cell.top(), cell.right() + 1, cell.bottom() + 1);
    return TRUE;
}

BOOL CListCtrl::RedrawItems(int /*nFirst*/, int /*nLast*/) {
    ListView* view = ViewOf(m_hWnd);
    if (view == nullptr) {
        return FALSE;
    }
    view->viewport()->update();
    return TRUE;
}

CHeaderCtrl* CListCtrl::GetHeaderCtrl() const {
    ListView* view = ViewOf(m_hWnd);
    m_header.m_hWnd = view == nullptr ? nullptr : sw::ui::qt::ToHandle(view->horizontalHeader());
    return view == nullptr ? nullptr : &m_header;
}

void CListCtrl::OnCustomDraw(NMLVCUSTOMDRAW* /*pDraw*/, LRESULT* pResult) {
    *pResult = CDRF_DODEFAULT;
}

void CListCtrl::OnColumnClick(int /*nColumn*/) {}
