#include "driver/backend/JobRun.h"

#include <cups/backend.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "driver/backend/JobFiles.h"
#include "driver/backend/JobOwner.h"
#include "driver/layout/PrinterText.h"
#include "driver/layout/PrinterTextSpool.h"
#include "driver/layout/TextLayout.h"
#include "driver/pdf/PdfPageReader.h"
#include "platform/base/TextCodec.h"
#include "platform/spooler/PrinterNames.h"
#include "platform/vendor/AgentLink.h"
#include "platform/vendor/JobMessage.h"
#include "platform/vendor/MessagePipe.h"
#include "platform/vendor/PrinterSettings.h"
#include "platform/vendor/VendorPaths.h"

namespace sw::driver {

namespace {

// What one job may hold before its files are written: runs in memory
// (a few bytes each for the column keys) and spooled text on disk.
constexpr std::size_t kMaxJobRuns = 20'000'000;
constexpr std::uint64_t kMaxJobTextBytes = std::uint64_t{4} << 30;

std::size_t DistinctKeys(std::vector<std::int64_t> keys) {
    std::sort(keys.begin(), keys.end());
    return static_cast<std::size_t>(std::unique(keys.begin(), keys.end()) - keys.begin());
}

using Clock = std::chrono::steady_clock;

long Ms(Clock::time_point from, Clock::time_point to) {
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(to - from).count());
}

// cupsd reads one message a line; a message never spans lines.
void Say(const char* level, const std::string& text) {
    std::string line = text;
    for (char& c : line) {
        if (c == '\n' || c == '\r') {
            c = ' ';
        }
    }
    std::fprintf(stderr, "%s: %s\n", level, line.c_str());
}

// The job's data as an open file: the file cupsd named, or standard input
// copied into an unlinked temporary file (at most `maxBytes`).
int OpenInput(const std::string& path, std::size_t maxBytes, const std::atomic<bool>& stop,
              std::string* error) {
    if (!path.empty()) {
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            *error = "cannot open the job's file " + path + ": " + std::strerror(errno);
        }
        return fd;
    }
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/sheetwise-XXXXXX";
    const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0) {
        *error = "cannot store the job: " + std::string(std::strerror(errno));
        return -1;
    }
    ::unlink(pattern.c_str());
    std::vector<char> buffer(1 << 16);
    std::size_t total = 0;
    for (;;) {
        const ssize_t n = ::read(STDIN_FILENO, buffer.data(), buffer.size());
        if (stop) {
            *error = "the job was cancelled";
            ::close(fd);
            return -1;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            *error = "cannot read the job: " + std::string(std::strerror(errno));
            ::close(fd);
            return -1;
        }
        if (n == 0) {
            break;
        }
        total += static_cast<std::size_t>(n);
        if (total > maxBytes) {
            *error =
                "the job is larger than the " + std::to_string(maxBytes >> 20) + " MB the printer accepts";
            ::close(fd);
            return -1;
        }
        if (::write(fd, buffer.data(), static_cast<std::size_t>(n)) != n) {
            *error = "cannot store the job: " + std::string(std::strerror(errno));
            ::close(fd);
            return -1;
        }
    }
    return fd;
}

