#include "platform/vendor/agent/ChildProgram.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace sw::agent {

namespace {

bool IsExecutable(const std::string& path) {
    return !path.empty() && ::access(path.c_str(), X_OK) == 0;
}

std::string OwnFolder() {
    char buffer[4096];
    const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) {
        return {};
    }
    const std::string self(buffer, static_cast<std::size_t>(n));
    return self.substr(0, self.rfind('/') + 1);
}

}  // namespace

std::string FindProgram(const std::string& name, const std::string& path) {
    if (name.empty()) {
        return {};
    }
    if (name.find('/') != std::string::npos) {
        return IsExecutable(name) ? name : std::string();
    }
    if (const std::string beside = OwnFolder() + name; IsExecutable(beside)) {
        return beside;
    }
    std::size_t from = 0;
    while (from <= path.size()) {
        const std::size_t colon = path.find(':', from);
        const std::string folder =
            path.substr(from, colon == std::string::npos ? std::string::npos : colon - from);
        std::string candidate = folder;
        candidate += '/';
        candidate += name;
        if (!folder.empty() && IsExecutable(candidate)) {
            return candidate;
        }
        if (colon == std::string::npos) {
            break;
        }
        from = colon + 1;
    }
    return {};
}

bool StartChildProgram(const std::string& program, const std::vector<std::string>& arguments,
                       const std::vector<std::string>& environment, ChildProgram* child, std::string* error) {
    int out[2] = {-1, -1};
    int err[2] = {-1, -1};
    if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) {
        *error = std::string("cannot make a pipe: ") + std::strerror(errno);
        for (int fd : {out[0], out[1], err[0], err[1]}) {
            if (fd >= 0) {
                ::close(fd);
            }
        }
        return false;
    }
    std::vector<std::string> argStore{program};
    argStore.insert(argStore.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& a : argStore) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    std::vector<std::string> envStore = environment;
    std::vector<char*> envp;
    for (auto& e : envStore) {
        envp.push_back(e.data());
    }
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // The agent blocks the signals it waits for; its children start clean.
    sigset_t none;
    sigemptyset(&none);
    sigset_t defaults;
    sigfillset(&defaults);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes,
                             POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSID);
    pid_t pid = -1;
    const int rc = ::posix_spawn(&pid, program.c_str(), &actions, &attributes, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    ::close(out[1]);
    ::close(err[1]);
    if (rc != 0) {
        *error = "cannot start " + program + ": " + std::strerror(rc);
        ::close(out[0]);
        ::close(err[0]);
        return false;
    }
    ::fcntl(out[0], F_SETFL, O_NONBLOCK);
    ::fcntl(err[0], F_SETFL, O_NONBLOCK);
    child->pid = pid;
    child->out = out[0];
    child->err = err[0];
    return true;
}

}  // namespace sw::agent
