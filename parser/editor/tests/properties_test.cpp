// The properties dialog driven as a user would, over a store of its own:
// what OK stores, that Cancel stores nothing, and the rules that tie the
// controls to the profile.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>

#include "parser/editor/KorvanePrintDriverPropertiesDlg.h"
#include "parser/editor/tests/EditorFixture.h"
#include "parser/res/resource.h"

using namespace sw::ui::testing;

namespace {

QString Text(QWidget* control) {
    if (auto* combo = qobject_cast<QComboBox*>(control)) {
        return combo->currentText();
    }
    return qobject_cast<QLineEdit*>(control)->text();
}

UiDriver::Step Do(std::function<void()> action) {
    return In(QStringLiteral("Sheetwise Print Driver Properties"), [action](QWidget*) { action(); });
}

}  // namespace

TEST_F(EditorTest, ok_stores_every_edit_and_escape_stores_nothing) {
    StoreProfile(L"Sales", L"SALES REPORT");
    const std::string before = Snapshot();
    {
        KVDriverOptionsMgr mgr;
        KorvanePrintDriverPropertiesDlg dialog(&mgr, FALSE);
        UiDriver ui;
        ui.Then(DialogShown()).Then(ShowAdvanced()).Then(Do([] {
            Type(Field(QStringLiteral("Report Identifier:")), QStringLiteral("CHANGED"));
            Key(Field(QStringLiteral("Report Identifier:")), Qt::Key_Escape);
        }));
        ui.Run([&] { EXPECT_EQ(dialog.DoModal(), IDCANCEL); });
    }
    EXPECT_EQ(Snapshot(), before);

    KVDriverOptionsMgr mgr;
    KorvanePrintDriverPropertiesDlg dialog(&mgr, FALSE);
    UiDriver ui;
    ui.Then(DialogShown())
        .Then(ShowAdvanced())
        .Then(
            Do([] { Choose(qobject_cast<QComboBox*>(Field(QStringLiteral("Number Format:"))), "Currency"); }))
        .Then(Do([] {
            Type(Field(QStringLiteral("Decimal Places:")), QStringLiteral("3"));
            Choose(qobject_cast<QComboBox*>(Field(QStringLiteral("Date Format:"))), "Custom");
        }))
        .Then(Do([] {
            EXPECT_FALSE(qobject_cast<QLineEdit*>(Field(QStringLiteral("Custom Format:")))->isReadOnly());
            Type(Field(QStringLiteral("Custom Format:")), QStringLiteral("yyyy"));
            Type(Field(QStringLiteral("Report Identifier:")), QStringLiteral("NEW ID"));
            Type(Field(QStringLiteral("Font Size:")), QStringLiteral("14"));
            Click(Field(QStringLiteral("Bold")));
            Click(Field(QStringLiteral("Resize Cells")));
        }))
        .Then(Do([] { Key(Field(QStringLiteral("Report Identifier:")), Qt::Key_Return); }));
    ui.Run([&] { EXPECT_EQ(dialog.DoModal(), IDOK); });

    auto stored = Stored();
    KVDriverOptionsExcel* sales = Profile(*stored, L"Sales");
    ASSERT_NE(sales, nullptr);
    EXPECT_STREQ(sales->GetReportIdentifier(), L"NEW ID");
    EXPECT_STREQ(sales->GetNumericFormat(), L"$#,##0.000");
    EXPECT_STREQ(sales->GetDateFormatW(), L"Custom");
    EXPECT_STREQ(sales->GetCustomDateFormat(), L"yyyy");
    EXPECT_EQ(sales->GetFontSize(), 14);
    EXPECT_EQ(sales->GetFontBold(), TRUE);
    EXPECT_EQ(sales->GetResizeCells(), FALSE);
    EXPECT_EQ(stored->GetMRUProfile(), sales);
}

