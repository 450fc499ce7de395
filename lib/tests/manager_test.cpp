#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lib/manager/KVDriverOptionsMgr.h"
#include "lib/options/KVDriverOptionsExcel.h"
#include "lib/tests/test_support.h"
#include "platform/ui/MessageBox.h"

namespace {

using Anchor = KVExcelRemoveDataAnchor;
using kvtest::ProfileKey;
const std::wstring kRoot = L"SOFTWARE\\Sheetwise\\Sheetwise Print Driver";

KVDriverOptionsExcel* AsExcel(KVDriverOptionsProfile* profile) {
    return dynamic_cast<KVDriverOptionsExcel*>(profile);
}

class manager_test : public kvtest::StoreTest {
protected:
    void SetUp() override {
        kvtest::StoreTest::SetUp();
        previous_ = sw::ui::SetMessageBoxHandler([this](const std::wstring& text, UINT type) {
            messages_.push_back(text);
            types_.push_back(type);
            return IDOK;
        });
    }
    void TearDown() override {
        sw::ui::SetMessageBoxHandler(previous_);
        kvtest::StoreTest::TearDown();
    }
    // Stores profiles with the given names (and `anchors` anchors each).
    static void StoreProfiles(const std::vector<std::wstring>& names, int anchors = 0) {
        KVDriverOptionsMgr manager;
        for (const std::wstring& name : names) {
            auto* profile =
                AsExcel(manager.CreateNewDriverOption(KVFileParserTypes::enFileParserExcel, name.c_str()));
            profile->SetRemoveDataSection(anchors > 0 ? 1 : 0);
            profile->SetReportIdentifier((L"ID " + name).c_str());
            for (int i = 0; i < anchors; ++i) {
                Anchor* anchor = profile->CreateRemoveDataAnchor();
                anchor->SetAnchorDescriptor((name + L" anchor " + std::to_wstring(i)).c_str());
                anchor->SetAnchorType(Anchor::enAnchorRemoveRow);
            }
        }
        manager.SaveSettings(nullptr);
    }
    static std::vector<std::wstring> StoredNames() {
        KVDriverOptionsMgr manager;
        std::vector<std::wstring> names;
        for (const KVDriverOptionsProfile* profile : manager.GetExcelProfileArray()) {
            names.emplace_back(profile->GetProfileName());
        }
        return names;
    }

