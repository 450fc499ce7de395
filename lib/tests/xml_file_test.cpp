#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "lib/options/KVDriverOptionsExcel.h"
#include "lib/tests/test_support.h"
#include "lib/xml/KVProfileXmlFile.h"

namespace {

using Anchor = KVExcelRemoveDataAnchor;

struct Profiles {
    std::vector<KVXmlProfile*> list;
    ~Profiles() {
        for (KVXmlProfile* profile : list) {
            delete profile;
        }
    }
};

// A "PROFILE" element from its inner XML.
std::string ProfileXml(const std::string& inner) {
    return "<PROFILE>" + inner + "</PROFILE>";
}

std::string FileXml(const std::string& profiles) {
    return "<SHEETWISE_PROFILES>" + profiles + "</SHEETWISE_PROFILES>\n";
}

class xml_file_test : public kvtest::StoreTest {
protected:
    bool Load(const std::string& xml, Profiles* out) {
        kvtest::WriteFile(Path("in.xml"), xml);
        KVProfileXmlFile file(&out->list);
        return file.LoadProfileFile(WPath("in.xml").c_str());
    }
    bool Save(const std::vector<const KVDriverOptionsExcel*>& profiles, const std::string& name) {
        Profiles xml;
        for (const KVDriverOptionsExcel* profile : profiles) {
            xml.list.push_back(new KVXmlProfile());
            profile->ToXml(xml.list.back());
        }
        KVProfileXmlFile file(&xml.list);
        return file.SaveProfileFile(WPath(name).c_str());
    }
};

TEST_F(xml_file_test, export_writes_every_element_in_order_without_declaration) {
    KVDriverOptionsExcel profile;
    profile.SetProfileName(L"Sales");
    profile.SetRemoveDataSection(1);
    Anchor* anchor = profile.CreateRemoveDataAnchor();
    anchor->SetAnchorDescriptor(L"Page Total");
    ASSERT_TRUE(Save({&profile}, "out.xml"));
    const std::string text = kvtest::ReadFile(Path("out.xml"));
    EXPECT_EQ(text.rfind("<SHEETWISE_PROFILES>", 0), 0U) << text;
    EXPECT_EQ(text.find("<?xml"), std::string::npos);
    const char* order[] = {"<PROFILE>",
                           "<PROFILETYPE>2</PROFILETYPE>",
                           "<DATEFORMAT>m/d/yyyy</DATEFORMAT>",
                           "<CUSTOMDATEFORMAT></CUSTOMDATEFORMAT>",
                           "<MOVETOTOPLEFTCELL>1</MOVETOTOPLEFTCELL>",
                           "<NUMERICFORMAT></NUMERICFORMAT>",
                           "<PROFILENAME>Sales</PROFILENAME>",
                           "<REPORTIDENTIFIER></REPORTIDENTIFIER>",
                           "<REMOVECOLUMNSWITHSPACE>0</REMOVECOLUMNSWITHSPACE>",
                           "<REMOVEDATASECTION>1</REMOVEDATASECTION>",
                           "<REMOVEROWSWITHSPACE>0</REMOVEROWSWITHSPACE>",
                           "<RESIZECELLS>1</RESIZECELLS>",
                           "<FONT>",
                           "<FONTNAME>Arial</FONTNAME>",
                           "<FONTSIZE>12</FONTSIZE>",
                           "<FONTBOLD>0</FONTBOLD>",
                           "<FONTITALICIZE>0</FONTITALICIZE>",
                           "<FONTUNDERLINE>0</FONTUNDERLINE>",
                           "<REMOVEFORMATTINGOFCELLS>0</REMOVEFORMATTINGOFCELLS>",
                           "</FONT>",
                           "<REMOVEDATAANCHORS>",
                           "<REMOVEDATAANCHOR>",
                           "<ANCHORDESCRIPTOR>Page Total</ANCHORDESCRIPTOR>",
                           "<ANCHORINDEX>0</ANCHORINDEX>",
                           "<ANCHORTYPE>0</ANCHORTYPE>",
                           "<AREABOTTOM>0</AREABOTTOM>",
                           "<AREALEFT>0</AREALEFT>",
                           "<AREARIGHT>0</AREARIGHT>",
                           "<AREATOP>0</AREATOP>",
                           "</REMOVEDATAANCHOR>"};
    std::size_t at = 0;
    for (const char* element : order) {
        const std::size_t found = text.find(element, at);
        ASSERT_NE(found, std::string::npos) << element << " after " << at << " in\n" << text;
        at = found;
    }
    // One element a line, indented by depth.
    EXPECT_NE(text.find("\n    <PROFILE>\n        <PROFILETYPE>"), std::string::npos) << text;
}

TEST_F(xml_file_test, profile_without_anchors_exports_an_empty_anchor_element_and_imports_none) {
    KVDriverOptionsExcel profile;
    profile.SetProfileName(L"Plain");
    ASSERT_TRUE(Save({&profile}, "plain.xml"));
    const std::string text = kvtest::ReadFile(Path("plain.xml"));
    EXPECT_NE(text.find("<REMOVEDATAANCHORS />"), std::string::npos) << text;
    Profiles loaded;
    KVProfileXmlFile file(&loaded.list);
    ASSERT_TRUE(file.LoadProfileFile(WPath("plain.xml").c_str()));
    ASSERT_EQ(loaded.list.size(), 1U);
    EXPECT_EQ(loaded.list[0]->GetAnchorCount(), 0);
}

TEST_F(xml_file_test, export_then_import_reproduces_every_exported_field) {
    KVDriverOptionsExcel first;
    first.SetProfileName(L"  Sales  Report \u00e9\u20ac ");
    first.SetDefaultOutputFolder(L"/home/u/out");
    first.SetLastFileOpened(L"/home/u/out/x.xls");
    first.SetReportIdentifier(L"SALES <&> \"REPORT\"\t'");
    first.SetDateFormat(L"Custom", L"dd.mm.yyyy hh:mm");
    first.SetNumericFormat(L"$#,##0.00");
    first.SetMoveToTopLeftCell(0);
    first.SetResizeCells(0);
    first.SetRemoveRowsWithSpace(1);
    first.SetRemoveColumnsWithSpace(1);
    first.SetRemoveDataSection(1);
    first.SetRemoveFormattingOfCells(1);
    first.SetFontName(L"DejaVu Sans");
    first.SetFontSize(14);
    first.SetFontBold(1);
    first.SetFontUnderline(1);
    first.SetFontItalicize(1);
    const Anchor::enAnchorType types[] = {Anchor::enAnchorClearCell, Anchor::enAnchorRemoveRow,
                                          Anchor::enAnchorRemoveColumn, Anchor::enAnchorRemoveRowAndColumn,
                                          Anchor::enAnchorClearArea};
    for (long i = 0; i < 5; ++i) {
        Anchor* anchor = first.CreateRemoveDataAnchor();
        anchor->SetAnchorDescriptor((L"Anchor " + std::to_wstring(i)).c_str());
        anchor->SetAnchorType(types[i]);
        anchor->SetAnchorIndex(10 + i);
        anchor->SetAreaToRemove(CRect(i, -i, 2 * i, 100000 + i));
    }
    KVDriverOptionsExcel second;
    second.SetProfileName(L"Second");
    second.SetDateFormat(L"d-mmm-yy", L"");
    ASSERT_TRUE(Save({&first, &second}, "round.xml"));

    Profiles loaded;
    KVProfileXmlFile file(&loaded.list);
    ASSERT_TRUE(file.LoadProfileFile(WPath("round.xml").c_str()));
    ASSERT_EQ(loaded.list.size(), 2U);
    KVDriverOptionsExcel back;
    back.FromXml(loaded.list[0]);
    EXPECT_EQ(loaded.list[0]->GetProfileType(), 2);
    EXPECT_STREQ(back.GetProfileName(), first.GetProfileName());
    EXPECT_STREQ(back.GetReportIdentifier(), first.GetReportIdentifier());
    EXPECT_STREQ(back.GetDateFormatW(), L"Custom");
    EXPECT_STREQ(back.GetCustomDateFormat(), L"dd.mm.yyyy hh:mm");
    EXPECT_STREQ(back.GetNumericFormat(), L"$#,##0.00");
    EXPECT_EQ(back.GetMoveToTopLeftCell(), 0);
    EXPECT_EQ(back.GetResizeCells(), 0);
    EXPECT_EQ(back.GetRemoveRowsWithSpace(), 1);
    EXPECT_EQ(back.GetRemoveColumnsWithSpace(), 1);
    EXPECT_EQ(back.GetRemoveDataSection(), 1);
    EXPECT_EQ(back.GetRemoveFormattingOfCells(), 1);
    EXPECT_STREQ(back.GetFontName(), L"DejaVu Sans");
    EXPECT_EQ(back.GetFontSize(), 14);
    EXPECT_EQ(back.GetFontBold(), 1);
    EXPECT_EQ(back.GetFontUnderline(), 1);
    EXPECT_EQ(back.GetFontItalicize(), 1);
    ASSERT_EQ(back.GetRemoveDataAnchorCount(), 5);
    for (long i = 0; i < 5; ++i) {
        const Anchor* anchor = back.GetRemoveDataAnchor(i);
        EXPECT_EQ(std::wstring(anchor->GetAnchorDescriptor()), L"Anchor " + std::to_wstring(i));
        EXPECT_EQ(anchor->GetAnchorType(), types[i]);
        EXPECT_EQ(anchor->GetAnchorIndex(), 10 + i);
        EXPECT_EQ(anchor->GetAreaToRemove(), CRect(i, -i, 2 * i, 100000 + i));
    }
    // Not part of the file.
    EXPECT_STREQ(back.GetDefaultOutputFolder(), L"");
    EXPECT_STREQ(back.GetLastFileOpened(), L"");

    KVDriverOptionsExcel backSecond;
    backSecond.FromXml(loaded.list[1]);
    EXPECT_STREQ(backSecond.GetProfileName(), L"Second");
    EXPECT_STREQ(backSecond.GetDateFormatW(), L"d-mmm-yy");
}

TEST_F(xml_file_test, missing_font_and_missing_elements_import_as_written_rules_say) {
    Profiles loaded;
    ASSERT_TRUE(
        Load(FileXml(ProfileXml("<PROFILENAME>NoFont</PROFILENAME>") +
                     ProfileXml("<PROFILENAME>NoName</PROFILENAME><FONT><FONTSIZE>9</FONTSIZE></FONT>")),
             &loaded));
    ASSERT_EQ(loaded.list.size(), 2U);
    EXPECT_STREQ(loaded.list[0]->GetFont().GetFontName(), L"Arial");
    EXPECT_EQ(loaded.list[0]->GetFont().GetFontSize(), 12);
    EXPECT_EQ(loaded.list[0]->GetProfileType(), 0);
    EXPECT_STREQ(loaded.list[0]->GetDateFormatW(), L"");
    EXPECT_STREQ(loaded.list[1]->GetFont().GetFontName(), L"");
    EXPECT_EQ(loaded.list[1]->GetFont().GetFontSize(), 9);

    Profiles sized;
    ASSERT_TRUE(
        Load(FileXml(ProfileXml("<PROFILENAME>S</PROFILENAME><FONT><FONTNAME>X</FONTNAME></FONT>")), &sized));
    EXPECT_EQ(sized.list[0]->GetFont().GetFontSize(), 12);
}

TEST_F(xml_file_test, flags_import_unreduced_and_export_as_one_only_for_one) {
    Profiles loaded;
    ASSERT_TRUE(Load(FileXml(ProfileXml("<PROFILENAME>F</PROFILENAME><RESIZECELLS>2</RESIZECELLS>"
                                        "<FONT><FONTBOLD>7abc</FONTBOLD></FONT>")),
                     &loaded));
    EXPECT_EQ(loaded.list[0]->GetResizeCells(), 2);
    EXPECT_EQ(loaded.list[0]->GetFont().GetBold(), 7);

    KVDriverOptionsExcel profile;
    profile.SetProfileName(L"Two");
    profile.SetResizeCells(2);
    ASSERT_TRUE(Save({&profile}, "flags.xml"));
    EXPECT_NE(kvtest::ReadFile(Path("flags.xml")).find("<RESIZECELLS>0</RESIZECELLS>"), std::string::npos);
}

TEST_F(xml_file_test, numbers_beyond_32_bits_saturate_and_survive_storing_unchanged) {
    Profiles loaded;
    ASSERT_TRUE(
        Load(FileXml(ProfileXml("<PROFILENAME>Big</PROFILENAME><REMOVEDATASECTION>1</REMOVEDATASECTION>"
                                "<FONT><FONTSIZE>4294967308</FONTSIZE></FONT><REMOVEDATAANCHORS>"
                                "<REMOVEDATAANCHOR><ANCHORDESCRIPTOR>A</ANCHORDESCRIPTOR>"
                                "<AREALEFT>-99999999999</AREALEFT><AREARIGHT>2147483647</AREARIGHT>"
                                "</REMOVEDATAANCHOR></REMOVEDATAANCHORS>")),
             &loaded));
    KVDriverOptionsExcel imported;
    imported.FromXml(loaded.list[0]);
    EXPECT_EQ(imported.GetFontSize(), 2147483647L);
    EXPECT_EQ(imported.GetRemoveDataAnchor(0L)->GetAreaToRemove(),
              CRect(-2147483647L - 1, 0, 2147483647L, 0));

    // What the profile holds is what a store round trip gives back.
    imported.SetProfileIndex(0);
    ASSERT_TRUE(imported.SaveSettings());
    KVDriverOptionsExcel stored;
    stored.SetProfileIndex(0);
    ASSERT_TRUE(stored.LoadSettings());
    EXPECT_EQ(stored.GetFontSize(), imported.GetFontSize());
    ASSERT_EQ(stored.GetRemoveDataAnchorCount(), 1);
    EXPECT_EQ(stored.GetRemoveDataAnchor(0L)->GetAreaToRemove(),
              imported.GetRemoveDataAnchor(0L)->GetAreaToRemove());
}

TEST_F(xml_file_test, unknown_elements_are_ignored_and_order_does_not_matter) {
    Profiles loaded;
    ASSERT_TRUE(Load(FileXml("<COMMENTARY>x</COMMENTARY>" +
                             ProfileXml("<EXTRA><PROFILENAME>Inner</PROFILENAME></EXTRA>"
                                        "<REPORTIDENTIFIER>ID</REPORTIDENTIFIER><PROFILETYPE>2</PROFILETYPE>"
                                        "<PROFILENAME>Outer</PROFILENAME><PROFILENAME>Second</PROFILENAME>")),
                     &loaded));
    ASSERT_EQ(loaded.list.size(), 1U);
    EXPECT_STREQ(loaded.list[0]->GetProfileName(), L"Outer");
    EXPECT_STREQ(loaded.list[0]->GetReportIdentifier(), L"ID");
    EXPECT_EQ(loaded.list[0]->GetProfileType(), 2);
}

TEST_F(xml_file_test, structural_faults_fail_the_whole_load) {
    const std::string good = ProfileXml("<PROFILENAME>Good</PROFILENAME>");
    const std::vector<std::string> bad = {
        FileXml(good + ProfileXml("<PROFILENAME>GOOD</PROFILENAME>")),
        FileXml(good + ProfileXml("<PROFILETYPE>2</PROFILETYPE>")),
        FileXml(good + ProfileXml("<PROFILENAME></PROFILENAME>")),
        FileXml(ProfileXml("<PROFILENAME>A</PROFILENAME><REMOVEDATAANCHORS><REMOVEDATAANCHOR><ANCHORTYPE>2"
                           "</ANCHORTYPE></REMOVEDATAANCHOR></REMOVEDATAANCHORS>")),
        FileXml(
            ProfileXml("<PROFILENAME>A</PROFILENAME><REMOVEDATAANCHORS><REMOVEDATAANCHOR><ANCHORDESCRIPTOR>"
                       "</ANCHORDESCRIPTOR></REMOVEDATAANCHOR></REMOVEDATAANCHORS>")),
        FileXml(ProfileXml("<PROFILENAME>A</PROFILENAME><REMOVEDATAANCHORS>"
                           "<REMOVEDATAANCHOR><ANCHORDESCRIPTOR>Total</ANCHORDESCRIPTOR></REMOVEDATAANCHOR>"
                           "<REMOVEDATAANCHOR><ANCHORDESCRIPTOR>TOTAL</ANCHORDESCRIPTOR></REMOVEDATAANCHOR>"
                           "</REMOVEDATAANCHORS>")),
        FileXml(""),
        "<OTHER_ROOT>" + good + "</OTHER_ROOT>",
        "<sheetwise_profiles>" + good + "</sheetwise_profiles>",
        FileXml(good).substr(0, 30),
        "",
    };
    for (const std::string& xml : bad) {
        Profiles loaded;
        EXPECT_FALSE(Load(xml, &loaded)) << xml;
    }
    Profiles none;
    KVProfileXmlFile file(&none.list);
    EXPECT_FALSE(file.LoadProfileFile(WPath("does-not-exist.xml").c_str()));
    EXPECT_FALSE(file.LoadProfileFile(nullptr));
}

TEST_F(xml_file_test, texts_longer_than_the_field_are_cut_to_1023_characters) {
    Profiles loaded;
    ASSERT_TRUE(Load(
        FileXml(ProfileXml("<PROFILENAME>" + std::string(5000, 'N') + "</PROFILENAME><REPORTIDENTIFIER>" +
                           std::string(3000, 'R') + "</REPORTIDENTIFIER>")),
        &loaded));
    EXPECT_EQ(std::wstring(loaded.list[0]->GetProfileName()), std::wstring(1023, L'N'));
    EXPECT_EQ(std::wstring(loaded.list[0]->GetReportIdentifier()), std::wstring(1023, L'R'));
}

TEST_F(xml_file_test, export_of_a_full_multibyte_field_stays_well_formed) {
    KVDriverOptionsExcel profile;
    profile.SetProfileName(std::wstring(1023, L'\u00e9').c_str());
    ASSERT_TRUE(Save({&profile}, "wide.xml"));
    Profiles loaded;
    KVProfileXmlFile file(&loaded.list);
    ASSERT_TRUE(file.LoadProfileFile(WPath("wide.xml").c_str()));
    const std::wstring name = loaded.list[0]->GetProfileName();
    // Cut at a character boundary within 1023 bytes: 511 two-byte characters.
    EXPECT_EQ(name, std::wstring(511, L'\u00e9'));
}

TEST_F(xml_file_test, windows_1252_text_from_older_files_is_kept) {
    Profiles loaded;
    ASSERT_TRUE(Load(FileXml(ProfileXml("<PROFILENAME>Caf\xe9 \x80</PROFILENAME>")), &loaded));
    EXPECT_STREQ(loaded.list[0]->GetProfileName(), L"Caf\u00e9 \u20ac");
    Profiles crlf;
    ASSERT_TRUE(
        Load("<SHEETWISE_PROFILES>\r\n<PROFILE>\r\n<PROFILENAME>W</PROFILENAME>\r\n</PROFILE>\r\n"
             "</SHEETWISE_PROFILES>\r\n",
             &crlf));
    EXPECT_STREQ(crlf.list[0]->GetProfileName(), L"W");
}

TEST_F(xml_file_test, failed_save_leaves_the_old_file_as_it_was) {
    const std::string old = "<SHEETWISE_PROFILES>old export</SHEETWISE_PROFILES>\n";
    kvtest::WriteFile(Path("keep.xml"), old);
    KVDriverOptionsExcel profile;
    profile.SetProfileName(L"Big");
    profile.SetReportIdentifier(std::wstring(1000, L'x').c_str());

    // A file size limit makes the write itself fail half-way.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);
        rlimit limit{200, 200};
        setrlimit(RLIMIT_FSIZE, &limit);
        _exit(Save({&profile}, "keep.xml") ? 0 : 3);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 3) << "save reported success";
    EXPECT_EQ(kvtest::ReadFile(Path("keep.xml")), old);

