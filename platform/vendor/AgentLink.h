// The hand-off of a printed job from the driver to the session agent of the
// job's owner (the vendor driver's "start application" role).
//
// The agent listens on a stream socket, RUNTIME/UID/sheetwise/agent (see
// VendorPaths.h), in the owner's private runtime folder. The driver, running
// as the owner, announces each job there as it starts; the agent starts the
// monitor program for it and answers once the monitor listens on the job's
// message pipe, so the job's first message is not lost. A desktop session's
// start-up tells an agent that already runs about its display the same way.
//
// The exchange is lines of UTF-8 text whose fields are separated by tabs:
//
//   driver  -> agent    JOB  job-id  queue  document  user
//   agent   -> driver   READY  how           a listener is on the pipe
//                       NONE   reason        nobody will listen
//   desktop -> agent    SESSION  NAME=VALUE ...
//   agent   -> desktop  OK
#pragma once

#include <sys/types.h>

#include <map>
#include <memory>
#include <string>

namespace sw::vendor {

// Longest line either side accepts.
inline constexpr std::size_t kAgentLineLimit = 64 * 1024;

std::string AgentSocketPath(uid_t uid);

struct AgentJob {
    int jobId = 0;
    std::string queue;
    std::wstring document;
    std::string user;
};

// One line, ending in "\n"; tabs and line breaks inside a field become blanks.
std::string EncodeAgentJob(const AgentJob& job);
std::string EncodeAgentSession(const std::map<std::string, std::string>& environment);
// A line without its "\n". False when it is not that kind of line.
bool DecodeAgentJob(const std::string& line, AgentJob* job);
bool DecodeAgentSession(const std::string& line, std::map<std::string, std::string>* environment);

// A connection to the agent of `uid`: only to a socket that user owns and a
// process of that user. Never blocks: with no agent listening it fails at
// once. -1 with the reason in `error` otherwise.
int ConnectToAgent(uid_t uid, std::string* error);

// Reads one line from `fd` within `timeoutMs`; false on time-out, end or a
// line past kAgentLineLimit.
bool ReadAgentLine(int fd, long timeoutMs, std::string* line);

// The driver's side of one job's hand-off. The connection stays open for as
// long as the object lives, so the agent knows when the driver has gone.
class AgentHandOff {
public:
    // Announces the job to the owner's agent; null, with the reason in
    // `error`, when no agent listens.
    static std::unique_ptr<AgentHandOff> Announce(uid_t uid, const AgentJob& job, std::string* error);
    ~AgentHandOff();
    AgentHandOff(const AgentHandOff&) = delete;
    AgentHandOff& operator=(const AgentHandOff&) = delete;

    // Waits up to `timeoutMs` for the agent's answer. True when a listener
    // is ready; `answer` holds the agent's words either way.
    bool WaitReady(long timeoutMs, std::string* answer);

private:
    explicit AgentHandOff(int fd) : fd_(fd) {}
    int fd_;
};

}  // namespace sw::vendor
