// Renders every window of the parser offscreen and checks its layout
// (platform/ui/tests/LayoutCheck.h); docs/screenshots holds the pictures.
#include <QApplication>
#include <QListWidget>
#include <QMessageBox>

#include <functional>
#include <string>

#include "parser/editor/KVManageProfilesDlg.h"
#include "parser/editor/KVNewProfileName.h"
#include "parser/editor/KorvanePrintDriverPropertiesDlg.h"
#include "parser/editor/tests/EditorFixture.h"
#include "parser/process/KVProgressDlg.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/UserInterface.h"
#include "platform/ui/tests/LayoutCheck.h"

using namespace sw::ui::testing;

namespace {

class window_layout_test : public EditorTest {
protected:
    static UiDriver::Step Render(const std::function<QWidget*()>& find, const std::string& name) {
        return CheckLayoutAndSave(find, name);
    }
};

}  // namespace

TEST_F(window_layout_test, properties_dialog_in_both_layouts) {
    StoreProfile(L"Quarterly Sales", L"QUARTERLY SALES REPORT", L"$#,##0.00", L"Custom");
    StoreAnchor(L"Quarterly Sales", L"Page Total", KVExcelRemoveDataAnchor::enAnchorRemoveRow);
    StoreAnchor(L"Quarterly Sales", L"Report Footer", KVExcelRemoveDataAnchor::enAnchorClearArea);
    KVDriverOptionsMgr mgr;
    KorvanePrintDriverPropertiesDlg dialog(&mgr, TRUE);
    UiDriver ui;
    ui.Then(Render(
                [] {
                    for (QWidget* window : QApplication::topLevelWidgets()) {
                        if (window->objectName() == QLatin1String("SplashScreenExClass") &&
                            window->isVisible() && window->windowOpacity() > 0.99) {
                            return window;
                        }
                    }
                    return static_cast<QWidget*>(nullptr);
                },
                "splash"))
        .Then(ClickSplashAway())
        .Then(Render(PropertiesWindow, "properties-basic"))
        .Then([] {
            auto* options = Button(PropertiesWindow(), QStringLiteral("Options"));
            Key(options, Qt::Key_Space);
            return true;
        })
        .Then([] { return PropertiesWindow() != nullptr && PropertiesWindow()->height() > 200; })
        .Then([] {
            auto* list = qobject_cast<QListWidget*>(Control(PropertiesWindow(), 1023));
            list->setCurrentRow(1);
            return true;
        })
        .Then(Render(PropertiesWindow, "properties-advanced"))
        .Then([] {
            Click(Button(PropertiesWindow(), QStringLiteral("Cancel")));
            return true;
        });
    ui.Run([&] { EXPECT_EQ(dialog.DoModal(), IDCANCEL); });
}

TEST_F(window_layout_test, profile_dialogs_progress_window_and_message_box) {
    StoreProfile(L"Quarterly Sales", L"QUARTERLY SALES REPORT");
    StoreProfile(L"Aged Receivables", L"AGED RECEIVABLES");
    StoreProfile(L"Stock Valuation", L"STOCK VALUATION");
    KVDriverOptionsMgr mgr;
    {
        KVNewProfileName dialog;
        UiDriver ui;
        ui.Then([] {
              QWidget* window = Window(QStringLiteral("New Profile Name"));
              if (window != nullptr) {
                  Type(Labelled(window, QStringLiteral("Enter a new profile name:")),
                       QStringLiteral("Month End"));
              }
              return window != nullptr;
          })
            .Then(Render([] { return Window(QStringLiteral("New Profile Name")); }, "new-profile-name"))
            .Then([] {
                Click(Button(Window(QStringLiteral("New Profile Name")), QStringLiteral("Cancel")));
                return true;
            });
        ui.Run([&] { dialog.DoModal(); });
    }
    {
        KVManageProfilesDlg dialog(&mgr.GetExcelProfileArray());
        UiDriver ui;
        ui.Then(Render([] { return Window(QStringLiteral("Manage Profiles")); }, "manage-profiles")).Then([] {
            Click(Button(Window(QStringLiteral("Manage Profiles")), QStringLiteral("Cancel")));
            return true;
        });
        ui.Run([&] { dialog.DoModal(); });
    }
    {
        const KVProfileArray none;
        KVManageProfilesDlg dialog(&none);
        UiDriver ui;
        ui.Then(Render([] { return Window(QStringLiteral("Manage Profiles")); }, "manage-profiles-empty"))
            .Then([] {
                Click(Button(Window(QStringLiteral("Manage Profiles")), QStringLiteral("OK")));
                return true;
            });
        ui.Run([&] { EXPECT_EQ(dialog.DoModal(), IDOK); });
    }
    {
        KVProgressDlg progress;
        progress.Create();
        progress.ShowWindow();
        progress.OffsetPos(50);
        progress.SetStatus(L"Writing data...");
        EXPECT_TRUE(Render([] { return Window(QStringLiteral("Sheetwise File Parser")); }, "progress")());
        progress.DestroyWindow();
    }
    {
        UiDriver ui;
        ui.Then(Render([] { return static_cast<QWidget*>(OpenMessageBox()); }, "message-box"))
            .Then(Answer(QStringLiteral("Are you sure you want to remove the Page Total anchor?"),
                         QMessageBox::No));
        ui.Run([] {
            AfxMessageBox(L"Are you sure you want to remove the Page Total anchor?",
                          MB_YESNO | MB_ICONEXCLAMATION);
        });
    }
}
