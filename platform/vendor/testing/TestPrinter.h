// The Sheetwise printer on a scheduler of the test's own (PrivateCupsd.h),
// with its settings, job and runtime folders in a temporary folder, and the
// session's programs (agent, monitor) run in the background with their
// output in files. Tests and benchmarks that follow a job from lp to the
// workbook use it; the machine's CUPS and folders are never touched.
#pragma once

#include <sys/types.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/spooler/testing/PrivateCupsd.h"

namespace sw::testing {

class TestPrinter {
public:
    static constexpr const char* kQueue = "Sheetwise_Print_Driver";

    // `root`: a fresh folder for everything; `settings`: the queue's printer
    // settings beyond its spool folder.
    TestPrinter(const std::string& root, const std::map<std::string, std::string>& settings);
    ~TestPrinter();
    TestPrinter(const TestPrinter&) = delete;
    TestPrinter& operator=(const TestPrinter&) = delete;

    // Why the printer cannot be used (cupsd missing or not running); empty when it can.
    const std::string& Failure() const { return failure_; }
    PrivateCupsd& Cupsd() { return *cupsd_; }
    const std::string& Root() const { return root_; }
    // The calling user's job folder.
    std::string JobFolder() const;

    // Prints with lp as the caller; the job id, -1 with lp's words in `output`.
    int Print(const std::string& lpArguments, std::string* output);

private:
    std::string root_;
    std::string failure_;
    std::unique_ptr<PrivateCupsd> cupsd_;
};

// A program run in the background, its standard output and error going to
// files. Destroying it ends it (SIGTERM, then SIGKILL) if it still runs.
class BackgroundProgram {
public:
    BackgroundProgram(const std::vector<std::string>& argv, const std::string& outFile,
                      const std::string& errFile);
    ~BackgroundProgram();
    BackgroundProgram(const BackgroundProgram&) = delete;
    BackgroundProgram& operator=(const BackgroundProgram&) = delete;

    pid_t Pid() const { return pid_; }
    // Its exit status once it has ended within `timeoutMs`; -1 otherwise.
    int Wait(int timeoutMs);
    void Signal(int signal) const;

private:
    pid_t pid_ = -1;
    int status_ = -1;
};

std::string ReadTextFile(const std::string& path);
// Waits until the file holds `text`; false after `timeoutMs`.
bool WaitForText(const std::string& path, const std::string& text, int timeoutMs);

}  // namespace sw::testing
