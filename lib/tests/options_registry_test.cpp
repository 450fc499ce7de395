#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "lib/options/KVDriverOptionsExcel.h"
#include "lib/tests/test_support.h"

namespace {

using Anchor = KVExcelRemoveDataAnchor;
using kvtest::ProfileKey;
const std::wstring kRoot = L"SOFTWARE\\Sheetwise\\Sheetwise Print Driver";

class options_registry_test : public kvtest::StoreTest {
protected:
    // One store transaction per save keeps the tests fast; what is written is
    // the same.
    static void Save(KVDriverOptions& options) {
        sw::registry::Transaction transaction;
        options.SaveSettings();
        ASSERT_EQ(transaction.Commit(), ERROR_SUCCESS);
    }
    static void Clear(KVDriverOptions& options) {
        sw::registry::Transaction transaction;
        options.ClearOptions();
        ASSERT_EQ(transaction.Commit(), ERROR_SUCCESS);
    }
    static void AddAnchor(KVDriverOptionsExcel& profile, const wchar_t* descriptor, Anchor::enAnchorType type,
                          CRect area = CRect()) {
        Anchor* anchor = profile.CreateRemoveDataAnchor();
        anchor->SetAnchorDescriptor(descriptor);
        anchor->SetAnchorType(type);
        anchor->SetAreaToRemove(area);
    }
    static std::wstring AnchorKey(long profile, long anchor) {
        return ProfileKey(profile) + L"\\RemoveDataSectionAnchors\\" + std::to_wstring(anchor);
    }
};

TEST_F(options_registry_test, every_field_survives_a_save_and_load) {
    KVDriverOptionsExcel saved;
    saved.SetProfileName(L"Sales \u00e9t\u00e9");
    saved.SetProfileIndex(1);
    saved.SetDefaultOutputFolder(L"/home/u/out");
    saved.SetLastFileOpened(L"/home/u/out/last.xls");
    saved.SetMoveToTopLeftCell(0);
    saved.SetResizeCells(0);
    saved.SetRemoveFormattingOfCells(1);
    saved.SetFontName(L"Courier New");
    saved.SetFontSize(-3);
    saved.SetFontBold(1);
    saved.SetFontUnderline(1);
    saved.SetFontItalicize(1);
    saved.SetRemoveDataSection(1);
    saved.SetRemoveRowsWithSpace(1);
    saved.SetRemoveColumnsWithSpace(1);
    saved.SetDateFormat(L"Custom", L"dd.mm.yyyy");
    saved.SetNumericFormat(L"#,##0.00");
    saved.SetReportIdentifier(L"SALES REPORT");
    AddAnchor(saved, L"Page Total", Anchor::enAnchorRemoveRow, CRect(0, 1, 2, 3));
    AddAnchor(saved, L"Footer", Anchor::enAnchorClearArea, CRect(4, 5, 6, 7));
    Save(saved);

    // Stored under the key of its index, with the anchor count value.
    EXPECT_EQ(kvtest::ReadText(ProfileKey(1), L"ProfileName"), L"Sales \u00e9t\u00e9");
    EXPECT_EQ(kvtest::ReadText(ProfileKey(1) + L"\\Font", L"FontName"), L"Courier New");
    EXPECT_EQ(kvtest::ReadDword(ProfileKey(1) + L"\\RemoveDataSectionAnchors", L"RemoveDataAnchors"), 0U);
    EXPECT_EQ(kvtest::ReadDword(AnchorKey(1, 1), L"AnchorIndex"), 1U);

    KVDriverOptionsExcel loaded;
    loaded.SetProfileIndex(1);
    ASSERT_TRUE(loaded.LoadSettings());
    EXPECT_STREQ(loaded.GetProfileName(), saved.GetProfileName());
    EXPECT_STREQ(loaded.GetDefaultOutputFolder(), L"/home/u/out");
    EXPECT_STREQ(loaded.GetLastFileOpened(), L"/home/u/out/last.xls");
    EXPECT_EQ(loaded.GetMoveToTopLeftCell(), 0);
    EXPECT_EQ(loaded.GetResizeCells(), 0);
    EXPECT_EQ(loaded.GetRemoveFormattingOfCells(), 1);
    EXPECT_STREQ(loaded.GetFontName(), L"Courier New");
    EXPECT_EQ(loaded.GetFontSize(), -3);
    EXPECT_EQ(loaded.GetFontBold(), 1);
    EXPECT_EQ(loaded.GetFontUnderline(), 1);
    EXPECT_EQ(loaded.GetFontItalicize(), 1);
    EXPECT_EQ(loaded.GetRemoveDataSection(), 1);
    EXPECT_EQ(loaded.GetRemoveRowsWithSpace(), 1);
    EXPECT_EQ(loaded.GetRemoveColumnsWithSpace(), 1);
    EXPECT_STREQ(loaded.GetDateFormatW(), L"Custom");
    EXPECT_STREQ(loaded.GetCustomDateFormat(), L"dd.mm.yyyy");
    EXPECT_STREQ(loaded.GetNumericFormat(), L"#,##0.00");
    EXPECT_STREQ(loaded.GetReportIdentifier(), L"SALES REPORT");
    ASSERT_EQ(loaded.GetRemoveDataAnchorCount(), 2);
    EXPECT_STREQ(loaded.GetRemoveDataAnchor(1L)->GetAnchorDescriptor(), L"Footer");
    EXPECT_EQ(loaded.GetRemoveDataAnchor(1L)->GetAnchorType(), Anchor::enAnchorClearArea);
    EXPECT_EQ(loaded.GetRemoveDataAnchor(1L)->GetAreaToRemove(), CRect(4, 5, 6, 7));
    EXPECT_EQ(loaded.GetRemoveDataAnchor(1L)->GetAnchorIndex(), 1);
}

TEST_F(options_registry_test, absent_values_load_as_empty_or_zero_not_defaults) {
    kvtest::WriteText(ProfileKey(0), L"ProfileName", L"Sparse");
    KVDriverOptionsExcel loaded;
    loaded.LoadDefaultValues();
    loaded.SetProfileIndex(0);
    ASSERT_TRUE(loaded.LoadSettings());
    EXPECT_STREQ(loaded.GetProfileName(), L"Sparse");
    EXPECT_STREQ(loaded.GetFontName(), L"");
    EXPECT_EQ(loaded.GetFontSize(), 0);
    EXPECT_EQ(loaded.GetMoveToTopLeftCell(), 0);
    EXPECT_EQ(loaded.GetRemoveRowsWithSpace(), 0);
    EXPECT_STREQ(loaded.GetDateFormatW(), L"");
    EXPECT_STREQ(loaded.GetLastFileOpened(), L"");
    EXPECT_EQ(loaded.GetRemoveDataAnchorCount(), 0);
}

TEST_F(options_registry_test, saving_without_remove_data_section_drops_the_anchors) {
    KVDriverOptionsExcel profile;
    profile.SetProfileName(L"P");
    profile.SetProfileIndex(0);
    AddAnchor(profile, L"A", Anchor::enAnchorRemoveRow);
    AddAnchor(profile, L"B", Anchor::enAnchorRemoveRow);
    profile.SetRemoveDataSection(0);
    Save(profile);
    EXPECT_EQ(profile.GetRemoveDataAnchorCount(), 0);
    EXPECT_FALSE(kvtest::KeyExists(AnchorKey(0, 0)));
    EXPECT_TRUE(kvtest::ValueExists(ProfileKey(0) + L"\\RemoveDataSectionAnchors", L"RemoveDataAnchors"));
}

TEST_F(options_registry_test, anchors_load_until_the_first_missing_number) {
    kvtest::WriteText(ProfileKey(0), L"ProfileName", L"P");
    for (long n : {0L, 1L, 3L}) {
        kvtest::WriteText(AnchorKey(0, n), L"AnchorDescriptor", L"D" + std::to_wstring(n));
        kvtest::WriteDword(AnchorKey(0, n), L"AnchorType", 2);
    }
    KVDriverOptionsExcel loaded;
    loaded.SetProfileIndex(0);
    loaded.LoadSettings();
    ASSERT_EQ(loaded.GetRemoveDataAnchorCount(), 2);
    EXPECT_STREQ(loaded.GetRemoveDataAnchor(1L)->GetAnchorDescriptor(), L"D1");
}

TEST_F(options_registry_test, unknown_anchor_type_and_incomplete_area_load_as_none_and_zero) {
    kvtest::WriteText(ProfileKey(0), L"ProfileName", L"P");
    kvtest::WriteText(AnchorKey(0, 0), L"AnchorDescriptor", L"Nine");
    kvtest::WriteDword(AnchorKey(0, 0), L"AnchorType", 9);
    kvtest::WriteText(AnchorKey(0, 1), L"AnchorDescriptor", L"NoBottom");
    kvtest::WriteDword(AnchorKey(0, 1), L"AnchorType", 5);
    kvtest::WriteDword(AnchorKey(0, 1), L"AreaLeft", 1);
    kvtest::WriteDword(AnchorKey(0, 1), L"AreaTop", 2);
    kvtest::WriteDword(AnchorKey(0, 1), L"AreaRight", 3);
    kvtest::WriteText(AnchorKey(0, 2), L"AnchorDescriptor", L"Untyped");
    kvtest::WriteDword(AnchorKey(0, 2), L"AreaLeft", 1);
    kvtest::WriteDword(AnchorKey(0, 2), L"AreaTop", 2);
    kvtest::WriteDword(AnchorKey(0, 2), L"AreaRight", 3);
    kvtest::WriteDword(AnchorKey(0, 2), L"AreaBottom", 4);

    KVDriverOptionsExcel loaded;
    loaded.SetProfileIndex(0);
    loaded.LoadSettings();
    ASSERT_EQ(loaded.GetRemoveDataAnchorCount(), 3);
    EXPECT_EQ(loaded.GetRemoveDataAnchor(0L)->GetAnchorType(), Anchor::enAnchorNone);
    EXPECT_EQ(loaded.GetRemoveDataAnchor(1L)->GetAnchorType(), Anchor::enAnchorClearArea);
    EXPECT_EQ(loaded.GetRemoveDataAnchor(1L)->GetAreaToRemove(), CRect(0, 0, 0, 0));
    // Without a type the area is not read either.
    EXPECT_EQ(loaded.GetRemoveDataAnchor(2L)->GetAreaToRemove(), CRect(0, 0, 0, 0));
}

TEST_F(options_registry_test, clearing_a_profile_with_anchors_leaves_no_key_of_it) {
    KVDriverOptionsExcel profile;
    profile.SetProfileName(L"P");
    profile.SetProfileIndex(2);
    profile.SetRemoveDataSection(1);
    AddAnchor(profile, L"A", Anchor::enAnchorRemoveRow);
    AddAnchor(profile, L"B", Anchor::enAnchorRemoveColumn);
    AddAnchor(profile, L"C", Anchor::enAnchorClearCell);
    Save(profile);
    ASSERT_TRUE(kvtest::KeyExists(AnchorKey(2, 2)));
    Clear(profile);
    EXPECT_FALSE(kvtest::KeyExists(ProfileKey(2)));
    EXPECT_TRUE(kvtest::KeyExists(kRoot + L"\\Excel"));
}

TEST_F(options_registry_test, stored_parser_type_always_loads_as_the_spreadsheet_type) {
    kvtest::WriteDword(kRoot, L"DefaultFileParserType", 7);
    kvtest::WriteDword(kRoot, L"MRUProfileIndex", 3);
    kvtest::WriteText(kRoot, L"MRUProfileName", L"Last");
    kvtest::WriteText(kRoot, L"InstallFolder", L"/opt/sheetwise", HKEY_LOCAL_MACHINE);
    KVDriverOptions options;
    options.SetDefaultFileParserType(KVFileParserTypes::enFileParserNone);
    ASSERT_TRUE(options._LoadDefaultSettings());
    EXPECT_EQ(options.GetDefaultFileParserType(), KVFileParserTypes::enFileParserExcel);
    EXPECT_EQ(options.GetMRUProfileIndex(), 3);
    EXPECT_STREQ(options.GetMRUProfileName(), L"Last");
    EXPECT_STREQ(options.GetInstallFolder(), L"/opt/sheetwise");

    // A profile is not the driver-wide object: nothing happens.
    KVDriverOptionsExcel profile;
    EXPECT_FALSE(profile._LoadDefaultSettings());
    EXPECT_FALSE(profile._SaveDefaultSettings());
}

TEST_F(options_registry_test, saving_defaults_never_overwrites_a_stored_install_folder) {
    kvtest::WriteText(kRoot, L"InstallFolder", L"/opt/sheetwise", HKEY_LOCAL_MACHINE);
    KVDriverOptions options;
    options.SetInstallFolder(L"/somewhere/else");
    options.SetMRUProfileIndex(2);
    options.SetMRUProfileName(L"Two");
    ASSERT_TRUE(options._SaveDefaultSettings());
    EXPECT_EQ(kvtest::ReadText(kRoot, L"InstallFolder", HKEY_LOCAL_MACHINE), L"/opt/sheetwise");
    EXPECT_EQ(kvtest::ReadDword(kRoot, L"MRUProfileIndex"), 2U);
    EXPECT_EQ(kvtest::ReadText(kRoot, L"MRUProfileName"), L"Two");
    EXPECT_EQ(kvtest::ReadDword(kRoot, L"DefaultFileParserType"), 2U);

    // With an empty folder of its own the library makes sure the value exists.
    kvtest::StoreTest::TearDown();
    kvtest::StoreTest::SetUp();
    KVDriverOptions fresh;
    ASSERT_TRUE(fresh._SaveDefaultSettings());
    EXPECT_TRUE(kvtest::ValueExists(kRoot, L"InstallFolder", HKEY_LOCAL_MACHINE));
}

TEST_F(options_registry_test, error_log_appends_one_line_in_the_current_folder) {
    struct Logger : KVDriverOptions {
        void Log(const wchar_t* text) { WriteErrorLog(text); }
    } logger;
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(dir_);
    logger.Log(L"first");
    logger.Log(L"second");
    std::filesystem::current_path(previous);
    const auto lines = kvtest::Lines(kvtest::ReadFile(Path("KVRegErrLog.txt")));
    ASSERT_EQ(lines.size(), 2U);
    EXPECT_EQ(lines[0].rfind("Registry Error ", 0), 0U);
    EXPECT_EQ(lines[1].substr(lines[1].size() - 9), " - second");
}

}  // namespace
