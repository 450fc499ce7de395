// Installs and uninstalls against a scheduler of the test's own: what lpstat
// shows, what a printed report becomes, what an uninstall leaves, and how
// each failure is told.
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <deque>
#include <fstream>
#include <functional>
#include <regex>
#include <set>

#include "lib/manager/KVDriverOptionsMgr.h"
#include "lib/options/KVDriverOptionsExcel.h"
#include "platform/registry/Registry.h"
#include "platform/ui/MessageBox.h"
#include "setup/app/KVPrintDriverCommandLine.h"
#include "setup/install/KVInstallerState.h"
#include "setup/tests/SetupFixture.h"
#include "setup/uninstall/KVUninstallSequence.h"
#include "setup/uninstall/KVUserSettingsCleanup.h"
#include "tests/support/WorkbookReader.h"

namespace {

const std::string kParser = SW_BINARY_DIR "/bin/SheetwiseParser";
constexpr const wchar_t* kPrinter = L"Sheetwise Print Driver";
constexpr const wchar_t* kMonitorKey = L"SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\Sheetwise M";

bool KeyExists(HKEY root, const std::wstring& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

std::set<std::wstring> ValueNames(HKEY root, const std::wstring& path) {
    std::set<std::wstring> names;
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return names;
    }
    for (DWORD i = 0;; ++i) {
        wchar_t name[512];
        DWORD chars = 512;
        if (RegEnumValueW(key, i, name, &chars, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
            break;
        }
        names.insert(std::wstring(name, chars));
    }
    RegCloseKey(key);
    return names;
}

void SetValues(HKEY root, const std::wstring& path, const std::vector<std::wstring>& names) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const DWORD data = 1;
    for (const std::wstring& name : names) {
        RegSetValueExW(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof data);
    }
    RegCloseKey(key);
}

// Answers the installer's questions in order, keeping what was asked.
class ScriptedAnswers {
public:
    explicit ScriptedAnswers(std::deque<std::function<int()>> answers) : answers_(std::move(answers)) {
        previous_ = sw::ui::SetMessageBoxHandler([this](const std::wstring& text, UINT) {
            asked.push_back(text);
            if (answers_.empty()) {
                return IDCANCEL;
            }
            auto answer = answers_.front();
            answers_.pop_front();
            return answer();
        });
    }
    ~ScriptedAnswers() { sw::ui::SetMessageBoxHandler(previous_); }
    std::vector<std::wstring> asked;

private:
    std::deque<std::function<int()>> answers_;
    sw::ui::MessageBoxHandler previous_;
};

class SetupTest : public SetupFixture {
protected:
    // A user with a settings store holding printer values, and CUPS options.
    fs::path AddUser(const std::string& name) {
        const fs::path home = root_ / "homes" / name;
        fs::create_directories(home / ".config" / "sheetwise");
        WriteText(
            home / ".cups" / "lpoptions",
            "Dest Sheetwise_Print_Driver media=A4\nDefault sheetwise_print_driver/draft\nDest Other x=1\n");
        const std::wstring store = (home / ".config" / "sheetwise" / "user.db").wstring();
        EXPECT_EQ(RegLoadKeyW(HKEY_USERS, L"TestUser", store.c_str()), ERROR_SUCCESS);
        SetValues(HKEY_USERS, L"TestUser\\Printers\\DevModePerUser",
                  {L"Sheetwise Print Driver", L"Sheetwise Print Driver,winspool,Ne00:",
                   L"\\\\server\\Sheetwise Print Driver", L"Sheetwise Print Driver 2"});
        SetValues(HKEY_USERS, L"TestUser\\Printers\\Settings", {L"sheetwise print driver"});
        EXPECT_EQ(RegUnLoadKeyW(HKEY_USERS, L"TestUser"), ERROR_SUCCESS);
        // As root the cleanup runs as the user: make the user someone else.
        const uid_t uid = ::geteuid() == 0 ? 65534 : ::geteuid();
        const gid_t gid = ::geteuid() == 0 ? 65534 : ::getegid();
        for (const auto& entry : fs::recursive_directory_iterator(home)) {
            EXPECT_EQ(::lchown(entry.path().c_str(), uid, gid), 0);
        }
        EXPECT_EQ(::chown(home.c_str(), uid, gid), 0);
        std::ofstream(root_ / "passwd", std::ios::app)
            << name << ":x:" << uid << ":" << gid << "::" << home.string() << ":/bin/sh\n";
        return home;
    }

