// The "sheetwise" CUPS backend: each job of a Sheetwise queue, as PDF,
// becomes the group file and printer text file of its owner.
//
//   sheetwise                                          device discovery
//   sheetwise job-id user title copies options [file]  one job (from cupsd)
#include <cups/backend.h>
#include <signal.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "driver/backend/JobRun.h"

namespace {

std::atomic<bool> g_stop{false};

void OnTerminate(int /*signal*/) {
    g_stop = true;
}

}  // namespace

int main(int argc, char** argv) {
    std::setbuf(stderr, nullptr);
    ::signal(SIGPIPE, SIG_IGN);
    if (argc == 1) {
        std::puts("direct sheetwise:/ \"Sheetwise Print Driver\" \"Sheetwise Print Driver\"");
        return CUPS_BACKEND_OK;
    }
    if (argc < 6 || argc > 7) {
        std::fprintf(stderr, "Usage: %s job-id user title copies options [file]\n", argv[0]);
        return CUPS_BACKEND_FAILED;
    }
    const char* queue = std::getenv("PRINTER");
    if (queue == nullptr || *queue == '\0') {
        std::fputs("ERROR: no PRINTER in the environment; the backend runs under cupsd\n", stderr);
        return CUPS_BACKEND_FAILED;
    }
    struct sigaction action {};
    action.sa_handler = OnTerminate;
    ::sigaction(SIGTERM, &action, nullptr);

    sw::driver::BackendJob job;
    job.jobId = std::atoi(argv[1]);
    job.user = argv[2];
    job.title = argv[3];
    job.queue = queue;
    job.inputFile = argc == 7 ? argv[6] : "";
    return sw::driver::RunJob(job, g_stop);
}
