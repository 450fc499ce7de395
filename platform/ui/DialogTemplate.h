// Dialog templates as data: the window's caption, font, size and style, and
// its controls in tab order, each with its identifier, text (an "&" marks the
// mnemonic), position and size in dialog units, and style bits. Dialog units
// are converted with the metrics of the font the dialog is shown in, so a
// template keeps its proportions with any desktop font or screen density.
#pragma once

#include <string>
#include <vector>

#include "platform/ui/UiTypes.h"

// Window styles.
inline constexpr DWORD WS_POPUP = 0x80000000U;
inline constexpr DWORD WS_CHILD = 0x40000000U;
inline constexpr DWORD WS_VISIBLE = 0x10000000U;
inline constexpr DWORD WS_DISABLED = 0x08000000U;
inline constexpr DWORD WS_CAPTION = 0x00C00000U;
inline constexpr DWORD WS_BORDER = 0x00800000U;
inline constexpr DWORD WS_VSCROLL = 0x00200000U;
inline constexpr DWORD WS_HSCROLL = 0x00100000U;
inline constexpr DWORD WS_SYSMENU = 0x00080000U;
inline constexpr DWORD WS_GROUP = 0x00020000U;
inline constexpr DWORD WS_TABSTOP = 0x00010000U;
inline constexpr DWORD WS_EX_TOPMOST = 0x00000008U;
inline constexpr DWORD WS_EX_TOOLWINDOW = 0x00000080U;
inline constexpr DWORD WS_EX_APPWINDOW = 0x00040000U;
inline constexpr DWORD WS_EX_LAYERED = 0x00080000U;

// Dialog styles.
inline constexpr DWORD DS_MODALFRAME = 0x0080U;
inline constexpr DWORD DS_CENTER = 0x0800U;

// Button styles.
inline constexpr DWORD BS_PUSHBUTTON = 0x0000U;
inline constexpr DWORD BS_DEFPUSHBUTTON = 0x0001U;
inline constexpr DWORD BS_AUTOCHECKBOX = 0x0003U;
inline constexpr DWORD BS_GROUPBOX = 0x0007U;
inline constexpr DWORD BS_OWNERDRAW = 0x000BU;
inline constexpr DWORD BS_TYPEMASK = 0x000FU;
inline constexpr DWORD BS_FLAT = 0x8000U;

// Edit styles.
inline constexpr DWORD ES_MULTILINE = 0x0004U;
inline constexpr DWORD ES_AUTOHSCROLL = 0x0080U;
inline constexpr DWORD ES_READONLY = 0x0800U;
inline constexpr DWORD ES_NUMBER = 0x2000U;

// Static styles.
inline constexpr DWORD SS_LEFT = 0x0000U;
inline constexpr DWORD SS_CENTER = 0x0001U;
inline constexpr DWORD SS_CENTERIMAGE = 0x0200U;

// Combo box styles.
inline constexpr DWORD CBS_DROPDOWNLIST = 0x0003U;
inline constexpr DWORD CBS_OWNERDRAWVARIABLE = 0x0020U;
inline constexpr DWORD CBS_SORT = 0x0100U;
inline constexpr DWORD CBS_HASSTRINGS = 0x0200U;

// List box styles.
inline constexpr DWORD LBS_NOTIFY = 0x0001U;

// List view styles.
inline constexpr DWORD LVS_REPORT = 0x0001U;
inline constexpr DWORD LVS_SINGLESEL = 0x0004U;
inline constexpr DWORD LVS_SHOWSELALWAYS = 0x0008U;

namespace sw::ui {

// The window classes a template can hold.
enum class ControlKind {
    Button,    // push button, check box, group box, owner-drawn button (by style)
    Edit,      // single-line edit
    RichEdit,  // multi-line text box (ES_READONLY for text to read only)
    Static,    // label
    ComboBox,  // drop-down list
    ListBox,   // single-selection list
    ListView,  // report-view list with a header
    Progress,  // progress bar
};

struct DialogItem {
    ControlKind kind = ControlKind::Static;
    UINT id = 0;
    std::wstring text;
    short x = 0;
    short y = 0;
    short cx = 0;
    short cy = 0;
    DWORD style = 0;  // WS_TABSTOP, WS_GROUP and the class's own bits
};

struct DialogTemplate {
    UINT id = 0;
    std::wstring caption;
    // The font every template was designed with; the dialog is shown in the
    // desktop's font and laid out by that font's metrics.
    std::wstring faceName = L"MS Sans Serif";
    short pointSize = 8;
    short cx = 0;
    short cy = 0;
    DWORD style = 0;    // WS_* and DS_* bits of the dialog window
    DWORD exStyle = 0;  // WS_EX_* bits
    std::vector<DialogItem> items;

    // The item with that identifier, null when there is none.
    const DialogItem* Find(UINT itemId) const {
        for (const auto& item : items) {
            if (item.id == itemId) {
                return &item;
            }
        }
        return nullptr;
    }
};

}  // namespace sw::ui