TEST_F(EditorTest, default_profile_shows_fixed_values_and_cannot_be_deleted) {
    StoreProfile(L"Sales", L"SALES REPORT");
    KVDriverOptionsMgr mgr;
    KorvanePrintDriverPropertiesDlg dialog(&mgr, FALSE);
    UiDriver ui;
    ui.Then(DialogShown())
        .Then(ShowAdvanced())
        .Then(Do([] { Choose(qobject_cast<QComboBox*>(Field(QStringLiteral("Profile Name:"))), "Default"); }))
        .Then(Do([] {
            for (const unsigned id :
                 {IDC_REPORT_IDENTIFIER, IDC_NUMBER_FORMAT, IDC_DEFAULT_FONT, IDC_FONT_SIZE, IDC_SECTION_LIST,
                  IDC_ADD_SECTION, IDC_REMOVE_SECTIONS}) {
                EXPECT_FALSE(Field(id)->isEnabled()) << id;
            }
            EXPECT_EQ(Text(Field(IDC_FONT_SIZE)), QStringLiteral("12"));
            EXPECT_TRUE(Text(Field(IDC_DEFAULT_FONT)).startsWith(QStringLiteral("Arial")) ||
                        qobject_cast<QComboBox*>(Field(IDC_DEFAULT_FONT))->currentIndex() == 0);
            EXPECT_FALSE(qobject_cast<QCheckBox*>(Field(IDC_BOLD))->isChecked());
            Click(Button(PropertiesWindow(), QStringLiteral("Options")));
        }))
        .Then([] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (menu == nullptr) {
                return false;
            }
            EXPECT_EQ(menu->actions().value(3)->text(), QStringLiteral("Delete Profile..."));
            EXPECT_FALSE(menu->actions().value(3)->isEnabled());
            Key(menu, Qt::Key_Escape);
            return true;
        })
        .Then(Do([] { Click(Button(PropertiesWindow(), QStringLiteral("Cancel"))); }));
    ui.Run([&] { EXPECT_EQ(dialog.DoModal(), IDCANCEL); });
}

TEST_F(EditorTest, stored_formats_load_back_as_their_entry_and_decimal_places) {
    StoreProfile(L"Percent", L"A", L"0.0%");
    StoreProfile(L"Money", L"B", L"$#,##0.00");
    StoreProfile(L"Plain", L"C", L"0.000");
    StoreProfile(L"Whole", L"D", L"#,##0");
    StoreProfile(L"Odd Date", L"E", L"", L"dd.mm.yyyy");
    struct Expected {
        const char* profile;
        const char* number;
        const char* places;
    };
    const Expected cases[] = {{"Percent", "Percentage", "1"},
                              {"Money", "Currency", "2"},
                              {"Plain", "General Number", "3"},
                              {"Whole", "General Number", "0"},
                              {"Odd Date", "None", "0"}};
    KVDriverOptionsMgr mgr;
    KorvanePrintDriverPropertiesDlg dialog(&mgr, FALSE);
    UiDriver ui;
    ui.Then(DialogShown()).Then(ShowAdvanced());
    for (const Expected& expected : cases) {
        ui.Then(Do([expected] {
              Choose(qobject_cast<QComboBox*>(Field(QStringLiteral("Profile Name:"))), expected.profile);
          }))
            .Then(Do([expected] {
                EXPECT_EQ(Narrow(Text(Field(IDC_NUMBER_FORMAT))), expected.number) << expected.profile;
                EXPECT_EQ(Narrow(Text(Field(IDC_DECIMAL_PLACES))), expected.places) << expected.profile;
            }));
    }
    ui.Then(Do([] {
        // A date format none of the entries carries: "None", and no custom text.
        EXPECT_EQ(Text(Field(IDC_DATE_FORMAT)), QStringLiteral("None"));
        EXPECT_TRUE(qobject_cast<QLineEdit*>(Field(IDC_CUSTOM_FORMAT))->isReadOnly());
        EXPECT_TRUE(Text(Field(IDC_CUSTOM_FORMAT)).isEmpty());
        EXPECT_FALSE(Field(IDC_DECIMAL_PLACES)->isEnabled());
        Click(Button(PropertiesWindow(), QStringLiteral("Cancel")));
    }));
    ui.Run([&] { EXPECT_EQ(dialog.DoModal(), IDCANCEL); });
}

