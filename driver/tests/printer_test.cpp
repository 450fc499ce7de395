// Reports printed with lp to the virtual printer on a scheduler of the
// test's own, through the standard filters and the sheetwise backend, then
// converted by SheetwiseParser and read back with python3-xlrd: one workbook
// column per printed column, amounts and dates typed, and the job messages a
// monitor receives, in order.
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cups/cups.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <regex>
#include <set>
#include <sstream>

#include "lib/manager/KVDriverOptionsMgr.h"
#include "lib/options/KVDriverOptionsExcel.h"
#include "platform/spooler/testing/PrivateCupsd.h"
#include "platform/vendor/MessagePipe.h"
#include "platform/vendor/PrinterSettings.h"
#include "tests/support/WorkbookReader.h"

namespace fs = std::filesystem;
using sw::testing::PrivateCupsd;
using namespace sw::vendor;

namespace {

const std::string kBackend = SW_BINARY_DIR "/bin/cups-backend/sheetwise";
const std::string kParser = SW_BINARY_DIR "/bin/SheetwiseParser";
const std::string kPpd = SW_SOURCE_DIR "/driver/ppd/sheetwise.ppd";
const std::string kQueue = "Sheetwise_Print_Driver";

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::string GroupValue(const std::string& group, const std::string& key) {
    std::smatch m;
    const std::regex pattern("(^|\n)" + key + "=([^\n]*)");
    return std::regex_search(group, m, pattern) ? m[2].str() : "";
}

// The column keys a printer text file uses.
std::set<long> KeysOf(const std::string& text) {
    std::set<long> keys;
    static const std::regex header(R"(\[\[(-?[0-9]+),)");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), header); it != std::sregex_iterator();
         ++it) {
        keys.insert(std::stol((*it)[1].str()));
    }
    return keys;
}

// The text of the monospaced report every test prints in some way.
std::string SalesReport(int rows) {
    std::string text =
        "ACME TRADING - SALES REPORT                              Page 1\n"
        "Run date: 3/31/2005\n\n"
        "Customer  Name                Invoice   Date           Amount\n";
    const char* names[] = {"Acme Corp", "Bolt & Nut Ltd", "Cog Works", "Dyna (UK)", "Eagle Supply"};
    char line[128];
    for (int i = 0; i < rows; ++i) {
        std::snprintf(line, sizeof line, "C%04d     %-18s  %7d   %2d/%d/2005  %11s\n", 1001 + i, names[i % 5],
                      50234 + i, 1 + i % 12, 1 + i % 28,
                      (i % 3 == 0   ? "15,566.97"
                       : i % 3 == 1 ? "99.00"
                                    : "1,200.50"));
        text += line;
    }
    text +=
        "                                                        ---------\n"
        "Total                                                  123,456.78\n";
    return text;
}

struct Printed {
    int job = -1;
    PrivateCupsd::JobEnd end;
    std::vector<JobMessageRecord> messages;
    std::string group;  // the group file's content
    std::string groupPath;
    std::string text;  // the printer text file's content
};

