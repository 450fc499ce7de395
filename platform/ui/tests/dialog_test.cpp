// The framework's windows on Qt, driven as a user would.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>

#include "platform/ui/Controls.h"
#include "platform/ui/Dialog.h"
#include "platform/ui/FileDialog.h"
#include "platform/ui/Interactive.h"
#include "platform/ui/Menu.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/tests/UiDriver.h"

using namespace sw::ui::testing;

namespace {

constexpr UINT kFirst = 100;
constexpr UINT kSecond = 101;
constexpr UINT kName = 102;

sw::ui::DialogTemplate TwoNumbers() {
    sw::ui::DialogTemplate t;
    t.caption = L"Numbers";
    t.cx = 120;
    t.cy = 60;
    t.style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
    t.items = {
        {sw::ui::ControlKind::Static, 0xFFFF, L"&First:", 4, 4, 40, 12, SS_CENTERIMAGE},
        {sw::ui::ControlKind::Edit, kFirst, L"", 50, 4, 60, 12, WS_TABSTOP},
        {sw::ui::ControlKind::Static, 0xFFFF, L"&Second:", 4, 20, 40, 12, SS_CENTERIMAGE},
        {sw::ui::ControlKind::Edit, kSecond, L"", 50, 20, 60, 12, WS_TABSTOP},
        {sw::ui::ControlKind::Edit, kName, L"", 50, 36, 60, 12, WS_TABSTOP},
        {sw::ui::ControlKind::Button, IDOK, L"OK", 4, 44, 40, 14, WS_TABSTOP | BS_DEFPUSHBUTTON},
    };
    return t;
}

// Two numbers, the first between 1 and 5, and a name.
class NumbersDlg : public CDialog {
public:
    NumbersDlg() : CDialog(TwoNumbers()) {}
    int m_nFirst = 2;
    int m_nSecond = 7;
    CString m_strName = L"start";
    int m_nOkCommands = 0;

protected:
    void DoDataExchange(CDataExchange* pDX) override {
        DDX_Text(pDX, kFirst, m_nFirst);
        DDV_MinMaxInt(pDX, m_nFirst, 1, 5);
        DDX_Text(pDX, kSecond, m_nSecond);
        DDX_Text(pDX, kName, m_strName);
    }
    void OnOK() override {
        ++m_nOkCommands;
        CDialog::OnOK();
    }
};

QWidget* Numbers() {
    return Window(QStringLiteral("Numbers"));
}

}  // namespace

TEST(ui_headless_test, without_windows_dialogs_answer_cancel_and_show_nothing) {
    ASSERT_FALSE(sw::ui::IsInteractive());
    NumbersDlg dialog;
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    EXPECT_EQ(dialog.m_hWnd, nullptr);
    CFileDialog files(FALSE, L"xls");
    EXPECT_EQ(files.DoModal(), IDCANCEL);
    EXPECT_TRUE(files.GetPathName().empty());
}

TEST(ui_dialog_test, data_exchange_stops_at_the_failing_value_with_its_message_and_focus) {
    StartUi();
    NumbersDlg dialog;
    QString said;
    UiDriver ui;
    ui.Then([] {
          if (Numbers() == nullptr) {
              return false;
          }
          Type(Control(Numbers(), kFirst), QStringLiteral("abc"));
          Type(Control(Numbers(), kSecond), QStringLiteral("8"));
          Key(Control(Numbers(), kSecond), Qt::Key_Return);
          return true;
      })
        .Then(Answer(QStringLiteral("Please enter an integer."), QMessageBox::Ok))
        .Then([&] {
            if (OpenMessageBox() != nullptr) {
                return false;
            }
            // The failing edit has the focus; the value after it was not read.
            EXPECT_EQ(Numbers()->focusWidget(), Control(Numbers(), kFirst));
            EXPECT_EQ(dialog.m_nSecond, 7);
            Type(Control(Numbers(), kFirst), QStringLiteral("9"));
            Click(Button(Numbers(), QStringLiteral("OK")));
            return true;
        })
        .Then(Answer(QStringLiteral("Please enter an integer between 1 and 5."), QMessageBox::Ok))
        .Then([] {
            if (OpenMessageBox() != nullptr) {
                return false;
            }
            Type(Control(Numbers(), kFirst), QStringLiteral(" 4 "));
            Type(Control(Numbers(), kName), QStringLiteral("Quarterly"));
            Key(Control(Numbers(), kName), Qt::Key_Return);
            return true;
        });
    ui.Run([&] { EXPECT_EQ(dialog.DoModal(), IDOK); });
    EXPECT_EQ(dialog.m_nFirst, 4);
    EXPECT_EQ(dialog.m_nSecond, 8);
    EXPECT_EQ(dialog.m_strName, L"Quarterly");
    EXPECT_EQ(dialog.m_nOkCommands, 3);
}

