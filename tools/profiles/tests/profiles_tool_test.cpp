#include <gtest/gtest.h>

#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/ProgramRun.h"

namespace {

std::vector<std::string> Lines(const std::string& text) {
    return SplitLines(text);
}

// Each test runs the tool against a settings store of its own.
class profiles_tool_test : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(Path("store"));
        ASSERT_EQ(setenv("SHEETWISE_REGISTRY_DIR", Path("store").c_str(), 1), 0);
    }
    void TearDown() override { unsetenv("SHEETWISE_REGISTRY_DIR"); }
    std::string Path(const std::string& name) const { return dir_.file(name); }
    // Exit status, standard output and standard error of one run of the tool.
    static int RunProfilesTool(const std::vector<std::string>& args, std::string* out, std::string* err) {
        const ProgramResult run = RunProgram("SheetwiseProfiles", args);
        *out = run.out;
        *err = run.err;
        return run.status;
    }
    static std::string ShippedSample() { return std::string(SW_SOURCE_DIR) + "/samples/profiles.xml"; }
    // A profile file of the tests' own, so the checks do not follow edits of
    // the shipped sample.
    std::string Sample() const {
        const std::string path = Path("sample.xml");
        WriteTextFile(
            path,
            "<SHEETWISE_PROFILES>\n    <PROFILE>\n        <PROFILETYPE>2</PROFILETYPE>\n"
            "        <DATEFORMAT>m/d/yyyy</DATEFORMAT>\n        <NUMERICFORMAT>#,##0.00</NUMERICFORMAT>\n"
            "        <PROFILENAME>Sales Report</PROFILENAME>\n"
            "        <REPORTIDENTIFIER>SALES REPORT</REPORTIDENTIFIER>\n"
            "        <REMOVEDATASECTION>1</REMOVEDATASECTION>\n"
            "        <FONT>\n            <FONTNAME>Arial</FONTNAME>\n            <FONTSIZE>10</FONTSIZE>\n"
            "        </FONT>\n        <REMOVEDATAANCHORS>\n            <REMOVEDATAANCHOR>\n"
            "                <ANCHORDESCRIPTOR>Page Total</ANCHORDESCRIPTOR>\n"
            "                <ANCHORTYPE>2</ANCHORTYPE>\n            </REMOVEDATAANCHOR>\n"
            "            <REMOVEDATAANCHOR>\n                <ANCHORDESCRIPTOR>Printed "
            "by:</ANCHORDESCRIPTOR>\n"
            "                <ANCHORINDEX>1</ANCHORINDEX>\n                <ANCHORTYPE>5</ANCHORTYPE>\n"
            "                <AREARIGHT>2</AREARIGHT>\n            </REMOVEDATAANCHOR>\n"
            "        </REMOVEDATAANCHORS>\n    </PROFILE>\n</SHEETWISE_PROFILES>\n");
        return path;
    }
    static bool Has(const std::vector<std::string>& lines, const std::string& line) {
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
    // Exit status 1 with exactly one line on standard error.
    static void ExpectFailure(const std::vector<std::string>& args, int status = 1) {
        std::string out;
        std::string err;
        EXPECT_EQ(RunProfilesTool(args, &out, &err), status) << args[0];
        EXPECT_EQ(Lines(err).size(), 1U) << err;
        EXPECT_EQ(err.rfind("SheetwiseProfiles: ", 0), 0U) << err;
    }

    TempDir dir_{"profiles-tool-test"};
};

