// The agent's log: one line per event on standard error, which a systemd
// unit sends to the journal. There each line carries its priority, so
// `journalctl -p info` shows one line per job and the lines of the
// programs the agent started stay at debug level.
#pragma once

#include <cstdio>
#include <string>

namespace sw::agent {

enum class LogLevel { Error = 3, Warning = 4, Info = 6, Debug = 7 };

class AgentLog {
public:
    // Writes to `out`; priorities are marked when `out` is the journal's stream.
    explicit AgentLog(std::FILE* out);
    void Write(LogLevel level, const std::string& line);

private:
    std::FILE* out_;
    bool journal_;
};

}  // namespace sw::agent