    std::set<std::wstring> UserValues(const fs::path& home, const std::wstring& key) {
        const std::wstring store = (home / ".config" / "sheetwise" / "user.db").wstring();
        EXPECT_EQ(RegLoadKeyW(HKEY_USERS, L"TestUser", store.c_str()), ERROR_SUCCESS);
        std::set<std::wstring> names = ValueNames(HKEY_USERS, L"TestUser\\" + key);
        EXPECT_EQ(RegUnLoadKeyW(HKEY_USERS, L"TestUser"), ERROR_SUCCESS);
        return names;
    }

    // Runs SheetwiseSetup on a desktop (offscreen) whose user acts out
    // `script` (SHEETWISE_UI_SCRIPT) on its windows.
    int RunOnDesktop(const std::string& args, const std::vector<std::string>& script, std::string* output) {
        std::string steps;
        for (const std::string& step : script) {
            steps += step + "\n";
        }
        WriteText(root_ / "script.txt", steps);
        return RunSetup(args, output,
                        "QT_QPA_PLATFORM=offscreen SHEETWISE_UI_SCRIPT='" + (root_ / "script.txt").string() +
                            "' timeout 60");
    }

    // Prints a report with lp and converts its job files to a workbook.
    WorkbookDump PrintAndConvert() {
        WriteText(root_ / "report.txt",
                  "ACME TRADING - SALES REPORT\n\nCustomer  Name            Amount\n"
                  "C1001     Acme Corp       15,566.97\nC1002     Cog Works          99.00\n");
        std::string out;
        EXPECT_EQ(Run("lp -d Sheetwise_Print_Driver '" + (root_ / "report.txt").string() + "'", &out), 0)
            << out;
        const int job = sw::testing::PrivateCupsd::JobIdFromLp(out);
        EXPECT_EQ(cupsd_->WaitForJob(job, 60).state, 9) << cupsd_->ErrorLog();
        const passwd* me = ::getpwuid(::geteuid());
        const fs::path group =
            root_ / "jobs" / (me != nullptr ? me->pw_name : "") / ("job" + std::to_string(job) + ".grp");
        EXPECT_TRUE(fs::exists(group)) << cupsd_->ErrorLog();
        {
            KVDriverOptionsMgr mgr;
            mgr.CreateNewDriverOption(KVFileParserTypes::enFileParserExcel, L"Printed");
            mgr.SaveSettings(nullptr);
        }
        const fs::path book = root_ / "book.xls";
        EXPECT_EQ(Run("'" + kParser + "' -print '" + group.string() + "' -profile Printed -out '" +
                          book.string() + "' -batch",
                      &out),
                  0)
            << out;
        return ReadWorkbook(book.string());
    }
};

TEST_F(SetupTest, install_shows_the_queue_prints_a_workbook_and_uninstall_leaves_nothing) {
    const fs::path home = AddUser("alice");
    SetValues(HKEY_CURRENT_USER, L"Printers\\DevModePerUser", {L"Sheetwise Print Driver"});

    std::string out;
    ASSERT_EQ(RunSetup(InstallArgs(), &out), 0) << out;
    ASSERT_EQ(Run("lpstat -l -p Sheetwise_Print_Driver; lpstat -v Sheetwise_Print_Driver; lpstat -a; "
                  "lpoptions -p Sheetwise_Print_Driver",
                  &out),
              0)
        << out;
    EXPECT_NE(out.find("Description: Sheetwise Print Driver"), std::string::npos) << out;
    EXPECT_NE(out.find("device for Sheetwise_Print_Driver: sheetwise:/Sheetwise%20Port"), std::string::npos)
        << out;
    EXPECT_NE(out.find("Sheetwise_Print_Driver accepting requests"), std::string::npos) << out;
    EXPECT_NE(out.find("printer-make-and-model='Sheetwise Print Driver'"), std::string::npos) << out;
    EXPECT_TRUE(fs::exists(fs::path(cupsd_->Root()) / "conf" / "ppd" / "Sheetwise_Print_Driver.ppd"));
    struct stat st {};
    ASSERT_EQ(::stat((backend_ / "sheetwise").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, ::geteuid() == 0 ? 0700U : 0755U);
    for (const fs::path& folder : {drivers_, drivers_ / "2"}) {
        EXPECT_TRUE(fs::exists(folder / "sheetwise") && fs::exists(folder / "sheetwise.ppd")) << folder;
    }
    const std::string settings = ReadText(root_ / "printers" / "Sheetwise_Print_Driver.conf");
    EXPECT_NE(settings.find("Parameter307=" + install_.string() + "/KVPrintMonitor\n"), std::string::npos)
        << settings;
    EXPECT_NE(settings.find("SpoolFolder=" + (root_ / "jobs").string()), std::string::npos) << settings;
    EXPECT_EQ(ValueNames(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Sheetwise\\Sheetwise Print Driver")
                  .count(L"InstallFolder"),
              1U);

    const WorkbookDump book = PrintAndConvert();
    ASSERT_TRUE(book.ok) << book.error;
    bool found = false;
    for (const auto& [rc, cell] : book.cells) {
        found = found || cell.value == "Acme Corp";
    }
    EXPECT_TRUE(found);

    ASSERT_EQ(RunSetup("-uninstall", &out), 0) << out;
    EXPECT_NE(out.find("Uninstallation Progress: 100% Uninstall complete..."), std::string::npos) << out;
    EXPECT_FALSE(QueueExists(kQueue));
    EXPECT_FALSE(fs::exists(backend_ / "sheetwise"));
    EXPECT_TRUE(fs::exists(backend_ / "othersch"));
    for (const fs::path& folder : {drivers_, drivers_ / "2"}) {
        EXPECT_FALSE(fs::exists(folder / "sheetwise") || fs::exists(folder / "sheetwise.ppd")) << folder;
    }
    EXPECT_FALSE(fs::exists(root_ / "printers" / "Sheetwise_Print_Driver.conf"));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kMonitorKey));
    EXPECT_FALSE(
        KeyExists(HKEY_LOCAL_MACHINE,
                  L"SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Windows NT x86\\Drivers\\"
                  L"Version-3\\Sheetwise Print Driver"));
    EXPECT_EQ(UserValues(home, L"Printers\\DevModePerUser"),
              std::set<std::wstring>{L"Sheetwise Print Driver 2"});
    EXPECT_TRUE(UserValues(home, L"Printers\\Settings").empty());
    EXPECT_EQ(ReadText(home / ".cups" / "lpoptions"), "Dest Other x=1\n");
    EXPECT_TRUE(ValueNames(HKEY_CURRENT_USER, L"Printers\\DevModePerUser").empty());
}

TEST_F(SetupTest, a_second_printer_on_the_port_keeps_the_port_and_its_monitor) {
    std::string out;
    ASSERT_EQ(RunSetup(InstallArgs(), &out), 0) << out;
    std::string ppd = ReadText(install_ / "sheetwise.ppd");
    ppd = std::regex_replace(ppd, std::regex("Sheetwise Print Driver"), "Other Model");
    WriteText(root_ / "other.ppd", ppd);
    ASSERT_EQ(Run("lpadmin -p Other_Printer -v sheetwise:/Sheetwise%20Port -P '" +
                      (root_ / "other.ppd").string() + "'",
                  &out),
              0)
        << out;
    ASSERT_EQ(RunSetup("-uninstall", &out), 0) << out;
    EXPECT_FALSE(QueueExists(kQueue));
    EXPECT_TRUE(QueueExists("Other_Printer"));
    EXPECT_TRUE(fs::exists(backend_ / "sheetwise"));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kMonitorKey));
    EXPECT_EQ(ValueNames(HKEY_LOCAL_MACHINE, std::wstring(kMonitorKey) + L"\\Ports"),
              std::set<std::wstring>{L"sheetwise:/Sheetwise%20Port"});
}

