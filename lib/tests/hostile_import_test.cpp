#include <gtest/gtest.h>

#include <cstdio>
#include <ctime>
#include <random>
#include <string>

#include "lib/manager/KVDriverOptionsMgr.h"
#include "lib/options/KVDriverOptionsExcel.h"
#include "lib/tests/test_support.h"
#include "lib/xml/KVProfileXmlFile.h"

namespace {

// Processor time of this process: what the import costs, whatever else the
// machine is busy with.
double CpuSeconds() {
    return static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
}

class hostile_import_test : public kvtest::StoreTest {
protected:
    // Imports `path` through the manager; the result's size, how long it
    // took, and the reason the manager gives when it finds none.
    std::size_t Import(const std::string& name, double* seconds = nullptr, std::wstring* reason = nullptr) {
        KVDriverOptionsMgr manager;
        const double start = CpuSeconds();
        const std::size_t count = manager.ImportProfiles(WPath(name).c_str()).size();
        if (seconds != nullptr) {
            *seconds = CpuSeconds() - start;
        }
        if (reason != nullptr) {
            *reason = manager.GetImportError();
        }
        return count;
    }
    // Whether the reason `name` is refused with holds `part`.
    bool RefusedFor(const std::string& name, const std::wstring& part) {
        std::wstring reason;
        return Import(name, nullptr, &reason) == 0 && reason.find(part) != std::wstring::npos;
    }

