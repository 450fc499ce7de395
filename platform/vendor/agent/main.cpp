// SheetwiseAgent: the session agent of the Sheetwise printer (SessionAgent.h).
//
//   SheetwiseAgent [-mode auto|desktop|unattended]
//
// Started by the desktop's autostart or as a systemd user unit. When an agent
// already serves the user, a second one tells it about its desktop session,
// if it has one, and ends.
#include <sys/prctl.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/vendor/agent/AgentLog.h"
#include "platform/vendor/agent/SessionAgent.h"
#include "platform/vendor/agent/SessionEnvironment.h"

namespace {

constexpr const char* kUsage = "usage: SheetwiseAgent [-mode auto|desktop|unattended]";

bool ParseMode(const std::string& word, sw::agent::AgentOptions::Mode* mode) {
    using Mode = sw::agent::AgentOptions::Mode;
    if (word == "auto") {
        *mode = Mode::Auto;
    } else if (word == "desktop") {
        *mode = Mode::Desktop;
    } else if (word == "unattended") {
        *mode = Mode::Unattended;
    } else {
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    sw::agent::AgentOptions options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if ((arg == "-mode" || arg == "--mode") && i + 1 < argc && ParseMode(argv[i + 1], &options.mode)) {
            ++i;
            continue;
        }
        std::fprintf(stderr, "SheetwiseAgent: cannot use \"%s\"\n%s\n", arg.c_str(), kUsage);
        return 2;
    }
    // A journal that restarts must not end the agent on its next line.
    ::signal(SIGPIPE, SIG_IGN);
    sw::agent::AgentLog log(stderr);
    sw::agent::SessionAgent agent(options, sw::agent::SessionEnvironment::FromProcess(), log);
    std::string error;
    bool running = false;
    if (!agent.Listen(&error, &running)) {
        if (!running) {
            log.Write(sw::agent::LogLevel::Error, "cannot serve print jobs: " + error);
            return 1;
        }
        const auto desktop = sw::agent::SessionEnvironment::DesktopVariablesOfProcess();
        if (desktop.empty()) {
            log.Write(sw::agent::LogLevel::Info, "an agent already serves this user");
            return 0;
        }
        if (!sw::agent::RegisterDesktop(desktop, &error)) {
            log.Write(sw::agent::LogLevel::Error,
                      "cannot tell the running agent about this desktop: " + error);
            return 1;
        }
        log.Write(sw::agent::LogLevel::Info, "the running agent now shows jobs on this desktop");
        return 0;
    }
    // Programs the monitor starts and leaves (the converter) are ours to
    // reap when the monitor has ended.
    ::prctl(PR_SET_CHILD_SUBREAPER, 1);
    log.Write(sw::agent::LogLevel::Info, "the session agent serves print jobs");
    return agent.Run();
}