TEST_F(SetupTest, command_line_without_an_activity_or_the_system_switch_installs_nothing) {
    std::string out;
    // Help first: the switch list, then only the stored options of an install.
    ASSERT_EQ(RunSetup("-? -install -WINNT -INSTALLDIR '" + install_.string() + "'", &out), 0) << out;
    EXPECT_NE(out.find("Sheetwise Print Driver Installer Command Arguments:\n\t? - Show This Dialog"),
              std::string::npos)
        << out;
    EXPECT_EQ(RunSetup("-INSTALLDIR '" + install_.string() + "'", &out), 0) << out;
    EXPECT_EQ(RunSetup("-install -Silent -INSTALLDIR '" + install_.string() + "'", &out), 1);
    EXPECT_NE(out.find("Installation failed.\n\nThis version of the installation requires Windows 95/98/ME.  "
                       "Please use the NT/2000/XP installation file."),
              std::string::npos)
        << out;
    EXPECT_EQ(RunSetup("-install -WINNT -Silent", &out), 1);
    EXPECT_NE(out.find("An installation folder must be specified."), std::string::npos) << out;
    EXPECT_FALSE(QueueExists(kQueue));
    EXPECT_FALSE(fs::exists(drivers_ / "sheetwise"));
}

TEST_F(SetupTest, an_installed_driver_answered_no_is_not_reinstalled) {
    std::string out;
    ASSERT_EQ(RunSetup(InstallArgs(), &out), 0) << out;
    fs::remove(drivers_ / "sheetwise.ppd");
    EXPECT_EQ(RunSetup(InstallArgs(), &out), 1);
    EXPECT_NE(
        out.find("The driver Sheetwise Print Driver is already installed.  Do you want to remove it and "
                 "reinstall this version?"),
        std::string::npos)
        << out;
    EXPECT_NE(out.find("Installation failed.\n\nCannot install duplicate driver."), std::string::npos) << out;
    EXPECT_FALSE(fs::exists(drivers_ / "sheetwise.ppd"));
    EXPECT_TRUE(QueueExists(kQueue));
}

