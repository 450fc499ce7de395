// The installer's dialog templates: controls in tab order, positions and
// sizes in dialog units. The progress windows' status lines start where
// their bars start and end inside the window (their 8-point originals ran
// from the window's left edge past its right one).
#include "setup/res/Dialogs.h"

#include "platform/ui/MessageBox.h"
#include "setup/res/resource.h"

namespace {

using sw::ui::ControlKind;
using sw::ui::DialogTemplate;

DialogTemplate CommandArgsHelp() {
    DialogTemplate t;
    t.id = IDD_COMMAND_ARGS_HELP;
    t.caption = L"Sheetwise Print Driver Command Arguments";
    t.cx = 301;
    t.cy = 129;
    t.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER;
    t.exStyle = WS_EX_APPWINDOW;
    t.items = {
        {ControlKind::RichEdit, IDC_ARGS_TEXT, L"", 4, 4, 292, 100,
         WS_BORDER | WS_VSCROLL | ES_MULTILINE | ES_READONLY},
        {ControlKind::Button, IDOK, L"OK", 125, 112, 50, 14, WS_TABSTOP | BS_DEFPUSHBUTTON},
    };
    return t;
}

// A progress window without a close box: the work it shows cannot be
// stopped halfway.
DialogTemplate Progress(unsigned id, const wchar_t* caption, const wchar_t* status, unsigned barId) {
    DialogTemplate t;
    t.id = id;
    t.caption = caption;
    t.cx = 315;
    t.cy = 38;
    t.style = WS_POPUP | WS_CAPTION | DS_MODALFRAME | DS_CENTER;
    t.exStyle = WS_EX_APPWINDOW;
    t.items = {
        {ControlKind::Static, IDC_STATUS_TEXT, status, 11, 4, 293, 10, SS_LEFT},
        {ControlKind::Progress, barId, L"", 11, 21, 291, 11, WS_BORDER},
    };
    return t;
}

}  // namespace

const sw::ui::DialogTemplate& InstallerDialogTemplate(unsigned nIDTemplate) {
    static const DialogTemplate help = CommandArgsHelp();
    static const DialogTemplate installer = Progress(IDD_INSTALLER, L"Sheetwise Print Driver Installation",
                                                     L"Installation Progress:", IDC_INSTALL_PROGRESS);
    static const DialogTemplate uninstall = Progress(IDD_UNINSTALL, L"Sheetwise Print Driver Uninstall",
                                                     L"Uninstallation Progress:", IDC_UNINSTALL_PROGRESS);
    static const DialogTemplate none;
    switch (nIDTemplate) {
        case IDD_COMMAND_ARGS_HELP:
            return help;
        case IDD_INSTALLER:
            return installer;
        case IDD_UNINSTALL:
            return uninstall;
        default:
            return none;
    }
}
