// A CUPS scheduler of a test's own: its configuration, spool, logs and
// socket in a temporary folder, the system's filters, and the backends the
// test gives it. The test process talks to it through CUPS_SERVER, which is
// set for as long as the scheduler runs; the machine's CUPS is never used.
//
// As root the scheduler runs filters as "lp" and a backend of mode 0700 as
// root, as an installed one would; the folders are made for that.
#pragma once

#include <sys/types.h>

#include <map>
#include <string>
#include <vector>

namespace sw::testing {

struct CupsdOptions {
    // Backends to install: file name in the scheduler -> program to copy.
    std::map<std::string, std::string> backends;
    // Environment for filters and backends (cupsd's SetEnv).
    std::map<std::string, std::string> environment;
};

class PrivateCupsd {
public:
    explicit PrivateCupsd(const CupsdOptions& options);
    ~PrivateCupsd();
    PrivateCupsd(const PrivateCupsd&) = delete;
    PrivateCupsd& operator=(const PrivateCupsd&) = delete;

    // Whether cupsd is installed at all; tests skip with this reason.
    static bool Available(std::string* reason);

    bool Running() const { return pid_ > 0; }
    // Why it is not running: its own messages.
    const std::string& Failure() const { return failure_; }
    const std::string& Root() const { return root_; }

    // A program that stops ("stop") or starts ("start") this scheduler, as
    // a service manager would; for code that controls the spooler service.
    std::string ServiceCommand() const { return root_ + "/spooler-service"; }

    // Runs a shell command against this scheduler; returns its exit status,
    // with its standard output and error in `output`.
    int Run(const std::string& command, std::string* output = nullptr) const;
    std::string ErrorLog() const;

    struct JobEnd {
        int state = 0;        // IPP job state; 0 when the job did not end in time
        std::string message;  // job-printer-state-message
    };
    // Waits for a job to reach a final state.
    JobEnd WaitForJob(int jobId, int timeoutSeconds) const;
    // The job id from lp's "request id is QUEUE-N" line; -1 when absent.
    static int JobIdFromLp(const std::string& lpOutput);
    // The queue's state (IPP printer-state) and whether it accepts jobs.
    bool QueueState(const std::string& queue, int* state, bool* accepting) const;

private:
    std::string root_;
    std::string failure_;
    pid_t pid_ = -1;
};

}  // namespace sw::testing