    static std::string ValidFile() {
        return "<SHEETWISE_PROFILES>\n    <PROFILE>\n        <PROFILETYPE>2</PROFILETYPE>\n"
               "        <PROFILENAME>Sales Report</PROFILENAME>\n"
               "        <REPORTIDENTIFIER>SALES REPORT</REPORTIDENTIFIER>\n        <REMOVEDATAANCHORS>\n"
               "            <REMOVEDATAANCHOR>\n                <ANCHORDESCRIPTOR>Page "
               "Total</ANCHORDESCRIPTOR>\n"
               "                <ANCHORTYPE>2</ANCHORTYPE>\n            </REMOVEDATAANCHOR>\n"
               "        </REMOVEDATAANCHORS>\n    </PROFILE>\n</SHEETWISE_PROFILES>\n";
    }
};

TEST_F(hostile_import_test, files_that_are_not_profile_xml_import_nothing) {
    const std::string inputs[] = {
        "plain text, not XML at all",
        "{\"json\": true}",
        std::string("\xef\xbb\xbf", 3),
        std::string("<SHEETWISE_PROFILES><PROFILE><PROFILENAME>A\0B</PROFILENAME></PROFILE>", 66),
        "<SHEETWISE_PROFILES><PROFILE><PROFILENAME>&#xFFFFFFFF;&#0;&bogus;</PROFILENAME></PROFILE>"
        "</SHEETWISE_PROFILES",
        "<!DOCTYPE x [<!ENTITY a \"aaaa\">]><SHEETWISE_PROFILES>&a;&a;</SHEETWISE_PROFILES>",
        "<SHEETWISE_PROFILES attr='<PROFILE>'></SHEETWISE_PROFILES>",
    };
    for (const std::string& input : inputs) {
        kvtest::WriteFile(Path("in.xml"), input);
        EXPECT_EQ(Import("in.xml"), 0U) << input;
    }
}

TEST_F(hostile_import_test, every_truncation_of_a_valid_file_loads_nothing_or_the_profile) {
    const std::string full = ValidFile();
    const std::size_t complete = full.rfind('>') + 1;
    for (std::size_t cut = 0; cut < full.size(); ++cut) {
        kvtest::WriteFile(Path("cut.xml"), full.substr(0, cut));
        std::vector<KVXmlProfile*> profiles;
        KVProfileXmlFile file(&profiles);
        const bool ok = file.LoadProfileFile(WPath("cut.xml").c_str());
        EXPECT_EQ(ok, cut >= complete) << "cut at " << cut;
        EXPECT_EQ(profiles.size(), ok ? 1U : profiles.size());
        for (KVXmlProfile* profile : profiles) {
            delete profile;
        }
    }
    kvtest::WriteFile(Path("full.xml"), full);
    EXPECT_EQ(Import("full.xml"), 1U);
}

TEST_F(hostile_import_test, deep_nesting_is_refused_before_parsing) {
    // A megabyte of open tags would exhaust the parser's stack.
    std::string deep = "<SHEETWISE_PROFILES>";
    for (int i = 0; i < 300000; ++i) {
        deep += "<a>";
    }
    kvtest::WriteFile(Path("deep.xml"), deep);
    double seconds = 0;
    EXPECT_EQ(Import("deep.xml", &seconds), 0U);
    EXPECT_LT(seconds, 10.0);

    // Nesting hidden in an unknown element of a valid profile is refused too.
    std::string inner;
    for (int i = 0; i < 100000; ++i) {
        inner += "<X>";
    }
    kvtest::WriteFile(Path("inner.xml"),
                      "<SHEETWISE_PROFILES><PROFILE><PROFILETYPE>2</PROFILETYPE><PROFILENAME>A"
                      "</PROFILENAME><EXTRA>" +
                          inner + "</EXTRA></PROFILE></SHEETWISE_PROFILES>");
    EXPECT_EQ(Import("inner.xml"), 0U);

    // Self-closing and balanced elements are not nesting.
    std::string flat =
        "<SHEETWISE_PROFILES><PROFILE><PROFILETYPE>2</PROFILETYPE><PROFILENAME>Flat</PROFILENAME>";
    for (int i = 0; i < 5000; ++i) {
        flat += "<E/><F x=\"/>\"></F>";
    }
    kvtest::WriteFile(Path("flat.xml"), flat + "</PROFILE></SHEETWISE_PROFILES>");
    EXPECT_EQ(Import("flat.xml"), 1U);
}

TEST_F(hostile_import_test, a_hundred_megabytes_of_nesting_is_refused_quickly) {
    const std::string chunk = [] {
        std::string text;
        for (int i = 0; i < 1 << 18; ++i) {
            text += "<a>";
        }
        return text;
    }();
    {
        std::FILE* file = std::fopen(Path("huge.xml").c_str(), "wb");
        ASSERT_NE(file, nullptr);
        std::fputs("<SHEETWISE_PROFILES>", file);
        for (std::size_t written = 0; written < 100U * 1024 * 1024; written += chunk.size()) {
            ASSERT_EQ(std::fwrite(chunk.data(), 1, chunk.size(), file), chunk.size());
        }
        std::fclose(file);
    }
    double seconds = 0;
    std::wstring reason;
    EXPECT_EQ(Import("huge.xml", &seconds, &reason), 0U);
    EXPECT_LT(seconds, 5.0);
    EXPECT_EQ(reason, L"the file is larger than 64 MB, the most a profile file may hold");
}

TEST_F(hostile_import_test, a_refused_file_says_why_and_on_which_line) {
    EXPECT_TRUE(RefusedFor("missing.xml", L"the file cannot be opened (No such file or directory)"));
    kvtest::WriteFile(Path("broken.xml"), "<SHEETWISE_PROFILES>\n<PROFILE>\n<PROFILENAME>A</PROFILENAM>\n");
    EXPECT_TRUE(RefusedFor("broken.xml", L"the XML is not well formed: ")) << Path("broken.xml");
    EXPECT_TRUE(RefusedFor("broken.xml", L"(line 3, column "));
    std::string deep = "<SHEETWISE_PROFILES>";
    for (int i = 0; i < 40; ++i) {
        deep += "<a>";
    }
    kvtest::WriteFile(Path("deep.xml"), deep);
    EXPECT_TRUE(RefusedFor("deep.xml", L"elements are nested more than 32 deep"));
    kvtest::WriteFile(Path("other.xml"), "<PROFILES/>");
    EXPECT_TRUE(RefusedFor("other.xml", L"there is no SHEETWISE_PROFILES element"));
    kvtest::WriteFile(
        Path("nameless.xml"),
        "<SHEETWISE_PROFILES>\n<PROFILE><PROFILETYPE>2</PROFILETYPE></PROFILE>\n</SHEETWISE_PROFILES>");
    EXPECT_TRUE(RefusedFor("nameless.xml", L"a PROFILE has no PROFILENAME (line 2)"));
    kvtest::WriteFile(Path("twice.xml"),
                      "<SHEETWISE_PROFILES>\n<PROFILE><PROFILENAME>A</PROFILENAME></PROFILE>\n"
                      "<PROFILE><PROFILENAME>a</PROFILENAME></PROFILE>\n</SHEETWISE_PROFILES>");
    EXPECT_TRUE(RefusedFor("twice.xml", L"the profile name \"a\" appears twice (line 3)"));
    kvtest::WriteFile(Path("other-type.xml"),
                      "<SHEETWISE_PROFILES><PROFILE><PROFILETYPE>7</PROFILETYPE><PROFILENAME>A</PROFILENAME>"
                      "</PROFILE></SHEETWISE_PROFILES>");
    EXPECT_TRUE(RefusedFor("other-type.xml", L"no profile is of the spreadsheet type"));
}

TEST_F(hostile_import_test, binary_noise_never_crashes) {
    std::mt19937 random(20261207);
    std::uniform_int_distribution<int> byte(0, 255);
    const std::string valid = ValidFile();
    for (int round = 0; round < 200; ++round) {
        std::string input = valid;
        // Overwrite a few bytes of the valid file, or use pure noise.
        if (round % 4 == 0) {
            input.assign(static_cast<std::size_t>(1 + round * 7), '\0');
            for (char& c : input) {
                c = static_cast<char>(byte(random));
            }
        } else {
            for (int i = 0; i < 1 + round % 9; ++i) {
                input[random() % input.size()] = static_cast<char>(byte(random));
            }
        }
        kvtest::WriteFile(Path("noise.xml"), input);
        const std::size_t count = Import("noise.xml");
        EXPECT_LE(count, 1U);
    }
}

TEST_F(hostile_import_test, over_long_texts_are_cut_to_the_field) {
    kvtest::WriteFile(Path("long.xml"),
                      "<SHEETWISE_PROFILES><PROFILE><PROFILETYPE>2</PROFILETYPE><PROFILENAME>" +
                          std::string(100000, 'n') + "</PROFILENAME><FONT><FONTNAME>" +
                          std::string(4000, 'f') +
                          "</FONTNAME></FONT><REMOVEDATAANCHORS><REMOVEDATAANCHOR>"
                          "<ANCHORDESCRIPTOR>" +
                          std::string(2000, '\xe9') +
                          "</ANCHORDESCRIPTOR></REMOVEDATAANCHOR></REMOVEDATAANCHORS>"
                          "</PROFILE></SHEETWISE_PROFILES>");
    KVDriverOptionsMgr manager;
    const KVProfileArray& imported = manager.ImportProfiles(WPath("long.xml").c_str());
    ASSERT_EQ(imported.size(), 1U);
    auto* profile = dynamic_cast<KVDriverOptionsExcel*>(imported[0]);
    EXPECT_EQ(std::wstring(profile->GetProfileName()), std::wstring(1023, L'n'));
    EXPECT_EQ(std::wstring(profile->GetFontName()), std::wstring(1023, L'f'));
    EXPECT_EQ(std::wstring(profile->GetRemoveDataAnchor(0L)->GetAnchorDescriptor()),
              std::wstring(1023, L'\u00e9'));
}

TEST_F(hostile_import_test, ten_thousand_profiles_load_correctly_within_seconds) {
    std::string xml = "<SHEETWISE_PROFILES>\n";
    for (int i = 0; i < 10000; ++i) {
        const std::string n = std::to_string(i);
        xml += "<PROFILE><PROFILETYPE>2</PROFILETYPE><PROFILENAME>Profile " + n +
               "</PROFILENAME><REPORTIDENTIFIER>R" + n +
               "</REPORTIDENTIFIER><REMOVEDATAANCHORS><REMOVEDATAANCHOR><ANCHORDESCRIPTOR>A" + n +
               "</ANCHORDESCRIPTOR></REMOVEDATAANCHOR></REMOVEDATAANCHORS></PROFILE>\n";
    }
    kvtest::WriteFile(Path("many.xml"), xml + "</SHEETWISE_PROFILES>\n");
    KVDriverOptionsMgr manager;
    const double start = CpuSeconds();
    const KVProfileArray& imported = manager.ImportProfiles(WPath("many.xml").c_str());
    const double seconds = CpuSeconds() - start;
    ASSERT_EQ(imported.size(), 10000U);
    EXPECT_STREQ(imported[9999]->GetProfileName(), L"Profile 9999");
    EXPECT_STREQ(dynamic_cast<KVDriverOptionsExcel*>(imported[1234])->GetReportIdentifier(), L"R1234");
    EXPECT_LT(seconds, 30.0);
    std::printf("10,000 profiles imported in %.2f s of processor time\n", seconds);

    // The same file with one duplicate name at the end loads nothing.
    kvtest::WriteFile(Path("dup.xml"), xml +
                                           "<PROFILE><PROFILETYPE>2</PROFILETYPE><PROFILENAME>profile 17"
                                           "</PROFILENAME></PROFILE></SHEETWISE_PROFILES>\n");
    EXPECT_EQ(Import("dup.xml"), 0U);
}

}  // namespace
