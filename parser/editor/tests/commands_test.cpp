// The section and profile commands of the properties dialog, and what OK
// stores after them.
#include <QComboBox>
#include <QListWidget>
#include <QMessageBox>
#include <QTableWidget>

#include <fstream>
#include <sstream>

#include "parser/editor/KorvanePrintDriverPropertiesDlg.h"
#include "parser/editor/tests/EditorFixture.h"
#include "parser/res/resource.h"

using namespace sw::ui::testing;

namespace {

const QString kProperties = QStringLiteral("Sheetwise Print Driver Properties");

UiDriver::Step Do(std::function<void()> action) {
    return In(kProperties, [action](QWidget*) { action(); });
}

QListWidget* Sections() {
    return qobject_cast<QListWidget*>(Field(IDC_SECTION_LIST));
}

QComboBox* Profiles() {
    return qobject_cast<QComboBox*>(Field(QStringLiteral("Profile Name:")));
}

void Press(const char* button) {
    Click(Button(PropertiesWindow(), QString::fromLatin1(button)));
}

// Adds a profile through the Options menu and "New Profile Name".
void AddProfile(UiDriver& ui, const QString& name) {
    AddMenuChoice(ui, QStringLiteral("Add Profile..."));
    ui.Then(In(QStringLiteral("New Profile Name"), [name](QWidget* window) {
        Type(Labelled(window, QStringLiteral("Enter a new profile name:")), name);
        Click(Button(window, QStringLiteral("OK")));
    }));
}

}  // namespace

TEST_F(EditorTest, section_commands_add_edit_and_remove_the_chosen_anchor) {
    StoreProfile(L"Sales", L"SALES REPORT");
    StoreAnchor(L"Sales", L"Page Total", KVExcelRemoveDataAnchor::enAnchorRemoveRow);
    StoreAnchor(L"Sales", L"Footer", KVExcelRemoveDataAnchor::enAnchorClearArea);
    {
        KVDriverOptionsMgr mgr;
        KorvanePrintDriverPropertiesDlg dialog(&mgr, FALSE);
        UiDriver ui;
        ui.Then(DialogShown()).Then(ShowAdvanced()).Then(Do([] { Press("Add Section"); }));
        ui.Then(Answer(QStringLiteral("Please enter an anchor keyword before adding a new anchor."),
                       QMessageBox::Ok))
            .Then(Do([] {
                Type(Field(QStringLiteral("Section Keyword:")), QStringLiteral("page total"));
                Press("Add Section");
            }))
            .Then(Answer(QStringLiteral("The anchor page total already exists."), QMessageBox::Ok))
            .Then(Do([] {
                // No section type chosen: nothing is added and nothing said.
                Type(Field(QStringLiteral("Section Keyword:")), QStringLiteral("Grand Total"));
                Press("Add Section");
            }))
            .Then(Do([] {
                EXPECT_EQ(Sections()->count(), 2);
                Choose(qobject_cast<QComboBox*>(Field(QStringLiteral("Section Type:"))), "Clear Area");
            }))
            .Then(Do([] {
                Type(Field(QStringLiteral("Remove Cells Left:")), QStringLiteral("1"));
                Type(Field(QStringLiteral("Remove Cells Down:")), QStringLiteral("3"));
                Press("Add Section");
            }))
            .Then(Do([] {
                EXPECT_EQ(Sections()->count(), 3);
                Sections()->setCurrentRow(1);  // Footer
            }))
            .Then(Do([] {
                EXPECT_EQ(qobject_cast<QLineEdit*>(Field(IDC_SECTION_KEYWORD))->text(),
                          QStringLiteral("Footer"));
                Type(Field(QStringLiteral("Section Keyword:")), QStringLiteral("Page Total"));
                Press("Edit Section");
            }))
            .Then(Do([] {
                EXPECT_EQ(Sections()->item(1)->text(), QStringLiteral("Page Total"));
                EXPECT_TRUE(Sections()->selectedItems().isEmpty());
                Press("Edit Section");
            }))
            .Then(Answer(QStringLiteral("Please select an anchor to edit."), QMessageBox::Ok))
            .Then(Do([] {
                Sections()->setCurrentRow(1);
                Press("Remove Section");
            }))
            .Then(Answer(QStringLiteral("Are you sure you want to remove the Page Total anchor?"),
                         QMessageBox::No))
            .Then(Do([] {
                EXPECT_EQ(Sections()->count(), 3);
                Sections()->setCurrentRow(1);
                Press("Remove Section");
            }))
            .Then(Answer(QStringLiteral("Are you sure you want to remove the Page Total anchor?"),
                         QMessageBox::Yes))
            .Then(Do([] { Press("OK"); }));
        ui.Run([&] { EXPECT_EQ(dialog.DoModal(), IDOK); });
    }
    {
        auto stored = Stored();
        KVDriverOptionsExcel* sales = Profile(*stored, L"Sales");
        ASSERT_EQ(sales->GetRemoveDataAnchorCount(), 2);
        // The anchor that was selected went, not the first of its keyword.
        EXPECT_STREQ(sales->GetRemoveDataAnchor(0L)->GetAnchorDescriptor(), L"Page Total");
        EXPECT_EQ(sales->GetRemoveDataAnchor(0L)->GetAnchorType(),
                  KVExcelRemoveDataAnchor::enAnchorRemoveRow);
        EXPECT_STREQ(sales->GetRemoveDataAnchor(1L)->GetAnchorDescriptor(), L"Grand Total");
        EXPECT_EQ(sales->GetRemoveDataAnchor(1L)->GetAreaToRemove(), CRect(1, 0, 0, 3));
    }

    // Unticking "Remove Sections" drops the anchors; ticking again does not
    // bring them back.
    KVDriverOptionsMgr mgr;
    KorvanePrintDriverPropertiesDlg dialog(&mgr, FALSE);
    UiDriver ui;
    ui.Then(DialogShown())
        .Then(ShowAdvanced())
        .Then(Do([] { Click(Field(QStringLiteral("Remove Sections"))); }))
        .Then(Do([] {
            EXPECT_EQ(Sections()->count(), 0);
            Click(Field(QStringLiteral("Remove Sections")));
        }))
        .Then(Do([] {
            EXPECT_EQ(Sections()->count(), 0);
            Press("OK");
        }));
    ui.Run([&] { EXPECT_EQ(dialog.DoModal(), IDOK); });
    auto stored = Stored();
    EXPECT_EQ(Profile(*stored, L"Sales")->GetRemoveDataAnchorCount(), 0);
    EXPECT_EQ(Profile(*stored, L"Sales")->GetRemoveDataSection(), TRUE);
}