TEST_F(EditorTest, a_value_failing_its_check_keeps_the_dialog_open_and_stores_nothing) {
    StoreProfile(L"Sales", L"SALES REPORT");
    const std::string before = Snapshot();
    KVDriverOptionsMgr mgr;
    KorvanePrintDriverPropertiesDlg dialog(&mgr, FALSE);
    UiDriver ui;
    ui.Then(DialogShown()).Then(ShowAdvanced()).Then(Do([] {
        Type(Field(QStringLiteral("Font Size:")), QStringLiteral("0"));
        Click(Button(PropertiesWindow(), QStringLiteral("OK")));
    }));
    ui.Then(Answer(QStringLiteral("Please enter an integer between 1 and 256."), QMessageBox::Ok))
        .Then(Do([] {
            EXPECT_EQ(PropertiesWindow()->focusWidget(), Field(IDC_FONT_SIZE));
            Type(Field(QStringLiteral("Font Size:")), QString());
            Click(Button(PropertiesWindow(), QStringLiteral("OK")));
        }))
        .Then(Answer(QStringLiteral("Please enter an integer."), QMessageBox::Ok))
        .Then(Do([] {
            // The font size is mended; now the decimal places are out of bounds.
            Type(Field(QStringLiteral("Font Size:")), QStringLiteral("11"));
            Type(Field(QStringLiteral("Decimal Places:")), QStringLiteral("25"));
            Type(Field(QStringLiteral("Report Identifier:")), QStringLiteral("LOST?"));
            Click(Button(PropertiesWindow(), QStringLiteral("OK")));
        }))
        .Then(Answer(QStringLiteral("Please enter an integer between 0 and 20."), QMessageBox::Ok))
        .Then(Do([] { Click(Button(PropertiesWindow(), QStringLiteral("Cancel"))); }));
    ui.Run([&] { EXPECT_EQ(dialog.DoModal(), IDCANCEL); });
    EXPECT_EQ(Snapshot(), before);
}

TEST_F(EditorTest, select_output_mode_asks_for_the_workbook_and_remembers_it) {
    StoreProfile(L"Sales", L"SALES REPORT");
    const std::string before = Snapshot();
    const QString book = QString::fromStdString((dir_ / "sales").string());
    KVDriverOptionsMgr mgr;
    KorvanePrintDriverPropertiesDlg dialog(&mgr, TRUE);
    UiDriver ui;
    ui.Then(DialogShown())
        .Then(Do([] { Click(Button(PropertiesWindow(), QStringLiteral("OK"))); }))
        .Then(In(QStringLiteral("Save As"),
                 [](QWidget* files) { Click(Button(files, QStringLiteral("Cancel"))); }))
        .Then([&] {
            // Still open, nothing stored.
            if (Window(QStringLiteral("Save As")) != nullptr ||
                QApplication::activeModalWidget() != PropertiesWindow()) {
                return false;
            }
            EXPECT_EQ(Snapshot(), before);
            Click(Button(PropertiesWindow(), QStringLiteral("OK")));
            return true;
        })
        .Then(In(QStringLiteral("Save As"), [book](QWidget* files) {
            Paste(Labelled(files, QStringLiteral("File name:")), book);
            Click(Button(files, QStringLiteral("Save")));
        }));
    ui.Run([&] { EXPECT_EQ(dialog.DoModal(), IDOK); });
    const std::wstring expected = book.toStdWString() + L".xls";
    EXPECT_EQ(dialog.m_strOutputFile, expected);
    auto stored = Stored();
    EXPECT_STREQ(Profile(*stored, L"Sales")->GetLastFileOpened(), expected.c_str());
    EXPECT_EQ(stored->GetMRUProfile(), Profile(*stored, L"Sales"));
}
