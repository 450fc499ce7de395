// A temporary folder per test and the independent readers the writer tests
// read their files back with: python3 (xlrd, openpyxl), LibreOffice, gnumeric.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/WorkbookReader.h"

namespace calc::io::test {

namespace fs = std::filesystem;

inline const char* const kPython = "/usr/bin/python3";  // the distribution's, which has the reader modules

struct Output {
    int status = -1;
    std::string text;
};

inline Output RunCommand(const std::string& command) {
    Output out;
    std::FILE* p = ::popen((command + " 2>&1").c_str(), "r");
    if (!p) {
        return out;
    }
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) {
        out.text.append(buf, n);
    }
    int st = ::pclose(p);
    out.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return out;
}

inline std::string Quote(const std::string& s) {
    return "'" + s + "'";
}

inline bool HasLine(const std::string& text, const std::string& line) {
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);) {
        if (l == line) {
            return true;
        }
    }
    return false;
}

inline std::string ReadText(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

class WorkbookFiles : public ::testing::Test {
protected:
    void SetUp() override {
        std::string tmpl = (fs::temp_directory_path() / "calc-io-test-XXXXXX").string();
        ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
        dir_ = tmpl;
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    std::string path(const std::string& name) const { return (dir_ / name).string(); }

    // The reader's dump of a written file; skips the test when the reader is missing.
    std::string readBack(const std::string& kind, const std::string& file) {
        const WorkbookText read = DumpWorkbook(kind, file);
        if (read.status == 3 || read.status == 127) {
            skipReason_ = "the python3 reader for ." + kind + " is not installed: " + read.text;
        } else {
            EXPECT_EQ(read.status, 0) << read.text;
        }
        return read.text;
    }

    // LibreOffice's CSV of a workbook, each cell's text as it shows it (UTF-8,
    // every text quoted); "" when the conversion gave nothing.
    std::string libreOfficeCsv(const std::string& file) {
        // A profile of its own per run: a busy or half-written profile makes a
        // conversion silently do nothing.
        std::string profile =
            "file://" + (dir_ / ("lo-profile-" + fs::path(file).filename().string())).string();
        std::string outDir = (dir_ / "csv").string();
        std::string cmd = "timeout 300 soffice -env:UserInstallation=" + Quote(profile) +
                          " --headless --norestore --convert-to " +
                          Quote("csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,true") +
                          " --outdir " + Quote(outDir) + " " + Quote(file);
        Output out = RunCommand(cmd);
        fs::path csv = fs::path(outDir) / (fs::path(file).stem().string() + ".csv");
        EXPECT_TRUE(fs::exists(csv)) << cmd << "\n" << out.text;
        return ReadText(csv);
    }

    // gnumeric's CSV of a workbook's first sheet, values as stored.
    std::string gnumericCsv(const std::string& file) {
        const std::string csv = (dir_ / (fs::path(file).stem().string() + "-gnumeric.csv")).string();
        const std::string cmd = "timeout 300 ssconvert " + Quote(file) + " " + Quote(csv);
        Output out = RunCommand(cmd);
        EXPECT_EQ(out.status, 0) << cmd << "\n" << out.text;
        return ReadText(csv);
    }

    // Leaves only the named files in the folder: no temporary files behind.
    std::vector<std::string> files() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir_)) {
            names.push_back(e.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    fs::path dir_;
    std::string skipReason_;
};

#define SKIP_IF_NO_READER()          \
    if (!skipReason_.empty()) {      \
        GTEST_SKIP() << skipReason_; \
    }

// True when the command can be found; the tests that need it skip otherwise.
inline bool Installed(const std::string& command) {
    return RunCommand("command -v " + command).status == 0;
}

}  // namespace calc::io::test