TEST_F(SetupTest, a_missing_file_is_reported_and_the_others_are_copied) {
    fs::remove(install_ / "sheetwise.ppd");
    std::string out;
    EXPECT_EQ(RunSetup("-install -WINNT -INSTALLDIR '" + install_.string() + "'", &out), 1);
    EXPECT_NE(
        out.find("Could not copy print driver ini file to the driver directory.\nCould not copy print driver "
                 "ini file to the spool directory."),
        std::string::npos)
        << out;
    EXPECT_TRUE(fs::exists(drivers_ / "sheetwise") && fs::exists(drivers_ / "2" / "sheetwise"));
    // The later steps are skipped, but the window still reaches its end.
    EXPECT_NE(out.find("Installation Progress: 100% Creating Shell Objects..."), std::string::npos) << out;
    EXPECT_FALSE(QueueExists(kQueue));
}

TEST_F(SetupTest, a_port_that_cannot_be_added_still_leaves_the_printer_added) {
    // Another monitor already owns a port of that name.
    ASSERT_TRUE(AddMonitorWithPort(L"Other M", L"othersch", L"Sheetwise Port"));

    std::string out;
    EXPECT_EQ(RunSetup(InstallArgs(), &out), 1);
    EXPECT_NE(out.find("Installation failed.\n\nCould not add port!"), std::string::npos) << out;
    EXPECT_EQ(out.find("Could not add printer!"), std::string::npos) << out;
    ASSERT_EQ(Run("lpstat -v Sheetwise_Print_Driver; lpstat -a Sheetwise_Print_Driver", &out), 0) << out;
    EXPECT_NE(out.find("othersch:/Sheetwise%20Port"), std::string::npos) << out;
    // The printer is not opened for jobs by a failed install.
    EXPECT_NE(out.find("not accepting requests"), std::string::npos) << out;
}