TEST_F(EditorTest, profiles_are_added_once_per_name_and_deleted_after_the_question) {
    StoreProfile(L"Sales", L"SALES REPORT");
    KVDriverOptionsMgr mgr;
    KorvanePrintDriverPropertiesDlg dialog(&mgr, FALSE);
    UiDriver ui;
    ui.Then(DialogShown());
    AddMenuChoice(ui, QStringLiteral("Add Profile..."));
    ui.Then(In(QStringLiteral("New Profile Name"),
               [](QWidget* window) { Click(Button(window, QStringLiteral("OK"))); }))
        .Then(Answer(QStringLiteral("Please enter a profile name."), QMessageBox::Ok))
        .Then(In(QStringLiteral("New Profile Name"),
                 [](QWidget* window) {
                     Type(Labelled(window, QStringLiteral("Enter a new profile name:")),
                          QStringLiteral("default"));
                     Click(Button(window, QStringLiteral("OK")));
                 }))
        .Then(Answer(QStringLiteral("Profile 'default' already exists."), QMessageBox::Ok));
    AddProfile(ui, QStringLiteral("sales"));
    ui.Then(Answer(QStringLiteral("Profile 'sales' already exists."), QMessageBox::Ok));
    AddProfile(ui, QStringLiteral("Month End"));
    ui.Then(Do([] {
        EXPECT_EQ(Profiles()->currentText(), QStringLiteral("Month End"));
        Choose(Profiles(), "Sales");
    }));
    AddMenuChoice(ui, QStringLiteral("Delete Profile..."));
    ui.Then(Answer(QStringLiteral("Are you sure you want to remove the Sales profile?"), QMessageBox::No));
    AddMenuChoice(ui, QStringLiteral("Delete Profile..."));
    ui.Then(Answer(QStringLiteral("Are you sure you want to remove the Sales profile?"), QMessageBox::Yes))
        .Then(Do([] {
            EXPECT_EQ(Profiles()->currentText(), QStringLiteral("Default"));
            EXPECT_EQ(Profiles()->count(), 2);
            Press("OK");
        }));
    ui.Run([&] { EXPECT_EQ(dialog.DoModal(), IDOK); });

    auto stored = Stored();
    ASSERT_EQ(stored->GetExcelProfileCount(), 1);
    KVDriverOptionsExcel* added = Profile(*stored, L"Month End");
    ASSERT_NE(added, nullptr);
    EXPECT_STREQ(added->GetReportIdentifier(), L"Month End");
    EXPECT_EQ(added->GetRemoveRowsWithSpace(), TRUE);  // the library's defaults
}