// Messages and page values for a monitor in the owner's session, when the
// owner has one; without it both are skipped.
class Progress {
public:
    Progress(const BackendJob& job, const JobOwner& owner, const vendor::PrinterSettings& settings)
        : owner_(owner), queue_(job.queue) {
        std::string why;
        session_ = vendor::EnsureRuntimeFolder(owner.uid, &why);
        if (!session_) {
            Say("DEBUG", "no job messages: " + why);
            return;
        }
        poster_ = std::make_unique<vendor::JobMessagePoster>(owner.uid, settings.PipeName(),
                                                             settings.ListenerWaitMs());
        // The owner's session agent starts a monitor for the job while the
        // PDF is opened; the first message waits for it to listen.
        const vendor::AgentJob announced{job.jobId, job.queue, spooler::DocumentNameOfJob(job.title),
                                         owner.name};
        handOff_ = vendor::AgentHandOff::Announce(owner.uid, announced, &why);
        if (!handOff_) {
            Say("DEBUG", why);
        }
        agentWaitMs_ = settings.AgentWaitMs();
    }
    void Values(std::uint32_t n, std::uint32_t f) {
        values_ = {n, f};
        std::string why;
        if (session_ && !vendor::WritePageValues(owner_.uid, queue_, {n, f}, &why)) {
            Say("DEBUG", why);
        }
    }
    void Post(std::uint32_t type, const std::wstring& document, const std::wstring& groupFile,
              const std::wstring& printer) {
        if (handOff_ && !askedAgent_) {
            askedAgent_ = true;
            std::string answer;
            const auto asked = Clock::now();
            const bool ready = handOff_->WaitReady(agentWaitMs_, &answer);
            agentMs_ = Ms(asked, Clock::now());
            Say("DEBUG", std::string("session agent: ") + (ready ? "ready, " : "") + answer);
        }
        if (poster_ && !poster_->Post(vendor::MakeJobMessage(type, document, groupFile, printer), values_) &&
            !toldNoListener_) {
            Say("DEBUG", "no listener on " + poster_->Path());
            toldNoListener_ = true;
        }
    }

    // Time the job waited for the session agent's monitor to listen.
    long AgentMs() const { return agentMs_; }

private:
    JobOwner owner_;
    std::string queue_;
    bool session_ = false;
    bool toldNoListener_ = false;
    bool askedAgent_ = false;
    vendor::PageValues values_;
    long agentWaitMs_ = 0;
    long agentMs_ = 0;
    std::unique_ptr<vendor::JobMessagePoster> poster_;
    // Held until the job ends: the agent sees the driver go.
    std::unique_ptr<vendor::AgentHandOff> handOff_;
};

}  // namespace

