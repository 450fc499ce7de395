#include "setup/app/KVPrintDriverInstallerApp.h"

#include "platform/ui/MessageBox.h"
#include "platform/ui/UserInterface.h"
#include "setup/install/KVInstallSequence.h"
#include "setup/install/KVInstallerState.h"
#include "setup/res/KVCommandArgsHelpDlg.h"
#include "setup/res/KVPrintDriverInstallerDlg.h"
#include "setup/res/resource.h"
#include "setup/uninstall/KVUninstallSequence.h"

int KVPrintDriverInstallerApp::InitInstance(const std::vector<std::wstring>& args) {
    m_pCmdInfo = std::make_unique<KVPrintDriverCommandLine>();
    m_pDriverOptions = m_optionsMgr.GetDefaultDriverOptions();

    ParseInstallerCommandLine(args, *m_pCmdInfo);
    m_pDriverOptions->SetInstallFolder(m_pCmdInfo->GetInstallFolder().c_str());
    // Windows or not is decided here, once: with a display the help, the
    // progress windows and every question are windows; without one they
    // are written to the terminal and questions get their safe answers.
    sw::ui::StartUserInterface(IDS_APP_TITLE, false);

    if (m_pCmdInfo->GetHelpMode() != KVPrintDriverCommandLine::HelpNone) {
        KVCommandArgsHelpDlg dlg(m_pCmdInfo->GetHelpMode() == KVPrintDriverCommandLine::HelpCurrentArgs
                                     ? KVCommandArgsHelpDlg::ModeCurrentArgs
                                     : KVCommandArgsHelpDlg::ModeSwitches,
                                 *m_pCmdInfo);
        dlg.DoModal();
    } else if (!RunActivity()) {
        AfxMessageBox(L"Installation failed.\n" + InstallerState().strErrorText);
        return 1;
    }
    UpdateStoredOptions();
    return 0;
}

bool KVPrintDriverInstallerApp::RunActivity() {
    const int activity = m_pCmdInfo->GetInstallActivity();
    if (activity == KVPrintDriverCommandLine::ActivityInstall) {
        if (m_pCmdInfo->GetSilent() != 0) {
            return InstallPrinterDriver(nullptr, m_pCmdInfo->GetInstallFolder(),
                                        m_pCmdInfo->GetWindowsVersion());
        }
        KVPrintDriverInstallerDlg dlg;
        dlg.Create();
        dlg.ShowWindow();
        const bool installed =
            InstallPrinterDriver(&dlg, m_pCmdInfo->GetInstallFolder(), m_pCmdInfo->GetWindowsVersion());
        dlg.DestroyWindow();
        return installed;
    }
    if (activity == KVPrintDriverCommandLine::ActivityUninstall) {
        return UninstallPrinterDriver(m_pCmdInfo->GetWindowsVersion());
    }
    return true;
}

void KVPrintDriverInstallerApp::UpdateStoredOptions() {
    switch (m_pCmdInfo->GetInstallActivity()) {
        case KVPrintDriverCommandLine::ActivityInstall:
            m_pDriverOptions->LoadDefaultValues();
            m_pDriverOptions->SaveSettings();
            m_pDriverOptions->LoadSettings();
            break;
        case KVPrintDriverCommandLine::ActivityUninstall:
            m_pDriverOptions->LoadSettings();
            m_pDriverOptions->ClearOptions();
            break;
        default:
            break;
    }
}
