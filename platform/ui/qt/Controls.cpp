// The standard controls on their Qt widgets: buttons, edits, list boxes and
// progress bars.
#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QSignalBlocker>

#include <algorithm>

#include "platform/ui/Controls.h"
#include "platform/ui/qt/Widgets.h"

using sw::ui::qt::As;
using sw::ui::qt::kItemDataRole;
using sw::ui::qt::Q;
using sw::ui::qt::W;

// CButton

int CButton::GetCheck() const {
    const auto* box = As<QCheckBox>(m_hWnd);
    return box != nullptr && box->isChecked() ? BST_CHECKED : BST_UNCHECKED;
}

void CButton::SetCheck(int nCheck) {
    if (auto* box = As<QCheckBox>(m_hWnd)) {
        box->setChecked(nCheck != BST_UNCHECKED);
    }
}

UINT CButton::GetState() const {
    const auto* button = As<QAbstractButton>(m_hWnd);
    if (button == nullptr) {
        return 0;
    }
    UINT state = static_cast<UINT>(GetCheck());
    if (button->isDown()) {
        state |= BST_PUSHED;
    }
    if (button->hasFocus()) {
        state |= BST_FOCUS;
    }
    return state;
}

void CButton::SetState(BOOL bHighlight) {
    SendMessage(BM_SETSTATE, bHighlight != FALSE ? 1 : 0);
}

UINT CButton::GetButtonStyle() const {
    return GetStyle() & 0xFFFFU;
}

void CButton::SetButtonStyle(UINT nStyle, BOOL bRedraw) {
    SendMessage(BM_SETSTYLE, nStyle, bRedraw);
}

// CEdit

BOOL CEdit::SetReadOnly(BOOL bReadOnly) {
    auto* edit = As<QLineEdit>(m_hWnd);
    if (edit == nullptr) {
        return FALSE;
    }
    edit->setReadOnly(bReadOnly != FALSE);
    if (sw::ui::qt::WindowBase* window = sw::ui::qt::Base(m_hWnd)) {
        window->info.style =
            bReadOnly != FALSE ? (window->info.style | ES_READONLY) : (window->info.style & ~ES_READONLY);
    }
    return TRUE;
}

void CEdit::SetSel(int nStartChar, int nEndChar, BOOL /*bNoScroll*/) {
    auto* edit = As<QLineEdit>(m_hWnd);
    if (edit == nullptr) {
        return;
    }
    const int length = static_cast<int>(edit->text().size());
    const int end = nEndChar < 0 ? length : std::min(nEndChar, length);
    const int start = std::clamp(nStartChar, 0, length);
    if (nStartChar < 0) {
        edit->deselect();
        return;
    }
    edit->setSelection(start, end - start);
}

// CListBox

int CListBox::GetCount() const {
    const auto* list = As<QListWidget>(m_hWnd);
    return list == nullptr ? LB_ERR : list->count();
}

int CListBox::GetCurSel() const {
    const auto* list = As<QListWidget>(m_hWnd);
    if (list == nullptr) {
        return LB_ERR;
    }
    const QList<QListWidgetItem*> selected = list->selectedItems();
    return selected.isEmpty() ? LB_ERR : list->row(selected.first());
}

int CListBox::SetCurSel(int nSelect) {
    auto* list = As<QListWidget>(m_hWnd);
    if (list == nullptr) {
        return LB_ERR;
    }
    const QSignalBlocker quiet(list);
    if (nSelect < 0 || nSelect >= list->count()) {
        list->clearSelection();
        list->setCurrentRow(-1);
        list->viewport()->update();
        return nSelect == -1 ? 0 : LB_ERR;
    }
    list->setCurrentRow(nSelect, QItemSelectionModel::ClearAndSelect);
    list->viewport()->update();
    return nSelect;
}

int CListBox::AddString(LPCTSTR lpszItem) {
    return InsertString(-1, lpszItem);
}

