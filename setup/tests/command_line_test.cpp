// The installer's switches and INSTALLDIR values, as a caller's quoting
// leaves them.
#include <gtest/gtest.h>

#include "setup/app/KVPrintDriverCommandLine.h"
#include "setup/res/KVCommandArgsHelpDlg.h"

namespace {

KVPrintDriverCommandLine Parse(const std::vector<std::wstring>& args) {
    KVPrintDriverCommandLine cmd;
    ParseInstallerCommandLine(args, cmd);
    return cmd;
}

TEST(setup_command_line_test, install_folder_gets_one_separator_and_loses_stray_quotes) {
    EXPECT_EQ(Parse({L"-install", L"-WINNT", L"-INSTALLDIR", L"/opt/app"}).GetInstallFolder(), L"/opt/app/");
    EXPECT_EQ(Parse({L"-INSTALLDIR", L"/opt/app\""}).GetInstallFolder(), L"/opt/app/");
    // A value that already ends with the separator is kept as given.
    EXPECT_EQ(Parse({L"-installdir", L"/opt/\"app/"}).GetInstallFolder(), L"/opt/\"app/");
    // A one-level folder after INSTALLDIR is its value, not a switch.
    const KVPrintDriverCommandLine top = Parse({L"/install", L"/INSTALLDIR", L"/opt"});
    EXPECT_EQ(top.GetInstallFolder(), L"/opt/");
    EXPECT_EQ(top.GetHelpMode(), KVPrintDriverCommandLine::HelpNone);
    EXPECT_EQ(top.GetInstallActivity(), KVPrintDriverCommandLine::ActivityInstall);
    // A value after any other switch is stored, not taken as the folder.
    KVPrintDriverCommandLine other = Parse({L"-Silent", L"/srv/x"});
    std::wstring value;
    EXPECT_TRUE(other.GetParam(L"Silent", value));
    EXPECT_EQ(value, L"/srv/x");
    EXPECT_EQ(other.GetInstallFolder(), L"");
}

TEST(setup_command_line_test, switches_match_whole_names_in_any_case) {
    const KVPrintDriverCommandLine s = Parse({L"-s"});
    EXPECT_EQ(s.GetHelpMode(), KVPrintDriverCommandLine::HelpCurrentArgs);
    EXPECT_EQ(s.GetSilent(), 0);
    const KVPrintDriverCommandLine silent = Parse({L"-SILENT", L"-U", L"-winnt"});
    EXPECT_EQ(silent.GetSilent(), 1);
    EXPECT_EQ(silent.GetHelpMode(), KVPrintDriverCommandLine::HelpNone);
    EXPECT_EQ(silent.GetInstallActivity(), KVPrintDriverCommandLine::ActivityUninstall);
    EXPECT_EQ(silent.GetWindowsVersion(), KVPrintDriverCommandLine::VersionNT);
    // Neither a prefix nor a longer name matches: both show the switch list.
    EXPECT_EQ(Parse({L"-instal"}).GetHelpMode(), KVPrintDriverCommandLine::HelpSwitches);
    EXPECT_EQ(Parse({L"-installs"}).GetHelpMode(), KVPrintDriverCommandLine::HelpSwitches);
    EXPECT_EQ(Parse({L"-xyz"}).GetHelpMode(), KVPrintDriverCommandLine::HelpSwitches);

    const std::wstring args = KVCommandArgsHelpDlg(KVCommandArgsHelpDlg::ModeCurrentArgs, silent).GetText();
    EXPECT_EQ(args,
              L"Current Command Line Arguments:\n\tHelp Mode: Show Command Arguments\n\tInstall Activity: "
              L"Uninstall\n\tWindows Version: NT/2000/XP\n\tInstall Mode: Silent");
}

}  // namespace