TEST_F(SetupTest, a_driver_in_use_asks_retry_and_cancel) {
    std::string out;
    ASSERT_EQ(RunSetup(InstallArgs(), &out), 0) << out;
    // A job that waits in the stopped queue keeps the driver in use.
    ASSERT_EQ(Run("cupsdisable Sheetwise_Print_Driver && echo waiting | lp -d Sheetwise_Print_Driver", &out),
              0)
        << out;
    {
        ScriptedAnswers answers({[] { return IDCANCEL; }, [] { return IDCANCEL; }});
        InstallerState().strErrorText.clear();
        EXPECT_FALSE(UninstallPrinterDriver(KVPrintDriverCommandLine::VersionNT));
        ASSERT_EQ(answers.asked.size(), 2U);
        EXPECT_EQ(answers.asked[0].rfind(L"The specified printer driver is currently locked", 0), 0U);
        EXPECT_EQ(answers.asked[1].rfind(L"WARNING!\n    The printer driver cannot be removed.", 0), 0U);
        EXPECT_EQ(InstallerState().strErrorText,
                  L"\nUninstall failed!  Please close all applications and try again.");
        EXPECT_TRUE(QueueExists(kQueue));
        EXPECT_TRUE(fs::exists(drivers_ / "sheetwise"));
    }
    {
        // Retry while the job waits, Cancel and Retry on the warning once it is gone.
        ScriptedAnswers answers({[] { return IDRETRY; }, [] { return IDCANCEL; },
                                 [this] {
                                     Run("cancel -a Sheetwise_Print_Driver");
                                     return IDRETRY;
                                 }});
        EXPECT_TRUE(UninstallPrinterDriver(KVPrintDriverCommandLine::VersionNT))
            << InstallerState().strErrorText;
        EXPECT_EQ(answers.asked.size(), 3U);
        EXPECT_FALSE(QueueExists(kQueue));
        EXPECT_FALSE(fs::exists(drivers_ / "sheetwise"));
    }
}

TEST_F(SetupTest, on_a_desktop_questions_are_windows_with_their_captions_even_when_silent) {
    std::string out;
    ASSERT_EQ(RunSetup(InstallArgs(), &out), 0) << out;
    // The printer gone, the driver stays: silent hides only the progress
    // window, the question is asked, and Yes reinstalls.
    ASSERT_EQ(Run("lpadmin -x Sheetwise_Print_Driver", &out), 0) << out;
    EXPECT_EQ(RunOnDesktop(InstallArgs(), {"wait Sheetwise Print Driver Installer", "click Yes"}, &out), 0)
        << out;
    EXPECT_EQ(out, "");
    EXPECT_TRUE(QueueExists(kQueue));

    ASSERT_EQ(Run("cupsdisable Sheetwise_Print_Driver && echo waiting | lp -d Sheetwise_Print_Driver", &out),
              0)
        << out;
    EXPECT_EQ(RunOnDesktop("-uninstall",
                           {"wait Error removing the printer driver.", "click Retry",
                            "wait Error removing the printer driver.", "click Cancel", "wait Warning",
                            "click Cancel", "wait Sheetwise Print Driver Installer", "click OK"},
                           &out),
              1)
        << out;
    // Every answer was given in a window; nothing went to the terminal.
    EXPECT_EQ(out, "");
    EXPECT_TRUE(QueueExists(kQueue));
    EXPECT_TRUE(fs::exists(drivers_ / "sheetwise"));
}

TEST_F(SetupTest, a_file_that_stays_is_not_a_clean_uninstall) {
    std::string out;
    ASSERT_EQ(RunSetup(InstallArgs(), &out), 0) << out;
    const fs::path stuck = drivers_ / "sheetwise.ppd";
    fs::remove(stuck);
    WriteText(stuck / "held", "x");
    // Nothing would delete it at the next start: the uninstall says so and fails.
    EXPECT_EQ(RunSetup("-uninstall", &out, "SHEETWISE_TMPFILES_DIR='" + (root_ / "none").string() + "'"), 1);
    EXPECT_NE(
        out.find("Installation failed.\n\nThe Sheetwise Print Driver was uninstalled, but these files could "
                 "not be removed and will stay; delete them by hand:\n    " +
                 stuck.string()),
        std::string::npos)
        << out;
    EXPECT_FALSE(QueueExists(kQueue));
    // With a list read at boot, the file is listed there and the user told.
    EXPECT_EQ(RunSetup("-uninstall", &out), 0) << out;
    EXPECT_NE(out.find("These files will be deleted after the next reboot."), std::string::npos) << out;
    const fs::path list = root_ / "tmpfiles" / "sheetwise-delete-at-boot.conf";
    const std::string entries = ReadText(list);
    EXPECT_NE(entries.find("\nr " + stuck.string() + "\n"), std::string::npos) << entries;
    EXPECT_NE(entries.find("\nr " + list.string() + "\n"), std::string::npos) << entries;
    EXPECT_EQ(entries.size() - entries.rfind("\nr " + list.string() + "\n"), list.string().size() + 4)
        << entries;
}

}  // namespace
