// Prints a long report with lp to the virtual printer on a scheduler of its
// own and reports where the time goes, per run and as medians:
//   filters  from lp's submission until the backend has the whole PDF
//            (cups-filters: texttopdf or the PostScript path, then pdftopdf)
//   read     the backend reading the PDF's words page by page
//   layout   runs, lines and column keys for the whole job
//   write    the group file and the printer text file
//   total    from submission until the group file is in place
//
//   bench_printer [pages] [runs] [text|pdf]
#include <sys/stat.h>
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
#include "platform/spooler/testing/PrivateCupsd.h"

namespace fs = std::filesystem;
using sw::bench::Median;
using sw::bench::Now;
using sw::bench::WriteReport;

int main(int argc, char** argv) {
    const int pages = argc > 1 ? std::atoi(argv[1]) : 200;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 5;
    const std::string kind = argc > 3 ? argv[3] : "text";
    std::string reason;
    if (!sw::testing::PrivateCupsd::Available(&reason)) {
        std::fprintf(stderr, "bench_printer: %s\n", reason.c_str());
        return 1;
    }
    const fs::path root = fs::temp_directory_path() / ("bench_printer_" + std::to_string(::getpid()));
    fs::create_directories(root / "printers");
    fs::create_directories(root / "run");
    fs::create_directories(root / "jobs");
    for (const fs::path& p : {root, root / "printers", root / "run", root / "jobs"}) {
        ::chmod(p.c_str(), 0755);
    }
    std::ofstream(root / "printers" / "Sheetwise_Print_Driver.conf")
        << "SpoolFolder=" << (root / "jobs").string() << "\n";
    int status = 0;
    {
        sw::testing::PrivateCupsd cupsd({{{"sheetwise", SW_BINARY_DIR "/bin/cups-backend/sheetwise"}},
                                         {{"SHEETWISE_PRINTER_DIR", (root / "printers").string()},
                                          {"SHEETWISE_RUNTIME_ROOT", (root / "run").string()}}});
        if (!cupsd.Running()) {
            std::fprintf(stderr, "bench_printer: %s\n", cupsd.Failure().c_str());
            return 1;
        }
        cupsd.Run(
            "lpadmin -p Sheetwise_Print_Driver -D 'Sheetwise Print Driver' -v sheetwise:/ -P '" SW_SOURCE_DIR
            "/driver/ppd/sheetwise.ppd' -E");
        fs::path input = root / "report.txt";
        WriteReport(input, pages);
        if (kind == "pdf") {
            // The same report as a PDF file: only pdftopdf runs before the backend.
            const std::string make =
                "cd '" + root.string() +
                "' && enscript -q -B -f Courier10 -p report.ps report.txt && ps2pdf report.ps report.pdf";
            if (std::system(make.c_str()) != 0) {
                std::fprintf(stderr, "bench_printer: enscript or ps2pdf failed\n");
                return 1;
            }
            input = root / "report.pdf";
        }
        std::map<std::string, std::vector<double>> times;
        std::printf("%d-page %s report, %d runs (ms):\n", pages, kind.c_str(), runs);
        std::printf("%5s %8s %8s %8s %8s %8s %7s %8s %9s\n", "run", "filters", "read", "layout", "write",
                    "total", "pages", "columns", "rss_kb");
        for (int r = 0; r < runs; ++r) {
            std::string out;
            const double submitted = Now();
            cupsd.Run("lp -d Sheetwise_Print_Driver '" + input.string() + "'", &out);
            const int job = sw::testing::PrivateCupsd::JobIdFromLp(out);
            const fs::path group = root / "jobs" / "root" / ("job" + std::to_string(job) + ".grp");
            const auto end = cupsd.WaitForJob(job, 600);
            const double finished = Now();
            if (end.state != 9 /* completed */) {
                std::fprintf(stderr, "bench_printer: job %d ended in state %d: %s\n", job, end.state,
                             end.message.c_str());
                status = 1;
                break;
            }
            // The backend's own figures, from the scheduler's log.
            std::smatch m;
            const std::string log = cupsd.ErrorLog();
            const std::regex line(
                "\\[Job " + std::to_string(job) +
                "\\] sheetwise timing: start=([0-9.]+) input_ms=([0-9]+) read_ms=([0-9]+) "
                "layout_ms=([0-9]+) write_ms=([0-9]+) total_ms=([0-9]+) pages=([0-9]+) lines=[0-9]+ "
                "runs=[0-9]+ columns=([0-9]+) rss_kb=([0-9]+)");
            if (!std::regex_search(log, m, line)) {
                std::fprintf(stderr, "bench_printer: no timing line for job %d\n", job);
                status = 1;
                break;
            }
            const double filters = (std::stod(m[1]) + std::stod(m[2]) / 1000 - submitted) * 1000;
            const double total = (finished - submitted) * 1000;
            times["filters"].push_back(filters);
            times["read"].push_back(std::stod(m[3]));
            times["layout"].push_back(std::stod(m[4]));
            times["write"].push_back(std::stod(m[5]));
            times["total"].push_back(total);
            std::printf("%5d %8.0f %8s %8s %8s %8.0f %7s %8s %9s\n", r + 1, filters, m[3].str().c_str(),
                        m[4].str().c_str(), m[5].str().c_str(), total, m[7].str().c_str(), m[8].str().c_str(),
                        m[9].str().c_str());
            (void)group;
        }
        if (status == 0) {
            std::printf("%5s %8.0f %8.0f %8.0f %8.0f %8.0f\n", "med", Median(times["filters"]),
                        Median(times["read"]), Median(times["layout"]), Median(times["write"]),
                        Median(times["total"]));
        }
    }
    fs::remove_all(root);
    return status;
}