class PrinterRun : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        std::string reason;
        if (!PrivateCupsd::Available(&reason)) {
            skip_ = reason;
            return;
        }
        root_ = fs::temp_directory_path() / ("printer_test_" + std::to_string(::getpid()));
        fs::remove_all(root_);
        for (const char* dir : {"printers", "run", "jobs"}) {
            fs::create_directories(root_ / dir);
        }
        // Job owners other than root must reach their folders.
        for (const fs::path& p : {root_, root_ / "printers", root_ / "run", root_ / "jobs"}) {
            ::chmod(p.c_str(), 0755);
        }
        ::setenv("SHEETWISE_PRINTER_DIR", (root_ / "printers").c_str(), 1);
        ::setenv("SHEETWISE_RUNTIME_ROOT", (root_ / "run").c_str(), 1);
        PrinterSettings settings = PrinterSettings::Load(kQueue);
        settings.Set("SpoolFolder", (root_ / "jobs").string());
        settings.Set("PipeName", "SheetwiseJobs");
        std::string error;
        ASSERT_TRUE(settings.Save(&error)) << error;
        cupsd_ = new PrivateCupsd({{{"sheetwise", kBackend}},
                                   {{"SHEETWISE_PRINTER_DIR", (root_ / "printers").string()},
                                    {"SHEETWISE_RUNTIME_ROOT", (root_ / "run").string()}}});
        ASSERT_TRUE(cupsd_->Running()) << cupsd_->Failure();
        std::string out;
        ASSERT_EQ(cupsd_->Run("lpadmin -p " + kQueue + " -D 'Sheetwise Print Driver' -v sheetwise:/ -P '" +
                                  kPpd + "' -E",
                              &out),
                  0)
            << out;
    }
    static void TearDownTestSuite() {
        delete cupsd_;
        cupsd_ = nullptr;
        ::unsetenv("SHEETWISE_PRINTER_DIR");
        ::unsetenv("SHEETWISE_RUNTIME_ROOT");
        fs::remove_all(root_);
    }
    void SetUp() override {
        if (!skip_.empty()) {
            GTEST_SKIP() << skip_;
        }
        ASSERT_NE(cupsd_, nullptr);
        work_ = root_ / ::testing::UnitTest::GetInstance()->current_test_info()->name();
        fs::create_directories(work_ / "store");
        ::setenv("SHEETWISE_REGISTRY_DIR", (work_ / "store").c_str(), 1);
        ::unsetenv("DISPLAY");
        ::unsetenv("WAYLAND_DISPLAY");
    }
    void TearDown() override { ::unsetenv("SHEETWISE_REGISTRY_DIR"); }

    // Prints a file with lp as the caller and follows the job to its end.
    Printed Print(const std::string& lpArguments) {
        Printed p;
        std::string error;
        auto capture = JobMessageCapture::Start(L"SheetwiseJobs", &error);
        EXPECT_NE(capture, nullptr) << error;
        std::string out;
        EXPECT_EQ(cupsd_->Run("lp -d " + kQueue + " " + lpArguments, &out), 0) << out;
        p.job = PrivateCupsd::JobIdFromLp(out);
        EXPECT_GT(p.job, 0) << out;
        p.end = cupsd_->WaitForJob(p.job, 120);
        while (capture && capture->Wait(200)) {
            for (const auto& record : capture->Read()) {
                p.messages.push_back(record);
            }
        }
        const fs::path folder = root_ / "jobs" / ::getpwuid(::getuid())->pw_name;
        p.groupPath = (folder / ("job" + std::to_string(p.job) + ".grp")).string();
        p.group = ReadFile(p.groupPath);
        p.text = ReadFile(GroupValue(p.group, "TextFileName"));
        return p;
    }

    void AddProfile() {
        KVDriverOptionsMgr mgr;
        auto* profile = dynamic_cast<KVDriverOptionsExcel*>(
            mgr.CreateNewDriverOption(KVFileParserTypes::enFileParserExcel, L"Printed"));
        ASSERT_NE(profile, nullptr);
        profile->SetRemoveRowsWithSpace(TRUE);
        profile->SetRemoveColumnsWithSpace(TRUE);
        profile->SetDateFormat(KVDriverOptionsExcel::GetDateFormat_yyyy_mm_dd(), L"");
        profile->SetNumericFormat(L"#,##0.00");
        mgr.SaveSettings(nullptr);
    }

    // Converts the job's files; the workbook as xlrd reads it.
    WorkbookDump Convert(const Printed& p) {
        AddProfile();
        const std::string book = (work_ / "book.xls").string();
        const std::string command = "'" + kParser + "' -print '" + p.groupPath + "' -profile Printed -out '" +
                                    book + "' -batch 2>'" + (work_ / "parser.err").string() + "'";
        EXPECT_EQ(std::system(command.c_str()), 0) << ReadFile(work_ / "parser.err");
        return ReadWorkbook(book);
    }

    // Checks the messages of a finished job of `pages` pages, in order.
    static void ExpectMessages(const Printed& p, int pages, const std::wstring& document) {
        ASSERT_EQ(p.messages.size(), static_cast<std::size_t>(pages) + 2);
        EXPECT_EQ(p.messages.front().type, kJobStarted);
        for (int i = 1; i <= pages; ++i) {
            EXPECT_EQ(p.messages[static_cast<std::size_t>(i)].type, kPagePrinted);
        }
        EXPECT_EQ(p.messages.back().type, kJobEnded);
        for (const auto& m : p.messages) {
            EXPECT_EQ(RecordText(m.documentName), document);
            EXPECT_EQ(RecordText(m.printerName), L"Sheetwise Print Driver");
        }
        EXPECT_EQ(RecordText(p.messages.back().groupFileName),
                  std::wstring(p.groupPath.begin(), p.groupPath.end()));
    }

    // Columns of the workbook that hold a value, and checks that the cells
    // of a column are typed as `type` from row `from` on where they look so.
    static int FilledColumns(const WorkbookDump& book) {
        std::set<int> columns;
        for (const auto& [rc, cell] : book.cells) {
            if (!cell.value.empty()) {
                columns.insert(rc.second);
            }
        }
        return static_cast<int>(columns.size());
    }
    static void ExpectTyped(const WorkbookDump& book, const std::regex& looks, const std::string& type) {
        int seen = 0;
        for (const auto& [rc, cell] : book.cells) {
            if (cell.type == type) {
                ++seen;
            }
            if (cell.type == "text" && std::regex_match(cell.value, looks)) {
                ADD_FAILURE() << "cell " << rc.first << "," << rc.second << " \"" << cell.value
                              << "\" is not a " << type;
            }
        }
        EXPECT_GT(seen, 0) << "no " << type << " cells";
    }
    void Report(const char* name, std::size_t printed, int workbook) {
        std::printf("column keys: %s: %zu printed columns, %d workbook columns\n", name, printed, workbook);
        RecordProperty(
            name, std::to_string(printed) + " printed, " + std::to_string(workbook) + " in the workbook");
    }

    static inline PrivateCupsd* cupsd_ = nullptr;
    static inline fs::path root_;
    static inline std::string skip_;
    fs::path work_;
};