int CListBox::InsertString(int nIndex, LPCTSTR lpszItem) {
    auto* list = As<QListWidget>(m_hWnd);
    if (list == nullptr) {
        return LB_ERR;
    }
    const QSignalBlocker quiet(list);
    const int position = nIndex < 0 || nIndex > list->count() ? list->count() : nIndex;
    auto* item = new QListWidgetItem(Q(lpszItem));
    item->setData(kItemDataRole, QVariant::fromValue<qulonglong>(0));
    list->insertItem(position, item);
    return position;
}

int CListBox::DeleteString(UINT nIndex) {
    auto* list = As<QListWidget>(m_hWnd);
    if (list == nullptr || static_cast<int>(nIndex) >= list->count()) {
        return LB_ERR;
    }
    const QSignalBlocker quiet(list);
    const bool wasSelected = list->item(static_cast<int>(nIndex))->isSelected();
    delete list->takeItem(static_cast<int>(nIndex));
    if (wasSelected) {
        // As on Windows: the list is left without a selection.
        list->clearSelection();
        list->setCurrentRow(-1);
    }
    return list->count();
}

void CListBox::ResetContent() {
    if (auto* list = As<QListWidget>(m_hWnd)) {
        const QSignalBlocker quiet(list);
        list->clear();
    }
}

int CListBox::GetText(int nIndex, CString& rString) const {
    const auto* list = As<QListWidget>(m_hWnd);
    if (list == nullptr || nIndex < 0 || nIndex >= list->count()) {
        rString.clear();
        return LB_ERR;
    }
    rString = W(list->item(nIndex)->text());
    return static_cast<int>(rString.size());
}

int CListBox::SetItemDataPtr(int nIndex, void* pData) {
    auto* list = As<QListWidget>(m_hWnd);
    if (list == nullptr || nIndex < 0 || nIndex >= list->count()) {
        return LB_ERR;
    }
    list->item(nIndex)->setData(kItemDataRole,
                                QVariant::fromValue<qulonglong>(reinterpret_cast<ULONG_PTR>(pData)));
    return 0;
}

void* CListBox::GetItemDataPtr(int nIndex) const {
    const auto* list = As<QListWidget>(m_hWnd);
    if (list == nullptr || nIndex < 0 || nIndex >= list->count()) {
        return reinterpret_cast<void*>(static_cast<LONG_PTR>(LB_ERR));
    }
    return reinterpret_cast<void*>(
        static_cast<ULONG_PTR>(list->item(nIndex)->data(kItemDataRole).toULongLong()));
}

int CListBox::FindStringExact(int nIndexStart, LPCTSTR lpszFind) const {
    const auto* list = As<QListWidget>(m_hWnd);
    if (list == nullptr || list->count() == 0) {
        return LB_ERR;
    }
    const QString text = Q(lpszFind);
    const int count = list->count();
    const int first = nIndexStart < 0 || nIndexStart >= count ? 0 : nIndexStart + 1;
    for (int step = 0; step < count; ++step) {
        const int row = (first + step) % count;
        if (QString::compare(list->item(row)->text(), text, Qt::CaseInsensitive) == 0) {
            return row;
        }
    }
    return LB_ERR;
}

// CProgressCtrl

void CProgressCtrl::SetRange(short nLower, short nUpper) {
    if (auto* bar = As<QProgressBar>(m_hWnd)) {
        bar->setRange(nLower, nUpper);
    }
}

int CProgressCtrl::SetPos(int nPos) {
    auto* bar = As<QProgressBar>(m_hWnd);
    if (bar == nullptr) {
        return 0;
    }
    const int previous = bar->value();
    bar->setValue(std::clamp(nPos, bar->minimum(), bar->maximum()));
    return previous;
}

int CProgressCtrl::GetPos() const {
    const auto* bar = As<QProgressBar>(m_hWnd);
    return bar == nullptr ? 0 : bar->value();
}

int CProgressCtrl::OffsetPos(int nPos) {
    return SetPos(GetPos() + nPos);
}