TEST(ui_dialog_test, controls_are_placed_in_dialog_units_of_the_shown_font) {
    StartUi();
    const QFont before = QApplication::font();
    for (const int points : {9, 14}) {
        QFont font = before;
        font.setPointSize(points);
        QApplication::setFont(font);
        NumbersDlg dialog;
        UiDriver ui;
        ui.Then([&] {
            QWidget* window = Numbers();
            if (window == nullptr) {
                return false;
            }
            CRect edit(50, 20, 110, 32);
            dialog.MapDialogRect(&edit);
            const QRect placed = Control(window, kSecond)->geometry();
            EXPECT_EQ(placed, QRect(static_cast<int>(edit.left), static_cast<int>(edit.top),
                                    static_cast<int>(edit.Width()), static_cast<int>(edit.Height())));
            CRect client(0, 0, 120, 60);
            dialog.MapDialogRect(&client);
            EXPECT_EQ(window->size(),
                      QSize(static_cast<int>(client.Width()), static_cast<int>(client.Height())));
            // Four horizontal units are one average character of the font.
            CRect four(0, 0, 4, 8);
            dialog.MapDialogRect(&four);
            EXPECT_NEAR(static_cast<double>(four.Width()), QFontMetrics(font).averageCharWidth(), 2);
            Key(window, Qt::Key_Escape);
            return true;
        });
        ui.Run([&] { EXPECT_EQ(dialog.DoModal(), IDCANCEL); });
    }
    QApplication::setFont(before);
}

TEST(ui_dialog_test, message_boxes_carry_title_icon_buttons_and_answer) {
    StartUi();
    sw::ui::SetAppTitle(L"Sheetwise File Parser");
    int answer = 0;
    UiDriver ui;
    ui.Then([] {
          QMessageBox* box = OpenMessageBox();
          if (box == nullptr) {
              return false;
          }
          EXPECT_EQ(box->icon(), QMessageBox::Question);  // a Yes/No box without an icon of its own
          EXPECT_EQ(static_cast<QAbstractButton*>(box->defaultButton()), box->button(QMessageBox::No));
          return true;
      })
        .Then(Answer(QStringLiteral("Replace it?"), QMessageBox::Yes))
        .Then([&] {
            EXPECT_EQ(answer, IDYES);
            return true;
        });
    ui.Run([&] { answer = AfxMessageBox(L"Replace it?", MB_YESNO | MB_DEFBUTTON2); });

    UiDriver retry;
    retry
        .Then([] {
            QMessageBox* box = OpenMessageBox();
            if (box != nullptr) {
                EXPECT_EQ(box->icon(), QMessageBox::Critical);
            }
            return box != nullptr;
        })
        .Then(Answer(QStringLiteral("The specified file is either open or read only.  Retry?"),
                     QMessageBox::Retry));
    retry.Run([&] {
        answer = AfxMessageBox(L"The specified file is either open or read only.  Retry?",
                               MB_RETRYCANCEL | MB_ICONSTOP);
    });
    EXPECT_EQ(answer, IDRETRY);
}

