#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "lib/options/KVDriverOptionsExcel.h"

namespace {

using Anchor = KVExcelRemoveDataAnchor;

void AddAnchor(KVDriverOptionsExcel& profile, const wchar_t* descriptor, Anchor::enAnchorType type,
               CRect area = CRect()) {
    Anchor* anchor = profile.CreateRemoveDataAnchor();
    anchor->SetAnchorDescriptor(descriptor);
    anchor->SetAnchorType(type);
    anchor->SetAreaToRemove(area);
}

TEST(options_test, constructed_and_default_profiles_differ_in_empty_row_and_column_removal) {
    KVDriverOptionsExcel bare;
    EXPECT_EQ(bare.GetProfileIndex(), -1);
    EXPECT_STREQ(bare.GetFontName(), L"Arial");
    EXPECT_EQ(bare.GetFontSize(), 12);
    EXPECT_EQ(bare.GetMoveToTopLeftCell(), 1);
    EXPECT_EQ(bare.GetResizeCells(), 1);
    EXPECT_EQ(bare.GetRemoveRowsWithSpace(), 0);
    EXPECT_EQ(bare.GetRemoveColumnsWithSpace(), 0);
    EXPECT_STREQ(bare.GetDateFormatW(), L"m/d/yyyy");
    EXPECT_STREQ(bare.GetLastFileOpened(), L"");
    EXPECT_EQ(bare.GetDefaultFileParserType(), KVFileParserTypes::enFileParserExcel);
    EXPECT_EQ(bare.GetDriverOptionType(), KVFileParserTypes::enFileParserExcel);

    KVDriverOptionsExcel defaults;
    defaults.SetInstallFolder(L"/opt/sheetwise");
    defaults.SetDateFormat(L"Custom", L"yyyy");
    AddAnchor(defaults, L"Total", Anchor::enAnchorRemoveRow);
    defaults.LoadDefaultValues();
    EXPECT_EQ(defaults.GetRemoveRowsWithSpace(), 1);
    EXPECT_EQ(defaults.GetRemoveColumnsWithSpace(), 1);
    EXPECT_STREQ(defaults.GetLastFileOpened(), L"*.xls");
    EXPECT_STREQ(defaults.GetDefaultOutputFolder(), L"/opt/sheetwise");
    EXPECT_STREQ(defaults.GetDateFormatW(), L"m/d/yyyy");
    // Anchors and the custom format text are not defaults' business.
    EXPECT_EQ(defaults.GetRemoveDataAnchorCount(), 1);

    KVDriverOptions options;
    EXPECT_EQ(options.GetDriverOptionType(), KVFileParserTypes::enFileParserDefault);
    EXPECT_EQ(options.GetDefaultFileParserType(), KVFileParserTypes::enFileParserExcel);
    EXPECT_EQ(options.GetMRUProfileIndex(), 0);
}

TEST(options_test, custom_date_format_exists_only_with_the_custom_format) {
    KVDriverOptionsExcel profile;
    profile.SetDateFormat(L"custom", L"yyyy");
    EXPECT_TRUE(profile.GetIsCustomDateFormat());
    EXPECT_STREQ(profile.GetCustomDateFormat(), L"yyyy");

    profile.SetDateFormat(L"m/d/yy", L"yyyy");
    EXPECT_FALSE(profile.GetIsCustomDateFormat());
    EXPECT_STREQ(profile.GetCustomDateFormat(), L"");
    profile.SetDateFormat(L"CUSTOM", L"");
    EXPECT_STREQ(profile.GetCustomDateFormat(), L"");

    // A format that merely begins with the six letters is not "Custom".
    profile.SetDateFormat(L"Customer", L"yyyy");
    EXPECT_FALSE(profile.GetIsCustomDateFormat());
    EXPECT_STREQ(profile.GetCustomDateFormat(), KVDriverOptionsExcel::msc_sEmptyString);
}

TEST(options_test, format_constants_have_their_texts) {
    EXPECT_STREQ(KVDriverOptionsExcel::GetDateFormat_Custom(), L"Custom");
    EXPECT_STREQ(KVDriverOptionsExcel::GetDateFormat_dddd_mmmm_dd_yyyy(), L"dddd, mmmm dd, yyyy");
    EXPECT_STREQ(KVDriverOptionsExcel::GetDateFormat_yyyy_mm_dd(), L"yyyy-mm-dd;@");
    EXPECT_STREQ(KVDriverOptionsExcel::GetNumberFormat_Currency(), L"$#,##0@");
    EXPECT_STREQ(KVDriverOptionsExcel::GetNumberFormat_Percentage(), L"0@%");
    EXPECT_STREQ(KVDriverOptions::msc_sExcelRegRoot, L"SOFTWARE\\Sheetwise\\Sheetwise Print Driver\\Excel\\");
}

TEST(options_test, anchor_lookup_by_descriptor_is_whole_string_and_ignores_case) {
    KVDriverOptionsExcel profile;
    AddAnchor(profile, L"Page Total", Anchor::enAnchorRemoveRow);
    AddAnchor(profile, L"Header", Anchor::enAnchorClearCell);
    const KVDriverOptionsExcel& view = profile;
    ASSERT_NE(view.GetRemoveDataAnchor(L"PAGE TOTAL"), nullptr);
    EXPECT_EQ(view.GetRemoveDataAnchor(L"page total")->GetAnchorType(), Anchor::enAnchorRemoveRow);
    EXPECT_EQ(view.GetRemoveDataAnchor(L"Page"), nullptr);
    EXPECT_EQ(view.GetRemoveDataAnchor(L"Page Totals"), nullptr);
    EXPECT_EQ(profile.GetEditableRemoveDataAnchor(L"header"), profile.GetEditableRemoveDataAnchor(1L));
    EXPECT_EQ(view.GetRemoveDataAnchor(2L), nullptr);
    EXPECT_EQ(view.GetRemoveDataAnchor(-1L), nullptr);
}

TEST(options_test, removing_anchors_out_of_range_changes_nothing) {
    KVDriverOptionsExcel profile;
    AddAnchor(profile, L"A", Anchor::enAnchorRemoveRow);
    AddAnchor(profile, L"B", Anchor::enAnchorRemoveColumn);
    AddAnchor(profile, L"C", Anchor::enAnchorClearArea);
    profile.RemoveDataAnchor(profile.GetRemoveDataAnchorCount());
    profile.RemoveDataAnchor(-1L);
    profile.RemoveDataAnchor(L"Z");
    EXPECT_EQ(profile.GetRemoveDataAnchorCount(), 3);

    profile.RemoveDataAnchor(L"b");
    ASSERT_EQ(profile.GetRemoveDataAnchorCount(), 2);
    EXPECT_STREQ(profile.GetRemoveDataAnchor(1L)->GetAnchorDescriptor(), L"C");
    profile.RemoveDataAnchor(0L);
    ASSERT_EQ(profile.GetRemoveDataAnchorCount(), 1);
    EXPECT_STREQ(profile.GetRemoveDataAnchor(0L)->GetAnchorDescriptor(), L"C");
    profile.ClearAllDataAnchors();
    EXPECT_EQ(profile.GetRemoveDataAnchorCount(), 0);
}

TEST(options_test, anchor_type_from_index_maps_only_one_to_five) {
    EXPECT_EQ(Anchor::GetAnchorTypeFromIndex(0), Anchor::enAnchorNone);
    EXPECT_EQ(Anchor::GetAnchorTypeFromIndex(6), Anchor::enAnchorNone);
    EXPECT_EQ(Anchor::GetAnchorTypeFromIndex(-3), Anchor::enAnchorNone);
    EXPECT_EQ(Anchor::GetAnchorTypeFromIndex(1), Anchor::enAnchorClearCell);
    EXPECT_EQ(Anchor::GetAnchorTypeFromIndex(5), Anchor::enAnchorClearArea);
}

TEST(options_test, copy_from_replaces_anchors_with_independent_copies) {
    KVDriverOptionsExcel source;
    source.SetProfileName(L"Source");
    source.SetProfileIndex(4);
    source.SetReportIdentifier(L"SALES");
    source.SetFontSize(9);
    source.SetDateFormat(L"Custom", L"dd.mm.yyyy");
    for (const wchar_t* name : {L"A", L"B", L"C"}) {
        AddAnchor(source, name, Anchor::enAnchorRemoveRow, CRect(1, 2, 3, 4));
    }
    KVDriverOptionsExcel target;
    for (const wchar_t* name : {L"1", L"2", L"3", L"4", L"5"}) {
        AddAnchor(target, name, Anchor::enAnchorClearCell);
    }
    target.CopyFrom(source);
    ASSERT_EQ(target.GetRemoveDataAnchorCount(), 3);
    EXPECT_STREQ(target.GetProfileName(), L"Source");
    EXPECT_EQ(target.GetProfileIndex(), 4);
    EXPECT_STREQ(target.GetReportIdentifier(), L"SALES");
    EXPECT_EQ(target.GetFontSize(), 9);
    EXPECT_STREQ(target.GetCustomDateFormat(), L"dd.mm.yyyy");
    for (long i = 0; i < 3; ++i) {
        EXPECT_NE(target.GetRemoveDataAnchor(i), source.GetRemoveDataAnchor(i));
        EXPECT_STREQ(target.GetRemoveDataAnchor(i)->GetAnchorDescriptor(),
                     source.GetRemoveDataAnchor(i)->GetAnchorDescriptor());
        EXPECT_EQ(target.GetRemoveDataAnchor(i)->GetAreaToRemove(), CRect(1, 2, 3, 4));
    }
    source.GetEditableRemoveDataAnchor(0L)->SetAnchorDescriptor(L"changed");
    source.ClearAllDataAnchors();
    EXPECT_STREQ(target.GetRemoveDataAnchor(0L)->GetAnchorDescriptor(), L"A");
}

TEST(options_test, clone_is_a_deep_copy_and_copy_from_plain_options_copies_the_common_part) {
    KVDriverOptionsExcel source;
    source.SetProfileName(L"P");
    AddAnchor(source, L"X", Anchor::enAnchorRemoveColumn);
    std::unique_ptr<KVDriverOptionsProfile> clone(source.Clone());
    auto* excel = dynamic_cast<KVDriverOptionsExcel*>(clone.get());
    ASSERT_NE(excel, nullptr);
    EXPECT_STREQ(excel->GetProfileName(), L"P");
    ASSERT_EQ(excel->GetRemoveDataAnchorCount(), 1);
    EXPECT_NE(excel->GetRemoveDataAnchor(0L), source.GetRemoveDataAnchor(0L));

    KVDriverOptions plain;
    plain.SetInstallFolder(L"/srv/sw");
    plain.SetMRUProfileName(L"M");
    excel->CopyFrom(plain);
    EXPECT_STREQ(excel->GetInstallFolder(), L"/srv/sw");
    EXPECT_STREQ(excel->GetMRUProfileName(), L"M");
    EXPECT_STREQ(excel->GetProfileName(), L"P");
    EXPECT_EQ(excel->GetRemoveDataAnchorCount(), 1);
}

TEST(options_test, text_setters_truncate_to_the_buffer_and_accept_their_own_getter) {
    KVDriverOptionsExcel profile;
    profile.SetReportIdentifier(std::wstring(5000, L'R').c_str());
    EXPECT_EQ(std::wstring(profile.GetReportIdentifier()).size(), 1023U);
    profile.SetFontName(profile.GetFontName());
    EXPECT_STREQ(profile.GetFontName(), L"Arial");
    profile.SetFontName(nullptr);
    EXPECT_STREQ(profile.GetFontName(), L"Arial");
}

}  // namespace
