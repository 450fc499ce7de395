#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/registry/Registry.h"
#include "tools/reg/RegTool.h"

namespace {

struct Result {
    int status = -1;
    std::string out;
    std::string err;
};

class sheetwisereg_test : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/sheetwisereg_test_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        setenv("SHEETWISE_REGISTRY_DIR", dir_.c_str(), 1);
        sw::registry::CloseAllConnections();
    }
    void TearDown() override {
        sw::registry::CloseAllConnections();
        unsetenv("SHEETWISE_REGISTRY_DIR");
        std::filesystem::remove_all(dir_);
    }

    static std::string ReadAll(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    // Runs the installed program with the test's store folder.
    Result Run(const std::vector<std::string>& args) {
        sw::registry::CloseAllConnections();
        const std::string outFile = dir_ + "/stdout.txt";
        const std::string errFile = dir_ + "/stderr.txt";
        const std::string program = std::string(SW_BINARY_DIR) + "/bin/SheetwiseReg";
        pid_t child = fork();
        if (child == 0) {
            int out = open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            int err = open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            dup2(out, 1);
            dup2(err, 2);
            std::vector<char*> argv;
            argv.push_back(const_cast<char*>(program.c_str()));
            for (const auto& arg : args) {
                argv.push_back(const_cast<char*>(arg.c_str()));
            }
            argv.push_back(nullptr);
            execv(program.c_str(), argv.data());
            _exit(127);
        }
        Result result;
        int status = 0;
        waitpid(child, &status, 0);
        result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128;
        result.out = ReadAll(outFile);
        result.err = ReadAll(errFile);
        return result;
    }

    // A failure: non-zero status, one line on stderr that says `what`, nothing on stdout.
    void ExpectFailure(const std::vector<std::string>& args, const std::string& what) {
        Result r = Run(args);
        SCOPED_TRACE(args.empty() ? "" : args[0] + " " + (args.size() > 1 ? args[1] : ""));
        EXPECT_NE(r.status, 0);
        EXPECT_EQ(r.out, "");
        ASSERT_FALSE(r.err.empty());
        EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
        EXPECT_EQ(r.err.rfind("ERROR: ", 0), 0U) << r.err;
        EXPECT_NE(r.err.find(what), std::string::npos) << r.err;
    }

    std::string dir_;
};

const char kOk[] = "The operation completed successfully.\n";