TEST(ui_dialog_test, save_dialog_filters_adds_extension_and_refuses_missing_folders) {
    const auto pairs = CFileDialog::SplitFilter(L"Excel Files (*.xls)|*.xls|All Files (*.*)|*.*||");
    ASSERT_EQ(pairs.size(), 2U);
    EXPECT_EQ(pairs[1].first, L"All Files (*.*)");
    EXPECT_EQ(pairs[1].second, L"*.*");
    EXPECT_EQ(CFileDialog::WithDefaultExtension(L"/tmp/report", L"xls"), L"/tmp/report.xls");
    EXPECT_EQ(CFileDialog::WithDefaultExtension(L"/tmp/report.xlsx", L"xls"), L"/tmp/report.xlsx");
    EXPECT_EQ(CFileDialog::WithDefaultExtension(L"/tmp.d/report", L"xls"), L"/tmp.d/report.xls");

    StartUi();
    const std::string folder = ::testing::TempDir();
    CFileDialog dialog(FALSE, L"xls", nullptr, OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST,
                       L"Excel Files (*.xls)|*.xls|All Files (*.*)|*.*||");
    UiDriver ui;
    ui.Then([] {
          auto* files = qobject_cast<QFileDialog*>(Window(QStringLiteral("Save As")));
          if (files == nullptr) {
              return false;
          }
          EXPECT_EQ(files->nameFilters(),
                    QStringList({QStringLiteral("Excel Files (*.xls)"), QStringLiteral("All Files (*)")}));
          Paste(Labelled(files, QStringLiteral("File name:")), QStringLiteral("/no/such/folder/book"));
          Click(Button(files, QStringLiteral("Save")));
          return true;
      })
        .Then(Answer(QStringLiteral("/no/such/folder\nPath does not exist.\nCheck the path and try again."),
                     QMessageBox::Ok))
        .Then([&] {
            QWidget* files = Window(QStringLiteral("Save As"));
            if (files == nullptr || OpenMessageBox() != nullptr) {
                return false;
            }
            Paste(Labelled(files, QStringLiteral("File name:")), QString::fromStdString(folder + "/book"));
            Click(Button(files, QStringLiteral("Save")));
            return true;
        });
    ui.Run([&] { EXPECT_EQ(dialog.DoModal(), IDOK); });
    EXPECT_EQ(dialog.GetPathName(),
              QFileInfo(QString::fromStdString(folder + "/book.xls")).absoluteFilePath().toStdWString());
}

TEST(ui_dialog_test, menus_keep_entries_by_position_and_grey_ones_cannot_be_chosen) {
    CMenu menu;
    ASSERT_TRUE(menu.CreatePopupMenu());
    menu.AppendMenu(MF_STRING, 10, L"First");
    menu.AppendMenu(MF_SEPARATOR);
    menu.AppendMenu(MF_STRING, 12, L"Second");
    EXPECT_EQ(menu.GetMenuItemID(1), 0U);
    EXPECT_EQ(menu.EnableMenuItem(2, MF_BYPOSITION | MF_GRAYED), MF_ENABLED);
    EXPECT_EQ(menu.GetMenuState(12, MF_BYCOMMAND), MF_GRAYED);
    EXPECT_EQ(menu.EnableMenuItem(7, MF_BYPOSITION), static_cast<UINT>(-1));

    StartUi();
    BOOL chosen = -1;
    UiDriver ui;
    ui.Then([] {
        auto* popup = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (popup == nullptr) {
            return false;
        }
        const QList<QAction*> actions = popup->actions();
        EXPECT_FALSE(actions.value(2)->isEnabled());
        popup->setActiveAction(actions.value(0));
        Key(popup, Qt::Key_Return);
        return true;
    });
    ui.Run([&] { chosen = menu.TrackPopupMenu(TPM_RETURNCMD, 10, 10, nullptr); });
    EXPECT_EQ(chosen, 10);
    ASSERT_TRUE(menu.DeleteMenu(0, MF_BYPOSITION));
    EXPECT_EQ(menu.GetMenuItemCount(), 2);
}
