// The installer's windows on the offscreen platform: the help in both modes
// and the two progress windows, each checked for its layout and pictured
// (docs/screenshots holds the pictures).
#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QTest>
#include <QTextEdit>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/ui/UserInterface.h"
#include "platform/ui/tests/LayoutCheck.h"
#include "platform/ui/tests/UiDriver.h"
#include "setup/app/KVPrintDriverCommandLine.h"
#include "setup/res/CDlgUninstall.h"
#include "setup/res/KVCommandArgsHelpDlg.h"
#include "setup/res/KVPrintDriverInstallerDlg.h"
#include "setup/res/resource.h"

using namespace sw::ui::testing;

namespace {

QWidget* HelpWindow() {
    return Window(QStringLiteral("Sheetwise Print Driver Command Arguments"));
}

// A progress window as the sequences leave it halfway: its status line and
// bar, no close box, and Escape does not close it.
void ExpectProgressWindow(const QString& caption, unsigned barId, const QString& status, int pos,
                          const std::string& picture) {
    QWidget* window = Window(caption);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->windowFlags() & Qt::WindowCloseButtonHint, Qt::WindowFlags());
    QTest::keyClick(window, Qt::Key_Escape);
    EXPECT_TRUE(window->isVisible());
    const auto* bar = qobject_cast<QProgressBar*>(Control(window, barId));
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->value(), pos);
    EXPECT_EQ(bar->maximum(), 100);
    const auto* label = qobject_cast<QLabel*>(Control(window, IDC_STATUS_TEXT));
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(Narrow(label->text()), Narrow(status));
    EXPECT_TRUE(CheckLayoutAndSave([window] { return window; }, picture)());
}

TEST(setup_window_test, help_shows_its_text_to_read_and_return_closes_it_in_both_modes) {
    ASSERT_TRUE(sw::ui::StartUserInterface(IDS_APP_TITLE, false));
    struct Case {
        std::vector<std::wstring> args;
        int mode;
        const char* picture;
    };
    for (const Case& c : {Case{{L"-?"}, KVCommandArgsHelpDlg::ModeSwitches, "installer-help-switches"},
                          Case{{L"-s", L"-install", L"-WINNT", L"-Silent"},
                               KVCommandArgsHelpDlg::ModeCurrentArgs,
                               "installer-help-arguments"}}) {
        KVPrintDriverCommandLine cmd;
        ParseInstallerCommandLine(c.args, cmd);
        KVCommandArgsHelpDlg dlg(c.mode, cmd);
        UiDriver ui;
        ui.Then(CheckLayoutAndSave(HelpWindow, c.picture)).Then([&dlg] {
            const auto* text = qobject_cast<QTextEdit*>(Control(HelpWindow(), IDC_ARGS_TEXT));
            EXPECT_TRUE(text != nullptr && text->isReadOnly());
            EXPECT_EQ(text != nullptr ? text->toPlainText().toStdWString() : std::wstring(), dlg.GetText());
            // The keys go to OK, not into the text.
            EXPECT_EQ(QApplication::focusWidget(), Button(HelpWindow(), QStringLiteral("OK")));
            Key(QApplication::focusWidget(), Qt::Key_Return);
            return true;
        });
        ui.Run([&dlg] { EXPECT_EQ(dlg.DoModal(), IDOK); });
    }
    EXPECT_EQ(HelpWindow(), nullptr);
}

TEST(setup_window_test, progress_windows_show_the_step_and_stay_until_the_work_ends) {
    ASSERT_TRUE(sw::ui::StartUserInterface(IDS_APP_TITLE, false));
    {
        KVPrintDriverInstallerDlg dlg;
        dlg.Create();
        dlg.ShowWindow();
        dlg.SetStatusText(L"Copying Installation Files...");
        dlg.SetStep(40);
        dlg.StepIt();
        dlg.SetStep(5);
        dlg.StepIt();
        ExpectProgressWindow(QStringLiteral("Sheetwise Print Driver Installation"), IDC_INSTALL_PROGRESS,
                             QStringLiteral("Copying Installation Files..."), 45, "installer-progress");
        dlg.DestroyWindow();
    }
    {
        CDlgUninstall dlg;
        dlg.Create();
        dlg.ShowWindow();
        dlg.SetStatusText(L"Removing Port Monitor ...");
        dlg.SetPos(60);
        ExpectProgressWindow(QStringLiteral("Sheetwise Print Driver Uninstall"), IDC_UNINSTALL_PROGRESS,
                             QStringLiteral("Removing Port Monitor ..."), 60, "uninstall-progress");
        dlg.DestroyWindow();
    }
    QApplication::processEvents();
    EXPECT_EQ(Window(QStringLiteral("Sheetwise Print Driver Installation")), nullptr);
    EXPECT_EQ(Window(QStringLiteral("Sheetwise Print Driver Uninstall")), nullptr);
}

}  // namespace
