#include "platform/vendor/agent/AgentLog.h"

#include <sys/stat.h>

#include <cstdlib>

namespace sw::agent {

namespace {

// systemd names the journal's stream in JOURNAL_STREAM as "device:inode".
bool IsJournalStream(std::FILE* out) {
    const char* stream = std::getenv("JOURNAL_STREAM");
    struct stat st {};
    if (stream == nullptr || ::fstat(::fileno(out), &st) != 0) {
        return false;
    }
    return std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino) == stream;
}

}  // namespace

AgentLog::AgentLog(std::FILE* out) : out_(out), journal_(IsJournalStream(out)) {}

void AgentLog::Write(LogLevel level, const std::string& line) {
    std::string text = line;
    for (char& c : text) {
        if (c == '\n' || c == '\r') {
            c = ' ';
        }
    }
    // The journal keeps the priority apart from the text; elsewhere the
    // line is the same text alone.
    if (journal_) {
        std::fprintf(out_, "<%d>%s\n", static_cast<int>(level), text.c_str());
    } else {
        std::fprintf(out_, "%s\n", text.c_str());
    }
    std::fflush(out_);
}

}  // namespace sw::agent