    std::vector<std::wstring> messages_;
    std::vector<UINT> types_;
    sw::ui::MessageBoxHandler previous_;
};

TEST_F(manager_test, empty_store_yields_the_stored_default_profile_only) {
    KVDriverOptionsMgr manager;
    auto* fallback = AsExcel(manager.GetDefaultExcelDriverOptions());
    ASSERT_NE(fallback, nullptr);
    EXPECT_STREQ(fallback->GetProfileName(), L"Default");
    EXPECT_EQ(fallback->GetProfileIndex(), -1);
    EXPECT_EQ(fallback->GetRemoveRowsWithSpace(), 1);
    EXPECT_STREQ(fallback->GetLastFileOpened(), L"*.xls");
    EXPECT_EQ(manager.GetExcelProfileCount(), 0);
    EXPECT_EQ(manager.GetMRUProfile(), fallback);
    EXPECT_EQ(kvtest::ReadText(ProfileKey(-1), L"ProfileName"), L"Default");
    EXPECT_EQ(kvtest::ReadDword(ProfileKey(-1), L"RemoveRowsWithSpace"), 1U);
    EXPECT_EQ(manager.GetDefaultDriverOptions()->GetDriverOptionType(),
              KVFileParserTypes::enFileParserDefault);
}

TEST_F(manager_test, stored_keys_load_until_the_first_gap) {
    for (long i : {0L, 1L, 3L}) {
        kvtest::WriteText(ProfileKey(i), L"ProfileName", L"P" + std::to_wstring(i));
    }
    KVDriverOptionsMgr manager;
    ASSERT_EQ(manager.GetExcelProfileCount(), 2);
    EXPECT_STREQ(manager.GetExcelProfile(1L)->GetProfileName(), L"P1");
    EXPECT_EQ(manager.GetExcelProfile(1L)->GetProfileIndex(), 1);
    EXPECT_EQ(manager.GetExcelProfile(2L), nullptr);
    EXPECT_EQ(manager.GetExcelProfile(-1L), nullptr);
    EXPECT_EQ(manager.GetExcelProfile(L"p0"), manager.GetExcelProfile(0L));
    EXPECT_EQ(manager.GetExcelProfile(L"P"), nullptr);
    EXPECT_EQ(manager.GetExcelProfile(L""), nullptr);
    EXPECT_EQ(manager.GetExcelProfile(static_cast<LPCTSTR>(nullptr)), nullptr);
}

TEST_F(manager_test, new_profile_gets_a_provisional_index_until_saved) {
    StoreProfiles({L"A", L"B"});
    KVDriverOptionsMgr manager;
    EXPECT_EQ(manager.CreateNewDriverOption(KVFileParserTypes::enFileParserDefault, L"X"), nullptr);
    KVDriverOptionsProfile* created =
        manager.CreateNewDriverOption(KVFileParserTypes::enFileParserExcel, L"A");
    ASSERT_NE(created, nullptr);
    EXPECT_EQ(manager.GetExcelProfile(2L), created);
    EXPECT_EQ(created->GetProfileIndex(), 3);
    EXPECT_EQ(AsExcel(created)->GetRemoveRowsWithSpace(), 1);
    manager.SaveSettings(created);
    EXPECT_EQ(created->GetProfileIndex(), 2);

    KVDriverOptionsMgr reloaded;
    EXPECT_EQ(reloaded.GetExcelProfileCount(), 3);
    EXPECT_EQ(reloaded.GetMRUProfile(), reloaded.GetExcelProfile(2L));
}

TEST_F(manager_test, removing_the_default_or_a_foreign_profile_changes_nothing) {
    StoreProfiles({L"A"});
    KVDriverOptionsMgr manager;
    KVDriverOptionsMgr other;
    KVDriverOptionsProfile* fallback = manager.GetDefaultExcelDriverOptions();
    KVDriverOptionsProfile* foreign = other.GetExcelProfile(0L);
    KVDriverOptionsProfile* none = nullptr;
    manager.RemoveProfile(fallback);
    manager.RemoveProfile(foreign);
    manager.RemoveProfile(none);
    EXPECT_EQ(fallback, manager.GetDefaultExcelDriverOptions());
    EXPECT_EQ(foreign, other.GetExcelProfile(0L));
    EXPECT_EQ(manager.GetExcelProfileCount(), 1);

    KVDriverOptionsProfile* own = manager.GetExcelProfile(0L);
    manager.RemoveProfile(own);
    EXPECT_EQ(own, nullptr);
    EXPECT_EQ(manager.GetExcelProfileCount(), 0);
}

TEST_F(manager_test, mru_profile_needs_a_matching_name) {
    StoreProfiles({L"A", L"B"});
    {
        KVDriverOptionsMgr manager;
        manager.SaveSettings(manager.GetExcelProfile(1L));
    }
    {
        KVDriverOptionsMgr manager;
        EXPECT_EQ(manager.GetMRUProfile(), manager.GetExcelProfile(1L));
        EXPECT_EQ(kvtest::ReadText(kRoot, L"MRUProfileName"), L"B");
        manager.GetExcelProfile(1L)->SetProfileName(L"Renamed");
        EXPECT_EQ(manager.GetMRUProfile(), manager.GetDefaultExcelDriverOptions());
    }
    kvtest::WriteDword(kRoot, L"MRUProfileIndex", 5);
    KVDriverOptionsMgr outOfRange;
    EXPECT_EQ(outOfRange.GetMRUProfile(), outOfRange.GetDefaultExcelDriverOptions());
}

TEST_F(manager_test, a_discarded_profile_passed_as_most_recent_leaves_the_stored_entry) {
    StoreProfiles({L"A", L"B"});
    {
        KVDriverOptionsMgr manager;
        manager.SaveSettings(manager.GetExcelProfile(1L));
    }
    kvtest::WriteFile(Path("imp.xml"),
                      "<SHEETWISE_PROFILES><PROFILE><PROFILETYPE>2</PROFILETYPE>"
                      "<PROFILENAME>Imported</PROFILENAME></PROFILE></SHEETWISE_PROFILES>");
    {
        KVDriverOptionsMgr manager;
        const KVProfileArray imported = manager.ImportProfiles(WPath("imp.xml").c_str());
        ASSERT_EQ(imported.size(), 1U);
        // Saving disposes of the imported object; it must not be read afterwards.
        manager.SaveSettings(imported[0]);
        KVDriverOptionsProfile* removed = manager.GetExcelProfile(0L);
        KVDriverOptionsProfile* alias = removed;
        manager.RemoveProfile(removed);
        manager.SaveSettings(alias);
    }
    EXPECT_EQ(kvtest::ReadText(kRoot, L"MRUProfileName"), L"B");
    EXPECT_EQ(kvtest::ReadDword(kRoot, L"MRUProfileIndex"), 1U);
    EXPECT_EQ(StoredNames(), (std::vector<std::wstring>{L"B"}));
}

TEST_F(manager_test, does_profile_exist_includes_the_default_profile) {
    StoreProfiles({L"Sales"});
    KVDriverOptionsMgr manager;
    EXPECT_TRUE(manager.DoesProfileExist(L"DEFAULT"));
    EXPECT_TRUE(manager.DoesProfileExist(L"sales"));
    EXPECT_FALSE(manager.DoesProfileExist(L"Sale"));
    EXPECT_FALSE(manager.DoesProfileExist(nullptr));
}

TEST_F(manager_test, every_stored_profile_keeps_a_name_of_its_own_and_its_settings) {
    // Names the built-in profile or an earlier profile has, as a caller that
    // did not ask DoesProfileExist would store them.
    StoreProfiles({L"DEFAULT", L"Same", L"same", L"Same (2)"});
    EXPECT_EQ(StoredNames(), (std::vector<std::wstring>{L"DEFAULT (2)", L"Same", L"same (3)", L"Same (2)"}));
    KVDriverOptionsMgr manager;
    EXPECT_STREQ(AsExcel(manager.GetExcelProfile(L"Default (2)"))->GetReportIdentifier(), L"ID DEFAULT");
    EXPECT_STREQ(AsExcel(manager.GetExcelProfile(L"Same (3)"))->GetReportIdentifier(), L"ID same");
    EXPECT_STREQ(AsExcel(manager.GetExcelProfile(L"Same (2)"))->GetReportIdentifier(), L"ID Same (2)");
    // A free name is free of the profiles being imported too.
    kvtest::WriteFile(Path("named.xml"),
                      "<SHEETWISE_PROFILES><PROFILE><PROFILETYPE>2</PROFILETYPE><PROFILENAME>Default"
                      "</PROFILENAME></PROFILE><PROFILE><PROFILETYPE>2</PROFILETYPE><PROFILENAME>default (3)"
                      "</PROFILENAME></PROFILE></SHEETWISE_PROFILES>");
    ASSERT_EQ(manager.ImportProfiles(WPath("named.xml").c_str()).size(), 2U);
    EXPECT_EQ(manager.GetFreeProfileName(L"Default"), L"Default (4)");
}

TEST_F(manager_test, removing_profiles_renumbers_the_stored_list) {
    StoreProfiles({L"One", L"Two", L"Three", L"Four", L"Five"}, 2);
    KVDriverOptionsMgr manager;
    KVDriverOptionsProfile* second = manager.GetExcelProfile(1L);
    KVDriverOptionsProfile* fourth = manager.GetExcelProfile(3L);
    manager.RemoveProfile(second);
    manager.RemoveProfile(fourth);
    manager.SaveSettings(nullptr);
    EXPECT_EQ(StoredNames(), (std::vector<std::wstring>{L"One", L"Three", L"Five"}));
    EXPECT_FALSE(kvtest::KeyExists(ProfileKey(3)));
    EXPECT_FALSE(kvtest::KeyExists(ProfileKey(4)));
    EXPECT_TRUE(kvtest::KeyExists(ProfileKey(-1)));
    EXPECT_EQ(kvtest::ReadText(ProfileKey(2) + L"\\RemoveDataSectionAnchors\\0", L"AnchorDescriptor"),
              L"Five anchor 0");
}

TEST_F(manager_test, import_skips_unknown_types_with_one_message) {
    auto profile = [](const std::string& name, const std::string& type) {
        return "<PROFILE>" + (type.empty() ? "" : "<PROFILETYPE>" + type + "</PROFILETYPE>") +
               "<PROFILENAME>" + name + "</PROFILENAME></PROFILE>";
    };
    kvtest::WriteFile(Path("types.xml"), "<SHEETWISE_PROFILES>" + profile("A", "2") + profile("B", "5") +
                                             profile("C", "2") + profile("D", "7") + "</SHEETWISE_PROFILES>");
    KVDriverOptionsMgr manager;
    const KVProfileArray& imported = manager.ImportProfiles(WPath("types.xml").c_str());
    ASSERT_EQ(imported.size(), 2U);
    EXPECT_STREQ(imported[0]->GetProfileName(), L"A");
    EXPECT_STREQ(imported[1]->GetProfileName(), L"C");
    EXPECT_EQ(imported[0]->GetProfileIndex(), -1);
    EXPECT_EQ(manager.GetExcelProfileCount(), 0);
    ASSERT_EQ(messages_.size(), 1U);
    EXPECT_EQ(messages_[0],
              L"Encountered an unknown profile type during import.  The profile will not be imported.");
    EXPECT_EQ(types_[0], MB_OK);

    kvtest::WriteFile(Path("untyped.xml"),
                      "<SHEETWISE_PROFILES>" + profile("U", "") + "</SHEETWISE_PROFILES>");
    EXPECT_TRUE(manager.ImportProfiles(WPath("untyped.xml").c_str()).empty());
    EXPECT_EQ(messages_.size(), 2U);

    // A failed load shows nothing.
    kvtest::WriteFile(Path("bad.xml"), "not xml");
    EXPECT_TRUE(manager.ImportProfiles(WPath("bad.xml").c_str()).empty());
    EXPECT_EQ(messages_.size(), 2U);
}

TEST_F(manager_test, imported_profiles_keep_constructor_state_for_fields_the_file_lacks) {
    kvtest::WriteFile(Path("one.xml"),
                      "<SHEETWISE_PROFILES><PROFILE><PROFILETYPE>2</PROFILETYPE>"
                      "<PROFILENAME>Only</PROFILENAME></PROFILE></SHEETWISE_PROFILES>");
    KVDriverOptionsMgr manager;
    const KVProfileArray imported = manager.ImportProfiles(WPath("one.xml").c_str());
    ASSERT_EQ(imported.size(), 1U);
    KVDriverOptionsExcel* profile = AsExcel(imported[0]);
    EXPECT_STREQ(profile->GetLastFileOpened(), L"");
    EXPECT_STREQ(profile->GetDefaultOutputFolder(), L"");
    EXPECT_STREQ(profile->GetFontName(), L"Arial");
}

TEST_F(manager_test, replacing_a_stored_profile_with_an_imported_one_keeps_exactly_its_anchors) {
    StoreProfiles({L"First", L"Sales", L"Last"}, 3);
    kvtest::WriteFile(
        Path("sales.xml"),
        "<SHEETWISE_PROFILES><PROFILE><PROFILETYPE>2</PROFILETYPE><PROFILENAME>SALES</PROFILENAME>"
        "<REMOVEDATASECTION>1</REMOVEDATASECTION><REMOVEDATAANCHORS><REMOVEDATAANCHOR>"
        "<ANCHORDESCRIPTOR>New anchor</ANCHORDESCRIPTOR><ANCHORTYPE>5</ANCHORTYPE>"
        "</REMOVEDATAANCHOR></REMOVEDATAANCHORS></PROFILE></SHEETWISE_PROFILES>");
    {
        KVDriverOptionsMgr manager;
        const KVProfileArray imported = manager.ImportProfiles(WPath("sales.xml").c_str());
        ASSERT_EQ(imported.size(), 1U);
        KVDriverOptionsProfile* stored = manager.GetExcelProfile(imported[0]->GetProfileName());
        ASSERT_NE(stored, nullptr);
        stored->CopyFrom(*imported[0]);  // what the editor does on Yes
        manager.SaveSettings(nullptr);
    }
    KVDriverOptionsMgr reloaded;
    ASSERT_EQ(reloaded.GetExcelProfileCount(), 3);
    auto* sales = AsExcel(reloaded.GetExcelProfile(1L));
    EXPECT_STREQ(sales->GetProfileName(), L"SALES");
    ASSERT_EQ(sales->GetRemoveDataAnchorCount(), 1);
    EXPECT_STREQ(sales->GetRemoveDataAnchor(0L)->GetAnchorDescriptor(), L"New anchor");
    EXPECT_EQ(AsExcel(reloaded.GetExcelProfile(2L))->GetRemoveDataAnchorCount(), 3);
}

TEST_F(manager_test, stale_profile_keys_beyond_a_gap_do_not_come_back) {
    StoreProfiles({L"A", L"B", L"C"}, 1);
    kvtest::WriteFile(Path("c.xml"),
                      "<SHEETWISE_PROFILES><PROFILE><PROFILETYPE>2</PROFILETYPE>"
                      "<PROFILENAME>C</PROFILENAME></PROFILE></SHEETWISE_PROFILES>");
    {
        KVDriverOptionsMgr manager;
        KVDriverOptionsProfile* b = manager.GetExcelProfile(1L);
        manager.RemoveProfile(b);
        const KVProfileArray imported = manager.ImportProfiles(WPath("c.xml").c_str());
        ASSERT_EQ(imported.size(), 1U);
        manager.GetExcelProfile(L"C")->CopyFrom(*imported[0]);
        manager.SaveSettings(nullptr);
    }
    EXPECT_EQ(StoredNames(), (std::vector<std::wstring>{L"A", L"C"}));
    EXPECT_FALSE(kvtest::KeyExists(ProfileKey(2)));
}

TEST_F(manager_test, export_writes_the_given_profiles_and_rejects_a_null_list) {
    StoreProfiles({L"A", L"B"});
    KVDriverOptionsMgr manager;
    EXPECT_FALSE(manager.ExportProfiles(nullptr, WPath("x.xml").c_str()));
    const KVProfileArray some = {manager.GetExcelProfile(1L)};
    ASSERT_TRUE(manager.ExportProfiles(&some, WPath("b.xml").c_str()));
    const KVProfileArray& back = manager.ImportProfiles(WPath("b.xml").c_str());
    ASSERT_EQ(back.size(), 1U);
    EXPECT_STREQ(back[0]->GetProfileName(), L"B");
    EXPECT_FALSE(manager.ExportProfiles(&some, WPath("no/such/folder.xml").c_str()));

    // A null entry is left out; the rest of the file stays importable.
    const KVProfileArray gappy = {manager.GetExcelProfile(0L), nullptr, manager.GetExcelProfile(1L)};
    ASSERT_TRUE(manager.ExportProfiles(&gappy, WPath("gappy.xml").c_str()));
    const KVProfileArray& both = manager.ImportProfiles(WPath("gappy.xml").c_str());
    ASSERT_EQ(both.size(), 2U);
    EXPECT_STREQ(both[0]->GetProfileName(), L"A");
    EXPECT_STREQ(both[1]->GetProfileName(), L"B");
}

}  // namespace
