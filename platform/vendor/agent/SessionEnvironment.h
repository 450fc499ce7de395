// The environment a program started for a job gets, and whether the user's
// session has a desktop to show it on.
//
// The agent starts with its own environment: a desktop's autostart gives it
// the desktop's, a systemd user unit the user manager's (which a desktop may
// not have reached yet). When a desktop session starts while an agent already
// runs, its autostart tells that agent its display variables (AgentLink.h);
// those then win. A display counts only while its socket is there, so a
// desktop that has ended leaves the agent converting unattended again.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace sw::agent {

class SessionEnvironment {
public:
    // The calling process's environment.
    static SessionEnvironment FromProcess();
    explicit SessionEnvironment(std::map<std::string, std::string> variables);

    // The variables of this process that describe its desktop session
    // (display, authority, session bus, desktop, language); empty without a
    // display.
    static std::map<std::string, std::string> DesktopVariablesOfProcess();

    // A desktop session's variables, told by its autostart, override ours.
    void Register(const std::map<std::string, std::string>& desktop);

    // A display variable is set and its server's socket is there (a display
    // on another host, as over ssh, is taken on trust).
    bool HasLiveDisplay() const;
    // DISPLAY or WAYLAND_DISPLAY, for the log.
    std::string DisplayName() const;

    // NAME=VALUE lines for a program; without the display variables when it
    // must run without windows.
    std::vector<std::string> ForProgram(bool withDisplay) const;
    std::string Get(const std::string& name) const;

private:
    std::map<std::string, std::string> vars_;
};

// Whether an X display name (":0", "unix:1.0", "host:10.0") or a Wayland
// display (a name in the runtime folder, or a path) has a server.
bool X11DisplayIsLive(const std::string& display);
bool WaylandDisplayIsLive(const std::string& display, const std::string& runtimeFolder);

}  // namespace sw::agent