TEST_F(profiles_tool_test, import_list_show_export_and_delete_the_sample) {
    std::string out;
    std::string err;
    ASSERT_EQ(RunProfilesTool({"list"}, &out, &err), 0) << err;
    EXPECT_EQ(out, "");

    ASSERT_EQ(RunProfilesTool({"import", Sample()}, &out, &err), 0) << err;
    ASSERT_EQ(RunProfilesTool({"list"}, &out, &err), 0) << err;
    EXPECT_EQ(Lines(out), (std::vector<std::string>{"Sales Report"}));

    ASSERT_EQ(RunProfilesTool({"show", "sales report"}, &out, &err), 0) << err;
    const auto shown = Lines(out);
    EXPECT_TRUE(Has(shown, "ProfileName: Sales Report")) << out;
    EXPECT_TRUE(Has(shown, "ReportIdentifier: SALES REPORT")) << out;
    EXPECT_TRUE(Has(shown, "FontName: Arial")) << out;
    EXPECT_TRUE(Has(shown, "Anchor 0 Descriptor: Page Total")) << out;
    EXPECT_TRUE(Has(shown, "Anchor 0 Type: Remove Row")) << out;
    EXPECT_TRUE(Has(shown, "Anchor 1 Type: Clear Area")) << out;
    EXPECT_TRUE(Has(shown, "Anchor 1 Area: left 0, up 0, right 2, down 0")) << out;
    EXPECT_TRUE(Has(shown, "Anchor 1 Index: 1")) << out;

    // Export, delete, and import the export again: the same profile comes back.
    ASSERT_EQ(RunProfilesTool({"export", Path("out.xml")}, &out, &err), 0) << err;
    ASSERT_EQ(RunProfilesTool({"delete", "Sales Report"}, &out, &err), 0) << err;
    ASSERT_EQ(RunProfilesTool({"list"}, &out, &err), 0) << err;
    EXPECT_EQ(out, "");
    ASSERT_EQ(RunProfilesTool({"import", Path("out.xml")}, &out, &err), 0) << err;
    ASSERT_EQ(RunProfilesTool({"show", "Sales Report"}, &out, &err), 0) << err;
    EXPECT_EQ(Lines(out), shown);

    // Export by name writes only the named profiles.
    ASSERT_EQ(RunProfilesTool({"export", Path("named.xml"), "Sales Report"}, &out, &err), 0) << err;
    EXPECT_NE(ReadTextFile(Path("named.xml")).find("<PROFILENAME>Sales Report</PROFILENAME>"),
              std::string::npos);
}

TEST_F(profiles_tool_test, shipped_sample_imports_and_lists) {
    std::string out;
    std::string err;
    ASSERT_EQ(RunProfilesTool({"import", ShippedSample()}, &out, &err), 0) << err;
    ASSERT_EQ(RunProfilesTool({"list"}, &out, &err), 0) << err;
    EXPECT_EQ(Lines(out), (std::vector<std::string>{"Sales Report"}));
    ASSERT_EQ(RunProfilesTool({"show", "Sales Report"}, &out, &err), 0) << err;
    EXPECT_TRUE(Has(Lines(out), "Anchor 0 Descriptor: Page Total")) << out;
}

TEST_F(profiles_tool_test, import_replaces_a_profile_of_the_same_name_with_exactly_its_anchors) {
    std::string out;
    std::string err;
    ASSERT_EQ(RunProfilesTool({"import", Sample()}, &out, &err), 0) << err;
    WriteTextFile(Path("replace.xml"),
                  "<SHEETWISE_PROFILES><PROFILE><PROFILETYPE>2</PROFILETYPE>"
                  "<PROFILENAME>SALES REPORT</PROFILENAME><REMOVEDATASECTION>1</REMOVEDATASECTION>"
                  "<REMOVEDATAANCHORS><REMOVEDATAANCHOR><ANCHORDESCRIPTOR>Only</ANCHORDESCRIPTOR>"
                  "<ANCHORTYPE>1</ANCHORTYPE></REMOVEDATAANCHOR></REMOVEDATAANCHORS></PROFILE>"
                  "<PROFILE><PROFILETYPE>2</PROFILETYPE><PROFILENAME>Second</PROFILENAME></PROFILE>"
                  "</SHEETWISE_PROFILES>");
    ASSERT_EQ(RunProfilesTool({"import", Path("replace.xml")}, &out, &err), 0) << err;
    ASSERT_EQ(RunProfilesTool({"list"}, &out, &err), 0) << err;
    EXPECT_EQ(Lines(out), (std::vector<std::string>{"SALES REPORT", "Second"}));
    ASSERT_EQ(RunProfilesTool({"show", "Sales Report"}, &out, &err), 0) << err;
    const auto shown = Lines(out);
    EXPECT_TRUE(Has(shown, "AnchorCount: 1")) << out;
    EXPECT_TRUE(Has(shown, "Anchor 0 Descriptor: Only")) << out;
    EXPECT_FALSE(Has(shown, "Anchor 1 Descriptor: Printed by:")) << out;
}

