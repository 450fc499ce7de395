#include "setup/res/KVCommandArgsHelpDlg.h"

#include <cstdio>

#include "platform/shell/Shell.h"
#include "platform/ui/Interactive.h"
#include "platform/ui/MessageBox.h"
#include "setup/app/KVPrintDriverCommandLine.h"
#include "setup/res/Dialogs.h"
#include "setup/res/resource.h"

namespace {

void AddLine(std::wstring& text, const wchar_t* line) {
    text += L"\n\t";
    text += line;
}

}  // namespace

KVCommandArgsHelpDlg::KVCommandArgsHelpDlg(int nMode, const KVPrintDriverCommandLine& cmdInfo,
                                           CWnd* pParentWnd)
    : CDialog(InstallerDialogTemplate(IDD_COMMAND_ARGS_HELP), pParentWnd) {
    if (nMode == ModeCurrentArgs) {
        m_strText = L"Current Command Line Arguments:";
        AddLine(m_strText, L"Help Mode: Show Command Arguments");
        switch (cmdInfo.GetInstallActivity()) {
            case KVPrintDriverCommandLine::ActivityInstall:
                AddLine(m_strText, L"Install Activity: Install");
                break;
            case KVPrintDriverCommandLine::ActivityUninstall:
                AddLine(m_strText, L"Install Activity: Uninstall");
                break;
            default:
                AddLine(m_strText, L"Install Activity: Not Specified");
                break;
        }
        switch (cmdInfo.GetWindowsVersion()) {
            case KVPrintDriverCommandLine::Version9598ME:
                AddLine(m_strText, L"Windows Version: 95/98/ME");
                break;
            case KVPrintDriverCommandLine::VersionNT:
                AddLine(m_strText, L"Windows Version: NT/2000/XP");
                break;
            default:
                AddLine(m_strText, L"Windows Version: Not Specified");
                break;
        }
        AddLine(m_strText, cmdInfo.GetSilent() != 0 ? L"Install Mode: Silent" : L"Install Mode: Normal");
        return;
    }
    m_strText = L"Sheetwise Print Driver Installer Command Arguments:";
    for (const wchar_t* line :
         {L"? - Show This Dialog", L"ShowParams, sp, or s - Show Current Command Arguments",
          L"Install or i - Install Drivers", L"Uninstall or u - Uninstall Drivers",
          L"Win9598ME - Install Windows 95/98/ME Drivers", L"WinNT - Install Windows NT/2000/XP Drivers",
          L"Silent or s - Silent Install Mode"}) {
        AddLine(m_strText, line);
    }
}

INT_PTR KVCommandArgsHelpDlg::DoModal() {
    if (sw::ui::IsInteractive()) {
        return CDialog::DoModal();
    }
    std::printf("%s\n%s\n", sw::shell::ToNarrow(msc_sCaption).c_str(),
                sw::shell::ToNarrow(m_strText).c_str());
    std::fflush(stdout);
    return IDOK;
}

BOOL KVCommandArgsHelpDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    if (CWnd* text = GetDlgItem(static_cast<int>(IDC_ARGS_TEXT))) {
        text->SetWindowText(m_strText.c_str());
    }
    // The text is only to read: the keys go to OK.
    GotoDlgCtrl(GetDlgItem(IDOK));
    return FALSE;
}
