// One job through the driver: its PDF read page by page, laid out, and
// written as the owner's group file and printer text file, with the job
// messages and page values a monitor follows. Speaks CUPS's backend
// contract: messages on standard error, the exit status says what cupsd
// should do.
#pragma once

#include <atomic>
#include <string>

namespace sw::driver {

struct BackendJob {
    int jobId = 0;
    std::string user;
    std::string title;
    std::string queue;
    std::string inputFile;  // empty: the job comes on standard input
};

// Returns a CUPS_BACKEND_* status.
int RunJob(const BackendJob& job, const std::atomic<bool>& stop);

}  // namespace sw::driver