const std::regex kAmount(R"(-?[0-9]{1,3}(,[0-9]{3})*\.[0-9]{2})");
const std::regex kDate(R"([0-9]{1,2}/[0-9]{1,2}/[0-9]{4})");

}  // namespace

TEST_F(PrinterRun, plain_text_report_through_the_text_filter) {
    std::ofstream(work_ / "sales.txt") << SalesReport(20);
    const Printed p = Print("'" + (work_ / "sales.txt").string() + "'");
    ASSERT_EQ(p.end.state, IPP_JSTATE_COMPLETED) << p.end.message << cupsd_->ErrorLog();
    ExpectMessages(p, 1, L"sales.txt");
    EXPECT_EQ(GroupValue(p.group, "Document"), "sales.txt");
    EXPECT_EQ(GroupValue(p.group, "Pages"), "1");
    EXPECT_EQ(GroupValue(p.group, "Printer"), "Sheetwise Print Driver");
    // Text as printed, the characters the filter's font hides included.
    EXPECT_NE(p.text.find("]]Bolt & Nut Ltd["), std::string::npos) << p.text;
    EXPECT_NE(p.text.find("]]Dyna (UK)["), std::string::npos) << p.text;
    EXPECT_NE(p.text.find("]]Run date: 3/31/2005\n"), std::string::npos) << p.text;
    EXPECT_EQ(KeysOf(p.text).size(), 5U) << p.text;
    // Turned pages read the same as upright ones.
    const Printed turned = Print("-o landscape '" + (work_ / "sales.txt").string() + "'");
    EXPECT_EQ(turned.end.state, IPP_JSTATE_COMPLETED) << turned.end.message;
    EXPECT_EQ(turned.text, p.text);

    const WorkbookDump book = Convert(p);
    ASSERT_TRUE(book.ok) << book.error;
    Report("plain text (texttopdf)", 5, FilledColumns(book));
    EXPECT_EQ(FilledColumns(book), 5);
    ExpectTyped(book, kAmount, "number");
    ExpectTyped(book, kDate, "date");
}

TEST_F(PrinterRun, enscript_report_printed_as_a_pdf_file_over_pages) {
    std::ofstream(work_ / "sales.txt") << SalesReport(90);  // two pages at 66 lines
    ASSERT_EQ(
        std::system(
            ("cd '" + work_.string() +
             "' && enscript -q -B -f Courier10 -p sales.ps sales.txt && ps2pdf sales.ps sales-report.pdf")
                .c_str()),
        0);
    const Printed p = Print("'" + (work_ / "sales-report.pdf").string() + "'");
    ASSERT_EQ(p.end.state, IPP_JSTATE_COMPLETED) << p.end.message;
    // The title names the printed file; the document is the report, and its
    // files are a group file and a text file, never a PDF for the monitor.
    ExpectMessages(p, 2, L"sales-report");
    EXPECT_EQ(GroupValue(p.group, "Document"), "sales-report");
    // The page values read "Printing 2 of 2 pages" at the end.
    const PageValues values = ReadPageValues(::getuid(), kQueue);
    EXPECT_EQ(values.f, 2U);
    EXPECT_EQ(values.f + values.n - 1, 2U);
    EXPECT_EQ(KeysOf(p.text).size(), 5U) << p.text;

    const WorkbookDump book = Convert(p);
    ASSERT_TRUE(book.ok) << book.error;
    Report("enscript + ps2pdf, 2 pages", 5, FilledColumns(book));
    EXPECT_EQ(FilledColumns(book), 5);
    EXPECT_GE(book.LastDataRow(), 90);
    ExpectTyped(book, kAmount, "number");
    ExpectTyped(book, kDate, "date");
}