    // A target that is a folder, or in a folder that does not exist, fails too.
    std::filesystem::create_directory(Path("folder.xml"));
    EXPECT_FALSE(Save({&profile}, "folder.xml"));
    EXPECT_FALSE(Save({&profile}, "missing/out.xml"));
    int leftovers = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir_)) {
        leftovers += entry.path().filename().string().rfind(".keep.xml", 0) == 0 ? 1 : 0;
        leftovers += entry.path().filename().string().rfind(".folder.xml", 0) == 0 ? 1 : 0;
    }
    EXPECT_EQ(leftovers, 0) << "temporary files left behind";

    // A successful save replaces the old file.
    ASSERT_TRUE(Save({&profile}, "keep.xml"));
    EXPECT_NE(kvtest::ReadFile(Path("keep.xml")).find("<PROFILENAME>Big</PROFILENAME>"), std::string::npos);
}

TEST_F(xml_file_test, own_list_is_used_without_a_caller_list_and_copies_share_it) {
    kvtest::WriteFile(Path("own.xml"), FileXml(ProfileXml("<PROFILENAME>Own</PROFILENAME>")));
    auto file = std::make_unique<KVProfileXmlFile>();
    ASSERT_TRUE(file->LoadProfileFile(WPath("own.xml").c_str()));
    KVProfileXmlFile copy(*file);
    file.reset();
    // The copy still holds the profiles (the sanitizer build would catch a use
    // after free or a double delete here).
    ASSERT_TRUE(copy.SaveProfileFile(WPath("copy.xml").c_str()));
    EXPECT_NE(kvtest::ReadFile(Path("copy.xml")).find("<PROFILENAME>Own</PROFILENAME>"), std::string::npos);
}

}  // namespace
