// Drop-down lists on QComboBox; entries keep their values in the widget.
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

// CComboBox

int CComboBox::GetCount() const {
    const auto* combo = As<QComboBox>(m_hWnd);
    return combo == nullptr ? CB_ERR : combo->count();
}

int CComboBox::GetCurSel() const {
    const auto* combo = As<QComboBox>(m_hWnd);
    return combo == nullptr ? CB_ERR : combo->currentIndex();
}

int CComboBox::SetCurSel(int nSelect) {
    auto* combo = As<QComboBox>(m_hWnd);
    if (combo == nullptr) {
        return CB_ERR;
    }
    if (nSelect < 0 || nSelect >= combo->count()) {
        combo->setCurrentIndex(-1);
        return CB_ERR;
    }
    combo->setCurrentIndex(nSelect);
    return nSelect;
}

int CComboBox::AddString(LPCTSTR lpszString) {
    auto* combo = As<QComboBox>(m_hWnd);
    if (combo == nullptr) {
        return CB_ERR;
    }
    int position = combo->count();
    if ((GetStyle() & CBS_SORT) != 0) {
        const QString text = Q(lpszString);
        position = 0;
        while (position < combo->count() &&
               QString::compare(combo->itemText(position), text, Qt::CaseInsensitive) <= 0) {
            ++position;
        }
    }
    return InsertString(position, lpszString);
}

int CComboBox::InsertString(int nIndex, LPCTSTR lpszString) {
    auto* combo = dynamic_cast<sw::ui::qt::ComboBox*>(sw::ui::qt::ToWidget(m_hWnd));
    if (combo == nullptr) {
        return CB_ERR;
    }
    const int position = nIndex < 0 || nIndex > combo->count() ? combo->count() : nIndex;
    const int selected = combo->currentIndex();
    combo->insertItem(position, Q(lpszString));
    combo->setItemData(position, QVariant::fromValue<qulonglong>(0), kItemDataRole);
    // Inserting never chooses an entry, as on Windows.
    combo->setCurrentIndex(selected < 0 ? -1 : (selected >= position ? selected + 1 : selected));
    combo->Measure(position);
    return position;
}

int CComboBox::DeleteString(UINT nIndex) {
    auto* combo = As<QComboBox>(m_hWnd);
    if (combo == nullptr || static_cast<int>(nIndex) >= combo->count()) {
        return CB_ERR;
    }
    combo->removeItem(static_cast<int>(nIndex));
    return combo->count();
}

void CComboBox::ResetContent() {
    if (auto* combo = As<QComboBox>(m_hWnd)) {
        combo->clear();
    }
}

int CComboBox::GetLBText(int nIndex, CString& rString) const {
    const auto* combo = As<QComboBox>(m_hWnd);
    if (combo == nullptr || nIndex < 0 || nIndex >= combo->count()) {
        rString.clear();
        return CB_ERR;
    }
    rString = W(combo->itemText(nIndex));
    return static_cast<int>(rString.size());
}

int CComboBox::GetLBTextLen(int nIndex) const {
    CString text;
    return GetLBText(nIndex, text);
}

int CComboBox::SetItemData(int nIndex, ULONG_PTR dwItemData) {
    auto* combo = As<QComboBox>(m_hWnd);
    if (combo == nullptr || nIndex < 0 || nIndex >= combo->count()) {
        return CB_ERR;
    }
    combo->setItemData(nIndex, QVariant::fromValue<qulonglong>(dwItemData), kItemDataRole);
    return 0;
}

ULONG_PTR CComboBox::GetItemData(int nIndex) const {
    const auto* combo = As<QComboBox>(m_hWnd);
    if (combo == nullptr || nIndex < 0 || nIndex >= combo->count()) {
        return static_cast<ULONG_PTR>(CB_ERR);
    }
    return static_cast<ULONG_PTR>(combo->itemData(nIndex, kItemDataRole).toULongLong());
}

int CComboBox::SetItemDataPtr(int nIndex, void* pData) {
    return SetItemData(nIndex, reinterpret_cast<ULONG_PTR>(pData));
}

void* CComboBox::GetItemDataPtr(int nIndex) const {
    const auto* combo = As<QComboBox>(m_hWnd);
    if (combo == nullptr || nIndex < 0 || nIndex >= combo->count()) {
        return reinterpret_cast<void*>(static_cast<LONG_PTR>(CB_ERR));
    }
    return reinterpret_cast<void*>(GetItemData(nIndex));
}

int CComboBox::FindString(int nStartAfter, LPCTSTR lpszString) const {
    const auto* combo = As<QComboBox>(m_hWnd);
    if (combo == nullptr || combo->count() == 0) {
        return CB_ERR;
    }
    const QString prefix = Q(lpszString);
    const int count = combo->count();
    const int first = nStartAfter < 0 || nStartAfter >= count ? 0 : nStartAfter + 1;
    // The search runs to the end and goes on from the top, as on Windows.
    for (int step = 0; step < count; ++step) {
        const int row = (first + step) % count;
        if (combo->itemText(row).startsWith(prefix, Qt::CaseInsensitive)) {
            return row;
        }
    }
    return CB_ERR;
}

int CComboBox::FindStringExact(int nIndexStart, LPCTSTR lpszFind) const {
    const auto* combo = As<QComboBox>(m_hWnd);
    if (combo == nullptr || combo->count() == 0) {
        return CB_ERR;
    }
    const QString text = Q(lpszFind);
    const int count = combo->count();
    const int first = nIndexStart < 0 || nIndexStart >= count ? 0 : nIndexStart + 1;
    for (int step = 0; step < count; ++step) {
        const int row = (first + step) % count;
        if (QString::compare(combo->itemText(row), text, Qt::CaseInsensitive) == 0) {
            return row;
        }
    }
    return CB_ERR;
}

int CComboBox::SelectString(int nStartAfter, LPCTSTR lpszString) {
    const int row = FindString(nStartAfter, lpszString);
    if (row != CB_ERR) {
        SetCurSel(row);
    }
    return row;
}

int CComboBox::GetDroppedWidth() const {
    const auto* combo = As<QComboBox>(m_hWnd);
    return combo == nullptr ? CB_ERR : std::max(combo->width(), combo->view()->minimumWidth());
}

int CComboBox::SetDroppedWidth(UINT nWidth) {
    auto* combo = As<QComboBox>(m_hWnd);
    if (combo == nullptr) {
        return CB_ERR;
    }
    combo->view()->setMinimumWidth(static_cast<int>(nWidth));
    return static_cast<int>(nWidth);
}

BOOL CComboBox::GetDroppedState() const {
    const auto* combo = As<QComboBox>(m_hWnd);
    return combo != nullptr && combo->view()->isVisible() ? TRUE : FALSE;
}

void CComboBox::RemeasureItems() {
    if (auto* combo = dynamic_cast<sw::ui::qt::ComboBox*>(sw::ui::qt::ToWidget(m_hWnd))) {
        combo->Remeasure();
    }
}

void CComboBox::OnDropDown() {}
