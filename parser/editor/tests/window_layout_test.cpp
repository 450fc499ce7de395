// Renders every window of the parser offscreen and checks its layout: each
// control lies inside its window, on top of no other, its text not cut and
// its label carrying a mnemonic. The pictures go to $SHEETWISE_SCREENSHOTS
// (else build/screenshots); docs/screenshots holds the committed ones.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QStyle>
#include <QTableWidget>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "parser/editor/KVManageProfilesDlg.h"
#include "parser/editor/KVNewProfileName.h"
#include "parser/editor/KorvanePrintDriverPropertiesDlg.h"
#include "parser/editor/tests/EditorFixture.h"
#include "parser/process/KVProgressDlg.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/UserInterface.h"
#include "platform/ui/qt/Window.h"

namespace fs = std::filesystem;
using namespace sw::ui::testing;

namespace {

QString Plain(QString text) {
    text.remove(QLatin1Char('&'));
    return text;
}

std::string Name(const QWidget* widget) {
    const QString text = Plain(sw::ui::qt::WidgetText(widget));
    return widget->metaObject()->className() + std::string(" '") + Narrow(text) + "'";
}

// Room the text of a control needs beside its frame.
int TextRoom(const QWidget* widget) {
    if (qobject_cast<const QPushButton*>(widget) != nullptr) {
        const auto* base = sw::ui::qt::Base(const_cast<QWidget*>(widget));
        const bool menuButton = base != nullptr && (base->info.style & BS_TYPEMASK) == BS_OWNERDRAW;
        return widget->width() - (menuButton ? 20 : 0) -
               2 * widget->style()->pixelMetric(QStyle::PM_ButtonMargin);
    }
    if (const auto* group = qobject_cast<const QGroupBox*>(widget)) {
        return group->width() - 2 * group->fontMetrics().averageCharWidth();
    }
    return widget->contentsRect().width();
}

std::vector<std::string> LayoutProblems(QWidget* window) {
    std::vector<std::string> problems;
    std::vector<QWidget*> shown;
    for (QWidget* child : window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (child->isVisible() && sw::ui::qt::Base(child) != nullptr) {
            shown.push_back(child);
        }
    }
    for (QWidget* child : shown) {
        const QRect box = child->geometry();
        if (!window->rect().contains(box)) {
            problems.push_back(Name(child) + " lies outside the window");
        }
        const QString text = Plain(sw::ui::qt::WidgetText(child));
        const QFontMetrics metrics = child->fontMetrics();
        const auto* label = qobject_cast<const QLabel*>(child);
        const bool wraps = label != nullptr && label->wordWrap();
        if (!text.isEmpty() && qobject_cast<QLineEdit*>(child) == nullptr &&
            qobject_cast<QComboBox*>(child) == nullptr) {
            const int needed =
                wraps ? metrics.boundingRect(QRect(0, 0, TextRoom(child), 10000), Qt::TextWordWrap, text)
                            .height()
                      : metrics.horizontalAdvance(text);
            if ((wraps ? child->height() : TextRoom(child)) < needed || child->height() < metrics.height()) {
                problems.push_back(Name(child) + " cuts its text off");
            }
        }
        const int frame = child->style()->pixelMetric(QStyle::PM_DefaultFrameWidth);
        if ((qobject_cast<QLineEdit*>(child) != nullptr || qobject_cast<QComboBox*>(child) != nullptr) &&
            child->height() < metrics.height() + 2 * frame) {
            problems.push_back(Name(child) + " is too low for its text");
        }
        if (label != nullptr && label->buddy() != nullptr && !label->text().contains(QLatin1Char('&'))) {
            problems.push_back(Name(child) + " names a control but has no mnemonic");
        }
    }
    for (size_t i = 0; i < shown.size(); ++i) {
        for (size_t j = i + 1; j < shown.size(); ++j) {
            const QRect a = shown[i]->geometry();
            const QRect b = shown[j]->geometry();
            if (!a.intersects(b)) {
                continue;
            }
            auto* groupA = qobject_cast<QGroupBox*>(shown[i]);
            auto* groupB = qobject_cast<QGroupBox*>(shown[j]);
            QGroupBox* group = groupA != nullptr ? groupA : groupB;
            const QRect inner = group == groupA ? b : a;
            if (group != nullptr && group->geometry().contains(inner)) {
                // Inside a frame, but below its title.
                if (!group->title().isEmpty() && inner.top() < group->y() + group->fontMetrics().height()) {
                    problems.push_back(Name(group == groupA ? shown[j] : shown[i]) + " covers the title of " +
                                       Name(group));
                }
                continue;
            }
            problems.push_back(Name(shown[i]) + " overlaps " + Name(shown[j]));
        }
    }
    return problems;
}

class window_layout_test : public EditorTest {
protected:
    void SetUp() override {
        EditorTest::SetUp();
        const char* chosen = std::getenv("SHEETWISE_SCREENSHOTS");
        shots_ =
            chosen != nullptr && *chosen != '\0' ? fs::path(chosen) : fs::path(SW_BINARY_DIR) / "screenshots";
        fs::create_directories(shots_);
    }
    // A step: checks the window and writes its picture.
    UiDriver::Step Render(const std::function<QWidget*()>& find, const std::string& name) {
        return [this, find, name] {
            QWidget* window = find();
            if (window == nullptr || !window->isVisible()) {
                return false;
            }
            QApplication::processEvents();
            for (const std::string& problem : LayoutProblems(window)) {
                ADD_FAILURE() << name << ": " << problem;
            }
            EXPECT_TRUE(window->grab().save(QString::fromStdString((shots_ / (name + ".png")).string())));
            return true;
        };
    }
    fs::path shots_;
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
