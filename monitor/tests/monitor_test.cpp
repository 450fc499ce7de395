// The monitor's model fed by recorded message sequences, the converter's
// command line and the naming of unattended workbooks.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <utility>
#include <vector>

#include "monitor/app/KVParserLauncher.h"
#include "monitor/progress/KVJobProgress.h"
#include "monitor/unattended/KVUnattendedJob.h"

namespace fs = std::filesystem;
using namespace sw::vendor;

namespace {

// The printer as a recorded job reports it: page values per message, and the
// deletions asked for.
class RecordedPrinter : public KVJobProgress::Printer {
public:
    std::vector<PageValues> values;  // one per message, in order; the last repeats
    std::vector<std::pair<std::wstring, std::wstring>> deleted;

    PageValues GetCurrentSettings(const std::wstring& /*printerName*/) override {
        const PageValues v = values.empty() ? PageValues{} : values.front();
        if (values.size() > 1) {
            values.erase(values.begin());
        }
        return v;
    }
    void DeleteQueuedJob(const std::wstring& document, const std::wstring& printer) override {
        deleted.emplace_back(document, printer);
    }
};

JobMessageRecord Message(std::uint32_t type, const std::wstring& document, const std::wstring& group = L"") {
    return MakeJobMessage(type, document, group, L"Sheetwise Print Driver");
}

// The statuses shown while a sequence is fed, each change once.
std::vector<std::wstring> Feed(KVJobProgress& progress, const std::vector<JobMessageRecord>& records) {
    std::vector<std::wstring> shown{progress.GetShownStatus()};
    for (const auto& record : records) {
        const unsigned before = progress.GetShowCount();
        progress.OnJobMessage(record);
        if (progress.GetShowCount() != before && progress.GetShownStatus() != shown.back()) {
            shown.push_back(progress.GetShownStatus());
        }
    }
    return shown;
}

}  // namespace

TEST(monitor_test, follows_one_job_through_its_pages_and_ignores_others) {
    RecordedPrinter printer;
    printer.values = {{3, 1}, {3, 1}, {2, 2}, {2, 2}, {1, 3}, {1, 3}};
    KVJobProgress progress(printer);
    const auto shown =
        Feed(progress,
             {Message(kJobStarted, L"Sales"), Message(kPagePrinted, L"SALES"),  // names compare without case
              Message(kPagePrinted, L"Other report"), Message(kPagePrinted, L"Sales"),
              Message(kJobEnded, L"Other report", L"/spool/u/job8.grp"),
              Message(kJobAborted, L"Other report"), Message(kPagePrinted, L"Sales"), Message(9, L"Sales")});
    EXPECT_EQ(shown, (std::vector<std::wstring>{L"Waiting for print driver...", L"Initializing print job.",
                                                L"Printing 1 of 3 pages", L"Printing 2 of 3 pages",
                                                L"Printing 3 of 3 pages"}));
    EXPECT_EQ(progress.GetBar().pos, 99);  // three steps of 100 div 3
    EXPECT_FALSE(progress.IsFinished());

    progress.OnJobMessage(Message(kJobEnded, L"Sales", L"/spool/u/job7.grp"));
    EXPECT_TRUE(progress.IsFinished());
    EXPECT_FALSE(progress.IsCancelled());
    EXPECT_EQ(progress.GetShownStatus(), L"Printing 3 of 3 pages");
    EXPECT_EQ(progress.GetDocumentName(), L"Sales");
    // The driver names the group file when the job has ended.
    EXPECT_EQ(progress.GetGroupFileName(), L"/spool/u/job7.grp");
    EXPECT_EQ(progress.GetPrinterName(), L"Sheetwise Print Driver");
    EXPECT_TRUE(printer.deleted.empty());
}

TEST(monitor_test, page_values_edge_cases) {
    // N = 0: the step stays as it was and the text shows F and F - 1.
    RecordedPrinter none;
    none.values = {{0, 5}};
    KVJobProgress zero(none);
    Feed(zero, {Message(kJobStarted, L"A"), Message(kPagePrinted, L"A")});
    EXPECT_EQ(zero.GetStatus(), L"Printing 5 of 4 pages");
    EXPECT_EQ(zero.GetBar().pos, 10);

    // Past 100 pages a 0..100 bar would never move: it counts pages.
    RecordedPrinter longJob;
    longJob.values = {{250, 1}, {250, 1}, {249, 2}};
    KVJobProgress pages(longJob);
    Feed(pages, {Message(kJobStarted, L"Ledger"), Message(kPagePrinted, L"Ledger"),
                 Message(kPagePrinted, L"Ledger")});
    EXPECT_EQ(pages.GetBar().upper, 250);
    EXPECT_EQ(pages.GetBar().pos, 2);
    EXPECT_EQ(pages.GetStatus(), L"Printing 2 of 250 pages");
}