TEST_F(sheetwisereg_test, add_then_query_prints_like_the_reg_tool) {
    EXPECT_EQ(
        Run({"add", "HKCU\\Software\\Sheetwise", "/v", "ProfileName", "/t", "REG_SZ", "/d", "Monthly"}).out,
        kOk);
    EXPECT_EQ(
        Run({"add", "HKCU\\Software\\Sheetwise", "/v", "MRUProfileIndex", "/t", "REG_DWORD", "/d", "26"})
            .status,
        0);
    EXPECT_EQ(Run({"add", "HKEY_CURRENT_USER\\Software\\Sheetwise\\Excel\\0", "/ve", "/d", "Grün"}).status,
              0);
    EXPECT_EQ(Run({"add", "HKCU\\Software\\Sheetwise\\Excel\\1"}).status, 0);

    Result r = Run({"query", "HKCU\\Software\\Sheetwise"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "\nHKEY_CURRENT_USER\\Software\\Sheetwise\n"
              "    ProfileName    REG_SZ    Monthly\n"
              "    MRUProfileIndex    REG_DWORD    0x1a\n"
              "\n"
              "HKEY_CURRENT_USER\\Software\\Sheetwise\\Excel\n");

    r = Run({"query", "hkcu\\Software\\Sheetwise\\Excel\\0"});
    EXPECT_EQ(r.out,
              "\nHKEY_CURRENT_USER\\Software\\Sheetwise\\Excel\\0\n    (Default)    REG_SZ    Grün\n\n");

    r = Run({"query", "HKCU\\Software\\Sheetwise", "/v", "mruprofileindex"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out,
              "\nHKEY_CURRENT_USER\\Software\\Sheetwise\n    mruprofileindex    REG_DWORD    0x1a\n\n");

    // What the tool stored is what the library reads.
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Sheetwise", 0, KEY_READ, &key), ERROR_SUCCESS);
    DWORD type = 0, value = 0, size = sizeof value;
    EXPECT_EQ(
        RegQueryValueExW(key, L"MRUProfileIndex", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size),
        ERROR_SUCCESS);
    EXPECT_EQ(type, REG_DWORD);
    EXPECT_EQ(value, 26U);
    wchar_t text[16] = {};
    size = sizeof text;
    EXPECT_EQ(RegQueryValueExW(key, L"ProfileName", nullptr, &type, reinterpret_cast<BYTE*>(text), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(std::wstring(text), L"Monthly");
    RegCloseKey(key);
}

TEST_F(sheetwisereg_test, machine_root_uses_the_machine_store) {
    ASSERT_EQ(Run({"add", "HKLM\\Software\\Sheetwise", "/v", "InstallFolder", "/d", "/opt/sheetwise"}).status,
              0);
    EXPECT_TRUE(std::filesystem::exists(dir_ + "/machine.db"));
    EXPECT_FALSE(std::filesystem::exists(dir_ + "/user.db"));
    Result r = Run({"query", "HKEY_LOCAL_MACHINE\\Software\\Sheetwise", "/v", "InstallFolder"});
    EXPECT_EQ(r.out,
              "\nHKEY_LOCAL_MACHINE\\Software\\Sheetwise\n    InstallFolder    REG_SZ    /opt/sheetwise\n\n");
}

TEST_F(sheetwisereg_test, dword_data_is_checked_before_anything_is_written) {
    for (const char* bad : {"12x", "-1", "4294967296", "0x100000000", "0x", "", "1.5"}) {
        SCOPED_TRACE(bad);
        ExpectFailure({"add", "HKCU\\Numbers", "/v", "N", "/t", "REG_DWORD", "/d", bad},
                      "Invalid DWORD data");
    }
    EXPECT_FALSE(std::filesystem::exists(dir_ + "/user.db")) << "a refused add must not create anything";

    ASSERT_EQ(Run({"add", "HKCU\\Numbers", "/v", "Max", "/t", "reg_dword", "/d", "4294967295"}).status, 0);
    ASSERT_EQ(Run({"add", "HKCU\\Numbers", "/v", "Hex", "/t", "REG_DWORD", "/d", "0xFFfe"}).status, 0);
    Result r = Run({"query", "HKCU\\Numbers"});
    EXPECT_EQ(r.out,
              "\nHKEY_CURRENT_USER\\Numbers\n    Max    REG_DWORD    0xffffffff\n    Hex    REG_DWORD    "
              "0xfffe\n\n");
}

TEST_F(sheetwisereg_test, bad_arguments_fail_with_one_line) {
    ExpectFailure({}, "Invalid syntax");
    ExpectFailure({"query"}, "Invalid syntax");
    ExpectFailure({"frobnicate", "HKCU\\X"}, "unknown operation");
    ExpectFailure({"query", "HKCR\\X"}, "Invalid key name");
    ExpectFailure({"query", "Software\\X"}, "Invalid key name");
    ExpectFailure({"query", "HKCU\\A\\\\B"}, "Invalid key name");
    ExpectFailure({"add", "HKCU\\X", "/v"}, "needs a value name");
    ExpectFailure({"add", "HKCU\\X", "/v", "N", "/t", "REG_BINARY", "/d", "00"}, "Invalid type");
    ExpectFailure({"add", "HKCU\\X", "/v", "N", "/v", "M"}, "given twice");
    ExpectFailure({"add", "HKCU\\X", "/q"}, "unknown option");
    ExpectFailure({"add", "HKCU\\X", "stray"}, "unexpected argument");
    ExpectFailure({"query", "HKCU\\X", "/d", "1"}, "does not apply");
    ExpectFailure({"export", "HKCU\\X"}, "needs a file name");
    EXPECT_FALSE(std::filesystem::exists(dir_ + "/user.db"));

    Result help = Run({"/?"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("usage: SheetwiseReg"), std::string::npos);
}

TEST_F(sheetwisereg_test, missing_keys_and_values_are_errors) {
    ExpectFailure({"query", "HKCU\\Nowhere"}, "unable to find");
    ASSERT_EQ(Run({"add", "HKCU\\Here", "/v", "A", "/d", "1"}).status, 0);
    ExpectFailure({"query", "HKCU\\Here", "/v", "B"}, "unable to find");
    ExpectFailure({"delete", "HKCU\\Here", "/v", "B"}, "unable to find");
    ExpectFailure({"delete", "HKCU\\Here\\Sub"}, "unable to find");
    ExpectFailure({"export", "HKCU\\Nowhere", dir_ + "/x.reg"}, "unable to find");
    EXPECT_FALSE(std::filesystem::exists(dir_ + "/x.reg"));
}

TEST_F(sheetwisereg_test, delete_removes_values_or_whole_trees) {
    ASSERT_EQ(Run({"add", "HKCU\\Tree\\A\\B\\C", "/v", "Deep", "/d", "x"}).status, 0);
    ASSERT_EQ(Run({"add", "HKCU\\Tree\\A", "/v", "Keep", "/d", "y"}).status, 0);
    ASSERT_EQ(Run({"add", "HKCU\\Tree\\A", "/v", "Drop", "/d", "z"}).status, 0);
    ASSERT_EQ(Run({"add", "HKCU\\Tree\\Other"}).status, 0);

    EXPECT_EQ(Run({"delete", "HKCU\\Tree\\A", "/v", "Drop", "/f"}).out, kOk);
    EXPECT_EQ(Run({"query", "HKCU\\Tree\\A"}).out,
              "\nHKEY_CURRENT_USER\\Tree\\A\n    Keep    REG_SZ    y\n\nHKEY_CURRENT_USER\\Tree\\A\\B\n");

    // The store's own delete refuses keys with subkeys; the tool removes the tree.
    EXPECT_EQ(Run({"delete", "HKCU\\Tree\\A", "/f"}).out, kOk);
    ExpectFailure({"query", "HKCU\\Tree\\A"}, "unable to find");
    ExpectFailure({"query", "HKCU\\Tree\\A\\B\\C"}, "unable to find");
    EXPECT_EQ(Run({"query", "HKCU\\Tree"}).out,
              "\nHKEY_CURRENT_USER\\Tree\n\nHKEY_CURRENT_USER\\Tree\\Other\n");

    ExpectFailure({"delete", "HKCU"}, "root key");
    EXPECT_EQ(Run({"add", "HKCU\\Tree", "/v", "V1", "/d", "1"}).status, 0);
    EXPECT_EQ(Run({"delete", "HKCU\\Tree", "/va"}).status, 0);
    EXPECT_EQ(Run({"query", "HKCU\\Tree"}).out,
              "\nHKEY_CURRENT_USER\\Tree\n\nHKEY_CURRENT_USER\\Tree\\Other\n");
}

TEST_F(sheetwisereg_test, export_writes_a_registration_file) {
    ASSERT_EQ(Run({"add", "HKCU\\Software\\Sheetwise", "/v", "Path", "/d", "C:\\Reports \"Q1\""}).status, 0);
    ASSERT_EQ(Run({"add", "HKCU\\Software\\Sheetwise", "/v", "Count", "/t", "REG_DWORD", "/d", "10"}).status,
              0);
    ASSERT_EQ(Run({"add", "HKCU\\Software\\Sheetwise", "/ve", "/d", "é"}).status, 0);
    ASSERT_EQ(Run({"add", "HKCU\\Software\\Sheetwise\\Excel\\0", "/v", "ProfileName", "/d", "P"}).status, 0);
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Sheetwise", 0, KEY_SET_VALUE, &key),
              ERROR_SUCCESS);
    const std::wstring twoLines = L"a\nb";
    ASSERT_EQ(RegSetValueExW(key, L"Multi", 0, REG_SZ, reinterpret_cast<const BYTE*>(twoLines.c_str()),
                             static_cast<DWORD>((twoLines.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
    RegCloseKey(key);

    const std::string file = dir_ + "/out.reg";
    std::ofstream(file) << "old export";
    Result r = Run({"export", "HKCU\\Software\\Sheetwise", file, "/y"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadAll(file),
              "Windows Registry Editor Version 5.00\r\n"
              "\r\n"
              "[HKEY_CURRENT_USER\\Software\\Sheetwise]\r\n"
              "\"Path\"=\"C:\\\\Reports \\\"Q1\\\"\"\r\n"
              "\"Count\"=dword:0000000a\r\n"
              "@=\"é\"\r\n"
              "\"Multi\"=hex(1):61,00,0a,00,62,00,00,00\r\n"
              "\r\n"
              "[HKEY_CURRENT_USER\\Software\\Sheetwise\\Excel]\r\n"
              "\r\n"
              "[HKEY_CURRENT_USER\\Software\\Sheetwise\\Excel\\0]\r\n"
              "\"ProfileName\"=\"P\"\r\n"
              "\r\n");

    // A failed export leaves the earlier file as it was.
    ExpectFailure({"export", "HKCU\\Software\\Sheetwise", dir_ + "/no/such/folder/x.reg"}, "Cannot write");
}

TEST_F(sheetwisereg_test, damaged_store_is_reported_with_its_file) {
    std::ofstream(dir_ + "/user.db") << std::string(512, 'z');
    ExpectFailure({"query", "HKCU\\Software"}, dir_ + "/user.db");
    ExpectFailure({"add", "HKCU\\Software", "/v", "x", "/d", "y"}, "corrupt");
    EXPECT_EQ(ReadAll(dir_ + "/user.db"), std::string(512, 'z'));
}

TEST_F(sheetwisereg_test, absurdly_deep_trees_are_refused_not_crashed_on) {
    HKEY key = nullptr;
    ASSERT_EQ(
        RegCreateKeyExW(HKEY_CURRENT_USER, L"Deep", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
        ERROR_SUCCESS);
    {
        sw::registry::Transaction scope;
        for (int level = 0; level < 600; ++level) {
            HKEY next = nullptr;
            ASSERT_EQ(RegCreateKeyExW(key, L"d", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &next, nullptr),
                      ERROR_SUCCESS);
            RegCloseKey(key);
            key = next;
        }
        ASSERT_EQ(scope.Commit(), ERROR_SUCCESS);
    }
    RegCloseKey(key);
    ExpectFailure({"export", "HKCU\\Deep", dir_ + "/deep.reg"}, "nested more than 512");
    ExpectFailure({"delete", "HKCU\\Deep"}, "nested more than 512");
    EXPECT_EQ(Run({"query", "HKCU\\Deep"}).status, 0) << "nothing was deleted";
}

TEST(sheetwisereg_text_test, command_line_bytes_decode_as_utf8_or_windows_1252) {
    EXPECT_EQ(sw::regtool::Widen("Gr\xC3\xBCn"), L"Grün");
    EXPECT_EQ(sw::regtool::Widen("\x80 \xE9"), L"\u20AC \u00E9");  // not UTF-8: Windows-1252
    EXPECT_EQ(sw::regtool::Widen("\xC0\xAF"), L"\u00C0\u00AF");    // overlong form is not UTF-8
    EXPECT_EQ(sw::regtool::Narrow(L"\U0001F600"), "\xF0\x9F\x98\x80");
}

}  // namespace
