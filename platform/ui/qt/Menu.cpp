// Pop-up menus: the entries are kept here; QMenu shows them.
#include "platform/ui/Menu.h"

#include <QAction>
#include <QMenu>

#include "platform/ui/Interactive.h"
#include "platform/ui/Wnd.h"

BOOL CMenu::CreatePopupMenu() {
    if (m_bCreated) {
        return FALSE;
    }
    m_bCreated = true;
    m_entries.clear();
    return TRUE;
}

BOOL CMenu::DestroyMenu() {
    const bool was = m_bCreated;
    m_bCreated = false;
    m_entries.clear();
    return was ? TRUE : FALSE;
}

BOOL CMenu::AppendMenu(UINT nFlags, UINT_PTR nIDNewItem, LPCTSTR lpszNewItem) {
    if (!m_bCreated) {
        return FALSE;
    }
    Entry entry;
    entry.flags = nFlags;
    entry.id = (nFlags & MF_SEPARATOR) != 0 ? 0 : nIDNewItem;
    entry.text = lpszNewItem == nullptr ? CString() : CString(lpszNewItem);
    m_entries.push_back(entry);
    return TRUE;
}

int CMenu::Find(UINT nItem, UINT nFlags) const {
    if ((nFlags & MF_BYPOSITION) != 0) {
        return nItem < m_entries.size() ? static_cast<int>(nItem) : -1;
    }
    for (size_t i = 0; i < m_entries.size(); ++i) {
        if ((m_entries[i].flags & MF_SEPARATOR) == 0 && m_entries[i].id == nItem) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

BOOL CMenu::DeleteMenu(UINT nPosition, UINT nFlags) {
    const int index = Find(nPosition, nFlags);
    if (index < 0) {
        return FALSE;
    }
    m_entries.erase(m_entries.begin() + index);
    return TRUE;
}

UINT CMenu::EnableMenuItem(UINT nIDEnableItem, UINT nEnable) {
    const int index = Find(nIDEnableItem, nEnable);
    if (index < 0) {
        return static_cast<UINT>(-1);
    }
    Entry& entry = m_entries[static_cast<size_t>(index)];
    const UINT previous = entry.flags & (MF_GRAYED | MF_DISABLED);
    entry.flags = (entry.flags & ~(MF_GRAYED | MF_DISABLED)) | (nEnable & (MF_GRAYED | MF_DISABLED));
    return previous;
}

int CMenu::GetMenuItemCount() const {
    return m_bCreated ? static_cast<int>(m_entries.size()) : -1;
}

UINT CMenu::GetMenuItemID(int nPos) const {
    if (nPos < 0 || static_cast<size_t>(nPos) >= m_entries.size()) {
        return static_cast<UINT>(-1);
    }
    return static_cast<UINT>(m_entries[static_cast<size_t>(nPos)].id);
}

int CMenu::GetMenuString(UINT nIDItem, CString& rString, UINT nFlags) const {
    const int index = Find(nIDItem, nFlags);
    rString = index < 0 ? CString() : m_entries[static_cast<size_t>(index)].text;
    return static_cast<int>(rString.size());
}

UINT CMenu::GetMenuState(UINT nID, UINT nFlags) const {
    const int index = Find(nID, nFlags);
    return index < 0
               ? static_cast<UINT>(-1)
               : (m_entries[static_cast<size_t>(index)].flags & (MF_GRAYED | MF_DISABLED | MF_SEPARATOR));
}

BOOL CMenu::TrackPopupMenu(UINT nFlags, int x, int y, CWnd* pWnd, LPCRECT /*lpRect*/) {
    if (!m_bCreated || !sw::ui::IsInteractive()) {
        return FALSE;
    }
    QMenu menu;
    for (const Entry& entry : m_entries) {
        if ((entry.flags & MF_SEPARATOR) != 0) {
            menu.addSeparator();
            continue;
        }
        QAction* action = menu.addAction(QString::fromStdWString(entry.text));
        action->setEnabled((entry.flags & (MF_GRAYED | MF_DISABLED)) == 0);
        action->setData(QVariant::fromValue<qulonglong>(entry.id));
    }
    const QAction* chosen = menu.exec(QPoint(x, y));
    const UINT command = chosen == nullptr ? 0 : static_cast<UINT>(chosen->data().toULongLong());
    if ((nFlags & TPM_RETURNCMD) != 0) {
        return static_cast<BOOL>(command);
    }
    if (command != 0 && pWnd != nullptr) {
        pWnd->PostMessage(WM_COMMAND, MAKEWPARAM(command, 0), 0);
    }
    return TRUE;
}
