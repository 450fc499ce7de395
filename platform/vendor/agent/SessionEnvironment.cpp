#include "platform/vendor/agent/SessionEnvironment.h"

#include <sys/stat.h>

#include <array>
#include <cstdlib>

extern char** environ;

namespace sw::agent {

namespace {

constexpr std::array<const char*, 16> kDesktopVariables = {"DISPLAY",
                                                           "WAYLAND_DISPLAY",
                                                           "XAUTHORITY",
                                                           "DBUS_SESSION_BUS_ADDRESS",
                                                           "XDG_SESSION_TYPE",
                                                           "XDG_CURRENT_DESKTOP",
                                                           "XDG_SESSION_DESKTOP",
                                                           "DESKTOP_SESSION",
                                                           "QT_QPA_PLATFORM",
                                                           "QT_QPA_PLATFORMTHEME",
                                                           "QT_SCALE_FACTOR",
                                                           "QT_SCREEN_SCALE_FACTORS",
                                                           "LANG",
                                                           "LANGUAGE",
                                                           "LC_ALL",
                                                           "SHEETWISE_VIEWER"};

bool IsSocket(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISSOCK(st.st_mode);
}

}  // namespace

SessionEnvironment SessionEnvironment::FromProcess() {
    std::map<std::string, std::string> vars;
    for (char** e = environ; e != nullptr && *e != nullptr; ++e) {
        const std::string entry = *e;
        const std::size_t eq = entry.find('=');
        if (eq != std::string::npos && eq > 0) {
            vars[entry.substr(0, eq)] = entry.substr(eq + 1);
        }
    }
    return SessionEnvironment(std::move(vars));
}

SessionEnvironment::SessionEnvironment(std::map<std::string, std::string> variables)
    : vars_(std::move(variables)) {}

std::map<std::string, std::string> SessionEnvironment::DesktopVariablesOfProcess() {
    std::map<std::string, std::string> desktop;
    for (const char* name : kDesktopVariables) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') {
            desktop[name] = value;
        }
    }
    if (desktop.count("DISPLAY") == 0 && desktop.count("WAYLAND_DISPLAY") == 0) {
        desktop.clear();
    }
    return desktop;
}

void SessionEnvironment::Register(const std::map<std::string, std::string>& desktop) {
    for (const char* name : kDesktopVariables) {
        const auto it = desktop.find(name);
        if (it != desktop.end() && !it->second.empty()) {
            vars_[name] = it->second;
        }
    }
}

std::string SessionEnvironment::Get(const std::string& name) const {
    const auto it = vars_.find(name);
    return it == vars_.end() ? std::string() : it->second;
}

bool SessionEnvironment::HasLiveDisplay() const {
    return WaylandDisplayIsLive(Get("WAYLAND_DISPLAY"), Get("XDG_RUNTIME_DIR")) ||
           X11DisplayIsLive(Get("DISPLAY"));
}

std::string SessionEnvironment::DisplayName() const {
    const std::string wayland = Get("WAYLAND_DISPLAY");
    return wayland.empty() ? Get("DISPLAY") : wayland;
}

std::vector<std::string> SessionEnvironment::ForProgram(bool withDisplay) const {
    std::vector<std::string> lines;
    for (const auto& [name, value] : vars_) {
        if (!withDisplay && (name == "DISPLAY" || name == "WAYLAND_DISPLAY")) {
            continue;
        }
        lines.push_back(name);
        lines.back() += '=';
        lines.back() += value;
    }
    return lines;
}

bool X11DisplayIsLive(const std::string& display) {
    const std::size_t colon = display.rfind(':');
    if (display.empty() || colon == std::string::npos) {
        return false;
    }
    const std::string host = display.substr(0, colon);
    if (!host.empty() && host != "unix") {
        return true;
    }
    std::string number = display.substr(colon + 1);
    number = number.substr(0, number.find('.'));
    if (number.empty() || number.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    return IsSocket("/tmp/.X11-unix/X" + number);
}

bool WaylandDisplayIsLive(const std::string& display, const std::string& runtimeFolder) {
    if (display.empty()) {
        return false;
    }
    if (display[0] == '/') {
        return IsSocket(display);
    }
    return !runtimeFolder.empty() && IsSocket(runtimeFolder + "/" + display);
}

}  // namespace sw::agent
