// The monitor's progress window on the desktop (offscreen under CTest): what
// it shows of the job, and Cancel ending the wait.
#include <gtest/gtest.h>

#include <QLabel>
#include <QProgressBar>

#include "monitor/window/KVPrintMonitorDlg.h"
#include "monitor/window/KVPrintMonitorWnd.h"
#include "platform/ui/tests/UiDriver.h"

using namespace sw::ui::testing;
using namespace sw::vendor;

namespace {

// Page values come with the messages here; the printer is never asked.
class NoPrinter : public KVJobProgress::Printer {
public:
    PageValues GetCurrentSettings(const std::wstring& /*printerName*/) override { return {}; }
    void DeleteQueuedJob(const std::wstring& /*document*/, const std::wstring& /*printer*/) override {}
};

std::string Text(QWidget* window, unsigned id) {
    auto* label = qobject_cast<QLabel*>(Control(window, id));
    return label != nullptr ? Narrow(label->text()) : "(no label)";
}

}  // namespace

TEST(monitor_window_test, shows_the_followed_job_and_cancel_ends_the_wait) {
    StartUi();
    NoPrinter printer;
    KVPrintMonitorDlg dlg;
    KVPrintMonitorWnd wnd(printer, dlg);
    dlg.Show(wnd.GetProgress());
    QWidget* window = Window("Sheetwise Print Monitor");
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(Text(window, 1049), "Waiting for print driver...");
    EXPECT_EQ(Button(window, "Close"), nullptr);

    const PageValues first{4, 1};
    const PageValues second{3, 2};
    wnd.OnJobMessage(MakeJobMessage(kJobStarted, L"Sales", L"", L"Sheetwise Print Driver"), &first);
    EXPECT_EQ(Text(window, 1049), "Initializing print job.");
    wnd.OnJobMessage(MakeJobMessage(kPagePrinted, L"Sales", L"", L"Sheetwise Print Driver"), &first);
    wnd.OnJobMessage(MakeJobMessage(kPagePrinted, L"Sales", L"", L"Sheetwise Print Driver"), &second);
    EXPECT_EQ(Text(window, 1049), "Printing 2 of 4 pages");
    auto* bar = qobject_cast<QProgressBar*>(Control(window, 30003));
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->value() * 100 / bar->maximum(), 50);

    UiDriver()
        .Then([&] {
            Click(Button(window, "Cancel"));
            return true;
        })
        .Run([&] {
            while (!wnd.GetProgress().IsFinished()) {
                dlg.Pump(-1, 50);
            }
        });
    EXPECT_TRUE(wnd.GetProgress().IsCancelled());
    dlg.Destroy();
    EXPECT_EQ(Window("Sheetwise Print Monitor"), nullptr);
}