TEST(monitor_test, a_second_job_started_replaces_the_first) {
    RecordedPrinter printer;
    printer.values = {{2, 1}};
    KVJobProgress progress(printer);
    Feed(progress, {Message(kJobStarted, L"First", L"/a.grp"), Message(kJobStarted, L"Second", L"/b.grp"),
                    Message(kJobEnded, L"First", L"/a.grp")});
    EXPECT_FALSE(progress.IsFinished());
    EXPECT_EQ(progress.GetCurrentJob(), L"Second");
    progress.OnJobMessage(Message(kJobEnded, L"Second"));
    EXPECT_TRUE(progress.IsFinished());
    // No group file in the end message: the one of the start stands.
    EXPECT_EQ(progress.GetGroupFileName(), L"/b.grp");
}

TEST(monitor_test, messages_after_the_end_delete_their_job_and_change_nothing) {
    RecordedPrinter printer;
    printer.values = {{1, 1}};
    KVJobProgress progress(printer);
    Feed(progress, {Message(kJobStarted, L"Sales", L"/s.grp"), Message(kJobEnded, L"Sales", L"/s.grp"),
                    Message(kPagePrinted, L"Sales"), Message(kJobStarted, L"Next")});
    ASSERT_EQ(printer.deleted.size(), 2U);
    EXPECT_EQ(printer.deleted[0],
              std::make_pair(std::wstring(L"Sales"), std::wstring(L"Sheetwise Print Driver")));
    EXPECT_EQ(printer.deleted[1].first, L"Next");
    EXPECT_EQ(progress.GetDocumentName(), L"Sales");
    EXPECT_FALSE(progress.IsCancelled());
}

TEST(monitor_test, cancel_close_quit_and_abort_end_without_a_job_to_convert) {
    RecordedPrinter printer;
    KVJobProgress cancelled(printer);
    cancelled.OnJobMessage(Message(kJobStarted, L"A"));
    cancelled.OnCancel();
    EXPECT_TRUE(cancelled.IsFinished() && cancelled.IsCancelled() && !cancelled.WasAborted());

    KVJobProgress closed(printer);
    closed.OnClose();  // closing is pressing Cancel
    EXPECT_TRUE(closed.IsFinished() && closed.IsCancelled());

    KVJobProgress quit(printer);
    quit.OnQuit();
    EXPECT_TRUE(quit.IsFinished() && quit.IsCancelled());

    KVJobProgress aborted(printer);
    Feed(aborted, {Message(kJobStarted, L"A"), Message(kJobAborted, L"a")});
    EXPECT_TRUE(aborted.IsFinished() && aborted.IsCancelled() && aborted.WasAborted());
    EXPECT_EQ(aborted.GetShownStatus(), L"Initializing print job.");
}

TEST(monitor_test, converter_command_line) {
    EXPECT_EQ(kvmonitor::ParserParameters(L"report.pdf", L"/s/job1.grp"), L"-pdf \"report.pdf\"");
    EXPECT_EQ(kvmonitor::ParserParameters(L"Q.PDF", L"/s/job1.grp"), L"-pdf \"Q.PDF\"");
    // Four characters are not a PDF job's name.
    EXPECT_EQ(kvmonitor::ParserParameters(L".pdf", L"/s/job2.grp"), L"-print \"/s/job2.grp\"");
    EXPECT_EQ(kvmonitor::ParserParameters(L"report", L"/s/job 3.grp"), L"-print \"/s/job 3.grp\"");
}

TEST(monitor_test, unattended_workbooks_never_replace_one_another) {
    EXPECT_EQ(kvmonitor::WorkbookFileName(L"Q3/Q4 sales"), L"Q3_Q4 sales.xls");
    EXPECT_EQ(kvmonitor::WorkbookFileName(L"../.."), L"_...xls");
    EXPECT_EQ(kvmonitor::WorkbookFileName(L"  "), L"untitled.xls");
    EXPECT_EQ(kvmonitor::WorkbookFileName(L".hidden"), L"hidden.xls");

    const fs::path dir = fs::temp_directory_path() / ("monitor_test_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    std::ofstream(dir / "Sales.xls") << "kept";
    std::string error;
    const std::wstring second = kvmonitor::ReserveWorkbook(dir.wstring(), L"Sales", &error);
    const std::wstring third = kvmonitor::ReserveWorkbook(dir.wstring() + L"/", L"Sales", &error);
    EXPECT_EQ(second, (dir / "Sales (2).xls").wstring());
    EXPECT_EQ(third, (dir / "Sales (3).xls").wstring());
    std::ifstream kept(dir / "Sales.xls");
    std::string text;
    kept >> text;
    EXPECT_EQ(text, "kept");
    EXPECT_TRUE(kvmonitor::ReserveWorkbook((dir / "missing").wstring(), L"Sales", &error).empty());
    EXPECT_NE(error.find("missing"), std::string::npos) << error;
    fs::remove_all(dir);
}