TEST_F(EditorTest, export_writes_the_ticked_profiles_and_import_keeps_every_profile) {
    StoreProfile(L"Sales", L"SALES REPORT");
    StoreProfile(L"Weekly", L"WEEKLY");
    const std::string exported = (dir_ / "export.xml").string();
    const std::string incoming = (dir_ / "incoming.xml").string();
    std::ofstream(incoming) << "<SHEETWISE_PROFILES>\n"
                               "<PROFILE><PROFILETYPE>2</PROFILETYPE><PROFILENAME>Sales</PROFILENAME>"
                               "<REPORTIDENTIFIER>SALES V2</REPORTIDENTIFIER></PROFILE>\n"
                               "<PROFILE><PROFILETYPE>2</PROFILETYPE><PROFILENAME>Default</PROFILENAME>"
                               "<REPORTIDENTIFIER>FROM FILE</REPORTIDENTIFIER>"
                               "<NUMERICFORMAT>0.0%</NUMERICFORMAT></PROFILE>\n"
                               "<PROFILE><PROFILETYPE>2</PROFILETYPE><PROFILENAME>Month End</PROFILENAME>"
                               "<REPORTIDENTIFIER>MONTH</REPORTIDENTIFIER></PROFILE>\n"
                               "</SHEETWISE_PROFILES>\n";
    KVDriverOptionsMgr mgr;
    KorvanePrintDriverPropertiesDlg dialog(&mgr, FALSE);
    UiDriver ui;
    ui.Then(DialogShown());
    AddMenuChoice(ui, QStringLiteral("Export Profiles..."));
    ui.Then(In(QStringLiteral("Manage Profiles"),
               [](QWidget* window) { Click(Button(window, QStringLiteral("OK"))); }))
        .Then(Answer(QStringLiteral("Please select a profile."), QMessageBox::Ok))
        .Then(In(QStringLiteral("Manage Profiles"),
                 [](QWidget* window) {
                     auto* list = window->findChild<QTableWidget*>();
                     ClickAt(list->viewport(), list->visualItemRect(list->item(1, 1)).center());
                 }))
        .Then(In(QStringLiteral("Manage Profiles"),
                 [](QWidget* window) { Click(Button(window, QStringLiteral("OK"))); }))
        .Then(In(QStringLiteral("Save As"),
                 [exported](QWidget* files) {
                     Paste(Labelled(files, QStringLiteral("File name:")), QString::fromStdString(exported));
                     Click(Button(files, QStringLiteral("Save")));
                 }))
        .Then(Answer(QStringLiteral("Profiles exported."), QMessageBox::Ok));
    AddMenuChoice(ui, QStringLiteral("Import Profiles..."));
    ui.Then(In(QStringLiteral("Open"),
               [incoming](QWidget* files) {
                   Paste(Labelled(files, QStringLiteral("File name:")), QString::fromStdString(incoming));
                   Click(Button(files, QStringLiteral("Open")));
               }))
        .Then(Answer(QStringLiteral("The profile 'Sales' already exists.  Replace the existing profile?"),
                     QMessageBox::Yes))
        .Then(Answer(QStringLiteral("The profile 'Default' is built in and cannot be replaced.  The imported "
                                    "profile is added as 'Default (2)'."),
                     QMessageBox::Ok))
        .Then(Answer(QStringLiteral("Profiles imported."), QMessageBox::Ok))
        .Then(Do([] {
            EXPECT_GE(Profiles()->findText(QStringLiteral("Default (2)")), 0);
            Press("OK");
        }));
    ui.Run([&] { EXPECT_EQ(dialog.DoModal(), IDOK); });

    std::ostringstream file;
    file << std::ifstream(exported).rdbuf();
    EXPECT_NE(file.str().find("<PROFILENAME>Weekly</PROFILENAME>"), std::string::npos);
    EXPECT_EQ(file.str().find("Sales"), std::string::npos);

    auto stored = Stored();
    EXPECT_EQ(stored->GetExcelProfileCount(), 4);
    EXPECT_STREQ(Profile(*stored, L"Sales")->GetReportIdentifier(), L"SALES V2");
    ASSERT_NE(Profile(*stored, L"Default (2)"), nullptr);
    EXPECT_STREQ(Profile(*stored, L"Default (2)")->GetReportIdentifier(), L"FROM FILE");
    EXPECT_STREQ(Profile(*stored, L"Default (2)")->GetNumericFormat(), L"0.0%");
    EXPECT_STREQ(Profile(*stored, L"Month End")->GetReportIdentifier(), L"MONTH");
    EXPECT_NE(Profile(*stored, L"Weekly"), nullptr);
}
