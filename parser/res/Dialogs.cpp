// The parser's dialog templates: controls in tab order, positions and sizes
// in dialog units. A label comes right before the control it names; its "&"
// letter moves the focus there. Where a label of the original 8-point layout
// left no room for wider desktop fonts, the label and the control beside it
// were moved a few units apart.
#include "parser/res/Dialogs.h"

#include "parser/res/resource.h"
#include "platform/ui/MessageBox.h"

namespace {

using sw::ui::ControlKind;
using sw::ui::DialogItem;
using sw::ui::DialogTemplate;

constexpr DWORD kLabel = SS_LEFT | SS_CENTERIMAGE;

DialogItem Label(const wchar_t* text, short x, short y, short cx, short cy = 12, DWORD style = kLabel) {
    return {ControlKind::Static, IDC_STATIC, text, x, y, cx, cy, style};
}

DialogItem Edit(unsigned id, short x, short y, short cx, DWORD style = 0) {
    return {ControlKind::Edit, id, L"", x, y, cx, 12, WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL | style};
}

DialogItem Check(unsigned id, short x, short y) {
    return {ControlKind::Button, id, L"", x, y, 10, 12, WS_TABSTOP | BS_AUTOCHECKBOX};
}

DialogItem Combo(unsigned id, short x, short y, short cx, DWORD style = 0) {
    return {ControlKind::ComboBox, id, L"", x, y, cx, 12, WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST | style};
}

DialogItem Button(unsigned id, const wchar_t* text, short x, short y, short cx, short cy,
                  DWORD style = BS_PUSHBUTTON) {
    return {ControlKind::Button, id, text, x, y, cx, cy, WS_TABSTOP | style};
}

DialogItem Group(unsigned id, const wchar_t* text, short x, short y, short cx, short cy) {
    return {ControlKind::Button, id, text, x, y, cx, cy, BS_GROUPBOX};
}

DialogTemplate Properties() {
    DialogTemplate t;
    t.id = IDD_PROPERTIES;
    t.caption = L"Sheetwise Print Driver Properties";
    t.cx = 355;
    t.cy = 275;
    t.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
    t.exStyle = WS_EX_APPWINDOW;
    t.items = {
        Label(L"&Profile Name:", 5, 4, 51),
        Combo(IDC_PROFILE_COMBO, 58, 4, 286),
        Button(IDC_BTN_OK, L"OK", 168, 22, 56, 14, BS_DEFPUSHBUTTON),
        Button(IDC_BTN_OPTIONS, L"&Options", 228, 22, 56, 14, BS_OWNERDRAW),
        Button(IDCANCEL, L"Cancel", 287, 22, 56, 14),
        Group(IDC_OPTIONS_FRAME, L"", 3, 38, 348, 233),
        Label(L"Report &Identifier:", 9, 46, 63),
        Edit(IDC_REPORT_IDENTIFIER, 74, 46, 270),
        Label(L"Resi&ze Cells", 22, 62, 50),
        Check(IDC_RESIZE_CELLS, 9, 62),
        Label(L"&Number Format:", 75, 62, 58),
        Combo(IDC_NUMBER_FORMAT, 134, 62, 91),
        Label(L"Decim&al Places:", 229, 62, 60),
        Edit(IDC_DECIMAL_PLACES, 290, 62, 54),
        Label(L"&Date Format:", 9, 79, 54),
        Combo(IDC_DATE_FORMAT, 65, 79, 160),
        Label(L"C&ustom Format:", 229, 79, 60),
        Edit(IDC_CUSTOM_FORMAT, 290, 79, 54),
        Label(L"Remove Empty &Rows", 22, 95, 100),
        Check(IDC_REMOVE_EMPTY_ROWS, 9, 95),
        Label(L"Remove Empty &Columns", 138, 95, 110),
        Check(IDC_REMOVE_EMPTY_COLUMNS, 125, 95),
        Label(L"Move To &Top Left Cell", 267, 95, 80),
        Check(IDC_MOVE_TO_TOP_LEFT_CELL, 254, 95),
        Group(IDC_FONT_GROUP, L"Font Settings", 10, 111, 335, 58),
        Label(L"Remove &Formatting of Cells", 31, 120, 130),
        Check(IDC_REMOVE_FORMATTING, 18, 120),
        Label(L"Defau&lt Font:", 18, 136, 47),
        Combo(IDC_DEFAULT_FONT, 66, 136, 164, CBS_OWNERDRAWVARIABLE | CBS_SORT | CBS_HASSTRINGS),
        Label(L"Font Si&ze:", 237, 136, 36),
        Edit(IDC_FONT_SIZE, 274, 136, 63, ES_NUMBER),
        Label(L"&Bold", 64, 153, 60),
        Check(IDC_BOLD, 51, 153),
        Label(L"&Underline", 153, 153, 60),
        Check(IDC_UNDERLINE, 140, 153),
        Label(L"&Italicize", 242, 153, 60),
        Check(IDC_ITALICIZE, 229, 153),
        Group(IDC_SECTIONS_GROUP, L"Remove Sections", 10, 171, 335, 95),
        Label(L"Remo&ve Sections", 31, 181, 90),
        Check(IDC_REMOVE_SECTIONS, 18, 181),
        Label(L"Section T&ype:", 142, 181, 64),
        Combo(IDC_SECTION_TYPE, 208, 181, 131),
        {ControlKind::ListBox, IDC_SECTION_LIST, L"", 19, 198, 116, 62,
         WS_TABSTOP | WS_BORDER | WS_VSCROLL | LBS_NOTIFY},
        Label(L"Section &Keyword:", 142, 197, 64),
        Edit(IDC_SECTION_KEYWORD, 208, 197, 131),
        Label(L"Remove Cells &Left:", 142, 213, 64),
        Edit(IDC_REMOVE_CELLS_LEFT, 208, 213, 28, ES_NUMBER),
        Label(L"Remove Cells Ri&ght:", 240, 213, 72),
        Edit(IDC_REMOVE_CELLS_RIGHT, 313, 213, 26, ES_NUMBER),
        Label(L"Remove Cells U&p:", 142, 230, 64),
        Edit(IDC_REMOVE_CELLS_UP, 208, 230, 28, ES_NUMBER),
        Label(L"Remove Cells Do&wn:", 240, 230, 72),
        Edit(IDC_REMOVE_CELLS_DOWN, 313, 230, 26, ES_NUMBER),
        Button(IDC_ADD_SECTION, L"Add &Section", 142, 247, 62, 15),
        Button(IDC_EDIT_SECTION, L"&Edit Section", 209, 247, 62, 15),
        Button(IDC_REMOVE_SECTION, L"Re&move Section", 276, 247, 62, 15),
    };
    return t;
}

DialogTemplate NewProfileName() {
    DialogTemplate t;
    t.id = IDD_NEW_PROFILE_NAME;
    t.caption = L"New Profile Name";
    t.cx = 235;
    t.cy = 55;
    t.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER;
    t.items = {
        Label(L"&Enter a new profile name:", 6, 4, 120, 10, SS_LEFT),
        Edit(IDC_NEW_PROFILE_NAME, 10, 19, 215),
        Button(IDOK, L"OK", 6, 39, 50, 14, BS_DEFPUSHBUTTON),
        Button(IDCANCEL, L"Cancel", 180, 39, 50, 14),
    };
    return t;
}

DialogTemplate ManageProfiles() {
    DialogTemplate t;
    t.id = IDD_MANAGE_PROFILES;
    t.caption = L"Manage Profiles";
    t.cx = 186;
    t.cy = 90;
    t.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER;
    t.items = {
        {ControlKind::ListView, IDC_PROFILE_LIST, L"", 5, 6, 177, 63,
         WS_TABSTOP | WS_BORDER | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS},
        Button(IDOK, L"OK", 4, 74, 50, 14, BS_DEFPUSHBUTTON),
        Button(IDCANCEL, L"Cancel", 133, 74, 50, 14),
    };
    return t;
}

DialogTemplate Progress() {
    DialogTemplate t;
    t.id = IDD_PROGRESS;
    t.caption = L"Sheetwise File Parser";
    t.cx = 315;
    t.cy = 52;
    t.style = WS_POPUP | DS_MODALFRAME | DS_CENTER;
    t.exStyle = WS_EX_APPWINDOW;
    t.items = {
        Label(L"Progress:", 8, 6, 299, 10, SS_CENTER),
        Label(L"", 8, 18, 299, 10, SS_CENTER),
        {ControlKind::Progress, IDC_PROGRESS_BAR, L"", 8, 33, 299, 11, WS_BORDER},
    };
    t.items[1].id = IDC_PROGRESS_STATUS;
    return t;
}

}  // namespace

const sw::ui::DialogTemplate& DialogTemplateFor(unsigned nIDTemplate) {
    static const DialogTemplate properties = Properties();
    static const DialogTemplate newProfileName = NewProfileName();
    static const DialogTemplate manageProfiles = ManageProfiles();
    static const DialogTemplate progress = Progress();
    static const DialogTemplate none;
    switch (nIDTemplate) {
        case IDD_PROPERTIES:
            return properties;
        case IDD_NEW_PROFILE_NAME:
            return newProfileName;
        case IDD_MANAGE_PROFILES:
            return manageProfiles;
        case IDD_PROGRESS:
            return progress;
        default:
            return none;
    }
}