TEST_F(profiles_tool_test, a_profile_named_like_the_built_in_one_is_imported_beside_it) {
    WriteTextFile(Path("default.xml"),
                  "<SHEETWISE_PROFILES><PROFILE><PROFILETYPE>2</PROFILETYPE><PROFILENAME>default"
                  "</PROFILENAME><REPORTIDENTIFIER>FROM FILE</REPORTIDENTIFIER></PROFILE>"
                  "<PROFILE><PROFILETYPE>2</PROFILETYPE><PROFILENAME>Default (2)</PROFILENAME>"
                  "<REPORTIDENTIFIER>SECOND</REPORTIDENTIFIER></PROFILE></SHEETWISE_PROFILES>");
    std::string out;
    std::string err;
    ASSERT_EQ(RunProfilesTool({"import", Path("default.xml")}, &out, &err), 0) << err;
    EXPECT_TRUE(Has(Lines(out), "\"default\" is built in: imported as \"default (3)\"")) << out;
    ASSERT_EQ(RunProfilesTool({"list"}, &out, &err), 0) << err;
    EXPECT_EQ(Lines(out), (std::vector<std::string>{"default (3)", "Default (2)"}));
    ASSERT_EQ(RunProfilesTool({"show", "Default (3)"}, &out, &err), 0) << err;
    EXPECT_TRUE(Has(Lines(out), "ReportIdentifier: FROM FILE")) << out;
    ASSERT_EQ(RunProfilesTool({"show", "Default (2)"}, &out, &err), 0) << err;
    EXPECT_TRUE(Has(Lines(out), "ReportIdentifier: SECOND")) << out;
    // The built-in profile is still the one its name shows.
    ASSERT_EQ(RunProfilesTool({"show", "Default"}, &out, &err), 0) << err;
    EXPECT_TRUE(Has(Lines(out), "ReportIdentifier: ")) << out;
}

TEST_F(profiles_tool_test, names_decode_like_the_library_so_windows_1252_bytes_find_their_profile) {
    // 0x80 is not UTF-8: the file's name and the argument both mean the euro sign.
    WriteTextFile(Path("cp1252.xml"),
                  "<SHEETWISE_PROFILES><PROFILE><PROFILETYPE>2</PROFILETYPE>"
                  "<PROFILENAME>Caf\x80</PROFILENAME></PROFILE></SHEETWISE_PROFILES>");
    std::string out;
    std::string err;
    ASSERT_EQ(RunProfilesTool({"import", Path("cp1252.xml")}, &out, &err), 0) << err;
    ASSERT_EQ(RunProfilesTool({"show", "Caf\x80"}, &out, &err), 0) << err;
    EXPECT_TRUE(Has(Lines(out), "ProfileName: Caf\xE2\x82\xAC")) << out;
    ASSERT_EQ(RunProfilesTool({"delete", "caf\x80"}, &out, &err), 0) << err;
    ASSERT_EQ(RunProfilesTool({"list"}, &out, &err), 0) << err;
    EXPECT_EQ(out, "");
}

TEST_F(profiles_tool_test, errors_exit_non_zero_with_one_line_and_keep_the_store) {
    std::string out;
    std::string err;
    ASSERT_EQ(RunProfilesTool({"import", Sample()}, &out, &err), 0) << err;

    ExpectFailure({"show", "Nobody"});
    ExpectFailure({"delete", "Nobody"});
    ExpectFailure({"delete", "Default"});
    ExpectFailure({"import", Path("missing.xml")});
    WriteTextFile(Path("bad.xml"), "<SHEETWISE_PROFILES><PROFILE>");
    ExpectFailure({"import", Path("bad.xml")});
    RunProfilesTool({"import", Path("bad.xml")}, &out, &err);
    EXPECT_NE(err.find("is not a valid profile file: the XML is not well formed: "), std::string::npos)
        << err;
    EXPECT_NE(err.find("(at the end of the file)"), std::string::npos) << err;
    WriteTextFile(Path("mismatched.xml"), "<SHEETWISE_PROFILES>\n<PROFILE>\n</PROFILES>\n");
    RunProfilesTool({"import", Path("mismatched.xml")}, &out, &err);
    EXPECT_NE(err.find("(line 3, column "), std::string::npos) << err;
    ExpectFailure({"export", Path("no/such/folder/out.xml")});
    ExpectFailure({"export", Path("x.xml"), "Nobody"});
    ExpectFailure({"frobnicate"}, 2);
    ExpectFailure({"show"}, 2);
    ExpectFailure({"list", "extra"}, 2);
    ExpectFailure({"export"}, 2);
    EXPECT_EQ(RunProfilesTool({}, &out, &err), 2);

    ASSERT_EQ(RunProfilesTool({"list"}, &out, &err), 0) << err;
    EXPECT_EQ(Lines(out), (std::vector<std::string>{"Sales Report"}));
}

TEST_F(profiles_tool_test, a_damaged_store_is_reported_and_left_untouched) {
    const std::string store = Path("store/user.db");
    const std::string garbage(8192, 'x');
    WriteTextFile(store, garbage);
    std::string out;
    std::string err;
    EXPECT_EQ(RunProfilesTool({"list"}, &out, &err), 1);
    EXPECT_EQ(Lines(err).size(), 1U) << err;
    EXPECT_NE(err.find("user.db"), std::string::npos) << err;
    EXPECT_NE(RunProfilesTool({"import", Sample()}, &out, &err), 0);
    EXPECT_EQ(ReadTextFile(store), garbage);
}

}  // namespace