int RunJob(const BackendJob& job, const std::atomic<bool>& stop) {
    const auto started = Clock::now();
    const auto startedWall = std::chrono::system_clock::now();
    std::string error;
    const vendor::PrinterSettings settings = vendor::PrinterSettings::Load(job.queue, &error);
    if (!error.empty()) {
        Say("WARNING", error + "; using the default settings");
    }
    const std::wstring printer = spooler::PrinterNameOfQueue(job.queue);
    const std::wstring document = spooler::DocumentNameOfJob(job.title);
    const std::string documentText = base::ToUtf8(document);

    // Everything that needs root comes first: the job's data, the owner's folder.
    JobOwner owner;
    if (!FindOwner(job.user, owner, &error)) {
        Say("ERROR", error);
        return CUPS_BACKEND_CANCEL;
    }
    std::string folder;
    if (!EnsureJobFolder(settings.SpoolFolder(), owner, &folder, &error)) {
        Say("ERROR", error);
        return CUPS_BACKEND_FAILED;
    }
    const int input =
        OpenInput(job.inputFile, static_cast<std::size_t>(settings.MaxJobMB()) << 20, stop, &error);
    const auto received = Clock::now();  // on standard input the whole filter chain has run by now
    if (input < 0) {
        Say("ERROR", error);
        return CUPS_BACKEND_CANCEL;
    }
    if (!BecomeOwner(owner, &error)) {
        Say("ERROR", error);
        ::close(input);
        return CUPS_BACKEND_FAILED;
    }

    Progress progress(job, owner, settings);
    const std::wstring noGroupFile;
    auto abort = [&](const std::string& why, int status) {
        Say("ERROR", documentText + ": " + why);
        progress.Values(0, 0);
        progress.Post(vendor::kJobAborted, document, noGroupFile, printer);
        return status;
    };

    ReadLimits limits;
    limits.openSeconds = static_cast<int>(settings.OpenSeconds());
    limits.pageSeconds = static_cast<int>(settings.PageSeconds());
    limits.memoryBytes = static_cast<std::size_t>(settings.MemoryLimitMB()) << 20;
    PdfPageReader reader(&stop);
    const bool opened = reader.Open(input, limits, &error);
    ::close(input);
    const auto n = static_cast<std::uint32_t>(opened ? reader.PageCount() : 0);
    progress.Values(n, 1);
    progress.Post(vendor::kJobStarted, document, noGroupFile, printer);
    if (!opened) {
        return abort(error, CUPS_BACKEND_CANCEL);
    }

    // Each page's text goes to a spool as it is read; only the runs' boxes
    // stay in memory for the column keys.
    const double unitsPerPoint = static_cast<double>(settings.Resolution()) / 72.0;
    PrinterTextSpool spool;
    if (!spool.Open(folder, &error)) {
        return abort(error, CUPS_BACKEND_FAILED);
    }
    for (std::uint32_t k = 1; k <= n; ++k) {
        PageWords words;
        if (!reader.NextPage(words, &error)) {
            return abort(error, CUPS_BACKEND_CANCEL);
        }
        if (!spool.AddPage(LayOutPage(words), unitsPerPoint, &error)) {
            return abort(error, CUPS_BACKEND_FAILED);
        }
        if (spool.Boxes().size() > kMaxJobRuns || spool.Bytes() > kMaxJobTextBytes) {
            return abort("the job holds more text than the printer can keep (" + std::to_string(kMaxJobRuns) +
                             " runs, " + std::to_string(kMaxJobTextBytes >> 20) + " MB)",
                         CUPS_BACKEND_CANCEL);
        }
        progress.Values(n - k + 1, k);
        progress.Post(vendor::kPagePrinted, document, noGroupFile, printer);
        Say("INFO", "Printing page " + std::to_string(k) + " of " + std::to_string(n));
    }
    const auto read = Clock::now();
    const std::size_t runs = spool.Boxes().size();
    if (runs == 0) {
        return abort("the job holds no text to convert (a scanned image or an empty page?)",
                     CUPS_BACKEND_CANCEL);
    }

    const std::vector<std::int64_t> keys = ColumnKeysOf(spool.Boxes(), unitsPerPoint);
    const auto laidOut = Clock::now();

    GroupFileFields fields;
    fields.jobId = job.jobId;
    fields.printer = base::ToUtf8(printer);
    fields.document = documentText;
    fields.user = owner.name;
    fields.pages = static_cast<int>(n);
    JobFilePaths paths;
    std::size_t lines = 0;
    const bool written = WriteJobFiles(
        folder, fields, [&](std::ostream& out) { return spool.Write(out, keys, &lines, &error); }, paths,
        &error);
    if (!written) {
        return abort(error, CUPS_BACKEND_FAILED);
    }
    const auto done = Clock::now();
    progress.Values(1, n);
    progress.Post(vendor::kJobEnded, document, base::FromUtf8OrCp1252(paths.groupFile), printer);

    rusage usage{};
    ::getrusage(RUSAGE_CHILDREN, &usage);
    const long childKb = usage.ru_maxrss;
    ::getrusage(RUSAGE_SELF, &usage);
    const double epoch = std::chrono::duration<double>(startedWall.time_since_epoch()).count();
    char timing[512];
    std::snprintf(
        timing, sizeof timing,
        "sheetwise timing: start=%.3f input_ms=%ld read_ms=%ld layout_ms=%ld write_ms=%ld total_ms=%ld "
        "pages=%u lines=%zu runs=%zu columns=%zu rss_kb=%ld reader_rss_kb=%ld agent_ms=%ld",
        epoch, Ms(started, received), Ms(received, read), Ms(read, laidOut), Ms(laidOut, done),
        Ms(started, done), n, lines, runs, DistinctKeys(keys), usage.ru_maxrss, childKb, progress.AgentMs());
    Say("DEBUG", timing);
    Say("INFO", "Wrote " + paths.groupFile);
    return CUPS_BACKEND_OK;
}

}  // namespace sw::driver
