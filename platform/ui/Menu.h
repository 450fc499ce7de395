// Pop-up menus: entries by position, command identifiers, greyed entries,
// and tracking the menu at a point of the screen.
#pragma once

#include <vector>

#include "platform/ui/UiTypes.h"

class CWnd;

inline constexpr UINT MF_BYCOMMAND = 0x0000U;
inline constexpr UINT MF_STRING = 0x0000U;
inline constexpr UINT MF_ENABLED = 0x0000U;
inline constexpr UINT MF_GRAYED = 0x0001U;
inline constexpr UINT MF_DISABLED = 0x0002U;
inline constexpr UINT MF_BYPOSITION = 0x0400U;
inline constexpr UINT MF_SEPARATOR = 0x0800U;

inline constexpr UINT TPM_LEFTALIGN = 0x0000U;
inline constexpr UINT TPM_LEFTBUTTON = 0x0000U;
inline constexpr UINT TPM_NONOTIFY = 0x0080U;
inline constexpr UINT TPM_RETURNCMD = 0x0100U;

class CMenu {
public:
    struct Entry {
        UINT flags = 0;
        UINT_PTR id = 0;
        CString text;
    };

    BOOL CreatePopupMenu();
    BOOL DestroyMenu();
    bool IsCreated() const { return m_bCreated; }

    BOOL AppendMenu(UINT nFlags, UINT_PTR nIDNewItem = 0, LPCTSTR lpszNewItem = nullptr);
    BOOL DeleteMenu(UINT nPosition, UINT nFlags);
    // The entry's previous state (MF_ENABLED or MF_GRAYED), -1 when there
    // is no such entry.
    UINT EnableMenuItem(UINT nIDEnableItem, UINT nEnable);
    int GetMenuItemCount() const;
    // 0 for a separator, -1 for a missing position.
    UINT GetMenuItemID(int nPos) const;
    int GetMenuString(UINT nIDItem, CString& rString, UINT nFlags) const;
    // MF_GRAYED, MF_SEPARATOR bits of the entry; -1 when there is none.
    UINT GetMenuState(UINT nID, UINT nFlags) const;

    // Shows the menu with its top-left corner at x, y on the screen. With
    // TPM_RETURNCMD the chosen command comes back (0 for none) and is not
    // sent to pWnd.
    BOOL TrackPopupMenu(UINT nFlags, int x, int y, CWnd* pWnd, LPCRECT lpRect = nullptr);

    const std::vector<Entry>& Entries() const { return m_entries; }

private:
    int Find(UINT nItem, UINT nFlags) const;

    bool m_bCreated = false;
    std::vector<Entry> m_entries;
};
