// The session agent: in the user's session, it receives each job the driver
// announces (AgentLink.h) and starts the program of the printer's driver
// settings (the installer's parameter 307, the print monitor) for it, with
// the session's environment. With a desktop the monitor shows the job to the
// user; without one it is started with -unattended and converts the job by
// itself, and the agent logs the outcome, one line per job.
//
// Jobs of one message pipe are followed one at a time: the next monitor
// starts once the previous one has let go of the pipe. A monitor that does
// not listen in time, or that still waits after its driver has gone, is
// stopped, so no job holds the pipe for ever.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "platform/vendor/agent/AgentLog.h"
#include "platform/vendor/agent/SessionEnvironment.h"

namespace sw::agent {

struct AgentOptions {
    enum class Mode { Auto, Desktop, Unattended };
    // Auto: a desktop while the session has a live display.
    Mode mode = Mode::Auto;
    // A started monitor that does not listen within this is stopped.
    long startLimitMs = 10000;
    // A monitor still listening this long after its driver went is stopped.
    long goneGraceMs = 5000;
};

class SessionAgent {
public:
    SessionAgent(AgentOptions options, SessionEnvironment environment, AgentLog& log);
    ~SessionAgent();
    SessionAgent(const SessionAgent&) = delete;
    SessionAgent& operator=(const SessionAgent&) = delete;

    // Takes this user's agent socket. False with the reason in `error`;
    // `running` tells that another agent already serves the user.
    bool Listen(std::string* error, bool* running);

    // Serves jobs until SIGTERM, SIGINT or SIGHUP; the exit status.
    int Run();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Tells the agent that serves this user about a desktop session (its
// display variables). False with the reason when none answers.
bool RegisterDesktop(const std::map<std::string, std::string>& desktop, std::string* error);

}  // namespace sw::agent
