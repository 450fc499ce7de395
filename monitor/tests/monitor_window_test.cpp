// The monitor's progress window on the desktop (offscreen under CTest): what
// it shows of the job, its controls inside it and uncut, and Cancel ending
// the wait. Its picture goes to $SHEETWISE_SCREENSHOTS (else
// build/screenshots); docs/screenshots holds the committed one.
#include <gtest/gtest.h>

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>

#include <cstdlib>
#include <filesystem>

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

    const char* chosen = std::getenv("SHEETWISE_SCREENSHOTS");
    const std::filesystem::path shots = chosen != nullptr && *chosen != '\0'
                                            ? std::filesystem::path(chosen)
                                            : std::filesystem::path(SW_BINARY_DIR) / "screenshots";
    std::filesystem::create_directories(shots);
    EXPECT_TRUE(window->grab().save(QString::fromStdString((shots / "print-monitor.png").string())));

    // The longest status a job can show: the controls inside the window, none
    // over another, no text cut.
    const PageValues most{99999, 99999};
    wnd.OnJobMessage(MakeJobMessage(kPagePrinted, L"Sales", L"", L"Sheetwise Print Driver"), &most);
    const QList<QWidget*> controls = window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    ASSERT_EQ(controls.size(), 3);
    for (QWidget* control : controls) {
        const std::string name = control->metaObject()->className();
        EXPECT_TRUE(window->rect().contains(control->geometry())) << name;
        for (QWidget* other : controls) {
            EXPECT_TRUE(other == control || !other->geometry().intersects(control->geometry())) << name;
        }
        int room = control->contentsRect().width();
        QString text;
        if (auto* label = qobject_cast<QLabel*>(control)) {
            text = label->text();
        } else if (auto* button = qobject_cast<QPushButton*>(control)) {
            text = button->text();
            room = button->width() - 2 * button->style()->pixelMetric(QStyle::PM_ButtonMargin);
        }
        EXPECT_LE(control->fontMetrics().horizontalAdvance(text), room) << Narrow(text);
    }
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