TEST_F(PrinterRun, groff_table_printed_as_postscript) {
    std::ofstream(work_ / "parts.t") << ".TS\n"
                                        "l l n l.\n"
                                        "Part\tSupplier\tValue\tReceived\n"
                                        "Gear wheel\tAcme Corp\t88.00\t1/12/2005\n"
                                        "Spring\tBolt & Nut\t1,200.50\t2/3/2005\n"
                                        "Hex bolt M8\tCog Works\t7.25\t12/30/2005\n"
                                        ".TE\n";
    ASSERT_EQ(std::system(("cd '" + work_.string() + "' && groff -t -Tps parts.t > parts.ps").c_str()), 0);
    const Printed p = Print("-t 'Parts list' '" + (work_ / "parts.ps").string() + "'");
    ASSERT_EQ(p.end.state, IPP_JSTATE_COMPLETED) << p.end.message;
    ExpectMessages(p, 1, L"Parts list");
    EXPECT_NE(p.text.find("]]Gear wheel["), std::string::npos) << p.text;
    EXPECT_EQ(KeysOf(p.text).size(), 4U) << p.text;

    const WorkbookDump book = Convert(p);
    ASSERT_TRUE(book.ok) << book.error;
    Report("groff table (PostScript)", 4, FilledColumns(book));
    EXPECT_EQ(FilledColumns(book), 4);
    ExpectTyped(book, std::regex(R"([0-9,]+\.[0-9]{2})"), "number");
    ExpectTyped(book, kDate, "date");
}

TEST_F(PrinterRun, office_pdf_with_proportional_fonts) {
    const std::string pdf = SW_SOURCE_DIR "/pdfunpack/tests/data/office-subset-fonts.pdf";
    const Printed p = Print("'" + pdf + "'");
    ASSERT_EQ(p.end.state, IPP_JSTATE_COMPLETED) << p.end.message;
    ExpectMessages(p, 1, L"office-subset-fonts");
    // Region, Units and Revenue; the sheet's name and page number stand
    // centred above and below them.
    EXPECT_NE(p.text.find("]]Revenue"), std::string::npos) << p.text;
    const WorkbookDump book = Convert(p);
    ASSERT_TRUE(book.ok) << book.error;
    Report("office PDF (3 columns, centred header and footer)", 3, FilledColumns(book));
    EXPECT_LE(FilledColumns(book), 4);
    ExpectTyped(book, std::regex(R"([0-9]+(\.[0-9]+)?)"), "number");
}

TEST_F(PrinterRun, a_job_without_text_fails_cleanly_and_the_queue_stays_enabled) {
    ASSERT_EQ(std::system(("gs -q -sDEVICE=pdfwrite -o '" + (work_ / "scan.pdf").string() +
                           "' -c '0.5 setgray 72 72 400 600 rectfill showpage'")
                              .c_str()),
              0);
    const Printed p = Print("'" + (work_ / "scan.pdf").string() + "'");
    EXPECT_EQ(p.end.state, IPP_JSTATE_CANCELED);
    EXPECT_NE(p.end.message.find("no text to convert"), std::string::npos) << p.end.message;
    ASSERT_EQ(p.messages.size(), 3U);
    EXPECT_EQ(p.messages[0].type, kJobStarted);
    EXPECT_EQ(p.messages[1].type, kPagePrinted);
    EXPECT_EQ(p.messages[2].type, kJobAborted);
    EXPECT_TRUE(p.group.empty());
    int state = 0;
    bool accepting = false;
    ASSERT_TRUE(cupsd_->QueueState(kQueue, &state, &accepting));
    EXPECT_NE(state, IPP_PSTATE_STOPPED);
    EXPECT_TRUE(accepting);
}

TEST_F(PrinterRun, files_of_another_owner_are_written_as_that_owner) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "only root can print as another user";
    }
    const passwd* nobody = ::getpwnam("nobody");
    ASSERT_NE(nobody, nullptr);
    std::ofstream(work_ / "short.txt") << SalesReport(2);
    std::string out;
    ASSERT_EQ(cupsd_->Run("lp -U nobody -d " + kQueue + " '" + (work_ / "short.txt").string() + "'", &out), 0)
        << out;
    const int job = PrivateCupsd::JobIdFromLp(out);
    ASSERT_EQ(cupsd_->WaitForJob(job, 60).state, IPP_JSTATE_COMPLETED);
    const fs::path folder = root_ / "jobs" / "nobody";
    struct stat st {};
    ASSERT_EQ(::stat(folder.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, nobody->pw_uid);
    EXPECT_EQ(st.st_mode & 0777, 0700U);
    ASSERT_EQ(::stat((folder / ("job" + std::to_string(job) + ".txt")).c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, nobody->pw_uid);
    EXPECT_EQ(st.st_mode & 0777, 0600U);
}
