// Prints a long report with lp to the virtual printer on a scheduler of its
// own, with the session agent running unattended, and reports where the time
// goes from lp to the saved workbook, per run and as medians (ms):
//   filters  from lp's submission until the backend has the whole PDF
//   backend  the backend reading, laying out and writing the job's files,
//            less the time its first message waited for the monitor
//   monitor  the session agent and the monitor: that wait, and from the
//            backend's end until the converter starts (the job's last
//            messages, the profile chosen by its report identifier)
//   parser   the converter, from its start until the workbook is saved
//   total    from lp's submission until the agent logs the workbook
//
//   bench_monitor [pages=200] [runs=5]
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "bench/support/PrintedReport.h"
#include "lib/manager/KVDriverOptionsMgr.h"
#include "lib/options/KVDriverOptionsExcel.h"
#include "platform/vendor/testing/TestPrinter.h"

namespace fs = std::filesystem;
using sw::bench::Median;
using sw::bench::Now;
using sw::bench::WriteReport;
using sw::testing::BackgroundProgram;
using sw::testing::ReadTextFile;
using sw::testing::TestPrinter;

namespace {

// When each awaited text first appeared in the log, polled every 2 ms.
std::vector<double> WatchLog(const std::string& log, const std::vector<std::string>& texts,
                             int timeoutSeconds) {
    std::vector<double> seen(texts.size(), 0);
    const double deadline = Now() + timeoutSeconds;
    while (Now() < deadline && seen.back() == 0) {
        const std::string content = ReadTextFile(log);
        const double now = Now();
        for (std::size_t i = 0; i < texts.size(); ++i) {
            if (seen[i] == 0 && content.find(texts[i]) != std::string::npos) {
                seen[i] = now;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return seen;
}

}  // namespace

int main(int argc, char** argv) {
    const int pages = argc > 1 ? std::atoi(argv[1]) : 200;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 5;
    const fs::path root = fs::temp_directory_path() / ("bench_monitor_" + std::to_string(::getpid()));
    int status = 0;
    {
        TestPrinter printer(root.string(), {{"PipeName", "SheetwiseJobs"},
                                            {"Parameter307", SW_BINARY_DIR "/bin/KVPrintMonitor"}});
        if (!printer.Failure().empty()) {
            std::fprintf(stderr, "bench_monitor: %s\n", printer.Failure().c_str());
            return 1;
        }
        fs::create_directories(root / "store");
        fs::create_directories(root / "out");
        ::setenv("SHEETWISE_REGISTRY_DIR", (root / "store").c_str(), 1);
        ::unsetenv("DISPLAY");
        ::unsetenv("WAYLAND_DISPLAY");
        {
            KVDriverOptionsMgr mgr;
            auto* profile = dynamic_cast<KVDriverOptionsExcel*>(
                mgr.CreateNewDriverOption(KVFileParserTypes::enFileParserExcel, L"Sales"));
            profile->SetReportIdentifier(L"ACME TRADING - SALES REPORT");
            profile->SetDefaultOutputFolder((root / "out").wstring().c_str());
            profile->SetRemoveRowsWithSpace(TRUE);
            profile->SetNumericFormat(L"#,##0.00");
            mgr.SaveSettings(nullptr);
        }
        const std::string log = (root / "agent.log").string();
        BackgroundProgram agent({SW_BINARY_DIR "/bin/SheetwiseAgent", "-mode", "unattended"},
                                (root / "agent.out").string(), log);
        WatchLog(log, {"serves print jobs"}, 10);
        const fs::path input = root / "report.txt";
        WriteReport(input, pages);

        std::map<std::string, std::vector<double>> times;
        std::printf("%d-page text report to a workbook, %d runs (ms):\n", pages, runs);
        std::printf("%5s %8s %8s %8s %8s %8s\n", "run", "filters", "backend", "monitor", "parser", "total");
        for (int r = 0; r < runs && status == 0; ++r) {
            std::string out;
            const double submitted = Now();
            const int job = printer.Print("-t 'Sales report' '" + input.string() + "'", &out);
            const std::string tag = "job " + std::to_string(job);
            const auto seen = WatchLog(log,
                                       {tag + ": KVPrintMonitor: converting with profile",
                                        tag + " \"Sales report\": converted with"},
                                       600);
            const auto end = printer.Cupsd().WaitForJob(job, 60);
            std::smatch m;
            const std::string cupsLog = printer.Cupsd().ErrorLog();
            const std::regex timing(
                "\\[Job " + std::to_string(job) +
                "\\] sheetwise timing: start=([0-9.]+) input_ms=([0-9]+) .* total_ms=([0-9]+) "
                ".* agent_ms=([0-9]+)");
            if (end.state != 9 || seen[1] == 0 || seen[0] == 0 || !std::regex_search(cupsLog, m, timing)) {
                std::fprintf(stderr, "bench_monitor: job %d did not reach a workbook (state %d)\n%s\n", job,
                             end.state, ReadTextFile(log).c_str());
                status = 1;
                break;
            }
            const double start = std::stod(m[1]);
            const double input_ms = std::stod(m[2]);
            const double total_ms = std::stod(m[3]);
            const double agent_ms = std::stod(m[4]);
            const double filters = (start - submitted) * 1000 + input_ms;
            const double backend = total_ms - input_ms - agent_ms;
            const double monitor = agent_ms + (seen[0] - (start + total_ms / 1000)) * 1000;
            const double parser = (seen[1] - seen[0]) * 1000;
            const double total = (seen[1] - submitted) * 1000;
            for (const auto& [name, value] : std::map<std::string, double>{{"filters", filters},
                                                                           {"backend", backend},
                                                                           {"monitor", monitor},
                                                                           {"parser", parser},
                                                                           {"total", total}}) {
                times[name].push_back(value);
            }
            std::printf("%5d %8.0f %8.0f %8.0f %8.0f %8.0f\n", r + 1, filters, backend, monitor, parser,
                        total);
        }
        if (status == 0) {
            std::printf("%5s %8.0f %8.0f %8.0f %8.0f %8.0f\n", "med", Median(times["filters"]),
                        Median(times["backend"]), Median(times["monitor"]), Median(times["parser"]),
                        Median(times["total"]));
            // The last workbook as an independent reader sees it.
            const std::string book = (root / "out" / "Sales report.xls").string();
            const std::string count =
                "/usr/bin/python3 -c 'import sys, xlrd; s = "
                "xlrd.open_workbook(sys.argv[1]).sheet_by_index(0); "
                "print(\"workbook: %d rows, %d columns\" % (s.nrows, s.ncols))' '" +
                book + "'";
            std::fflush(stdout);
            status = std::system(count.c_str()) == 0 ? 0 : 1;
        }
    }
    fs::remove_all(root);
    return status;
}
