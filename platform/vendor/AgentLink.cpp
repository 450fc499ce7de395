#include "platform/vendor/AgentLink.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <vector>

#include "platform/base/TextCodec.h"
#include "platform/vendor/VendorPaths.h"

namespace sw::vendor {

namespace {

std::string Clean(std::string field) {
    for (char& c : field) {
        if (c == '\t' || c == '\n' || c == '\r') {
            c = ' ';
        }
    }
    return field;
}

std::vector<std::string> SplitTabs(const std::string& line) {
    std::vector<std::string> fields;
    std::size_t from = 0;
    for (;;) {
        const std::size_t tab = line.find('\t', from);
        fields.push_back(line.substr(from, tab == std::string::npos ? std::string::npos : tab - from));
        if (tab == std::string::npos) {
            return fields;
        }
        from = tab + 1;
    }
}

bool WriteAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::send(fd, text.data() + done, text.size() - done, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && errno == EAGAIN) {
            pollfd p{fd, POLLOUT, 0};
            if (::poll(&p, 1, 1000) > 0) {
                continue;
            }
        }
        if (n <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

std::string AgentSocketPath(uid_t uid) {
    return RuntimeFolder(uid) + "/agent";
}

std::string EncodeAgentJob(const AgentJob& job) {
    return "JOB\t" + std::to_string(job.jobId) + "\t" + Clean(job.queue) + "\t" +
           Clean(base::ToUtf8(job.document)) + "\t" + Clean(job.user) + "\n";
}

std::string EncodeAgentSession(const std::map<std::string, std::string>& environment) {
    std::string line = "SESSION";
    for (const auto& [name, value] : environment) {
        line += "\t" + Clean(name) + "=" + Clean(value);
    }
    return line + "\n";
}

bool DecodeAgentJob(const std::string& line, AgentJob* job) {
    const std::vector<std::string> fields = SplitTabs(line);
    if (fields.size() != 5 || fields[0] != "JOB" || fields[2].empty()) {
        return false;
    }
    char* end = nullptr;
    errno = 0;
    const long id = std::strtol(fields[1].c_str(), &end, 10);
    if (errno != 0 || end == fields[1].c_str() || *end != '\0' || id < 0 || id > 0x7FFFFFFF) {
        return false;
    }
    job->jobId = static_cast<int>(id);
    job->queue = fields[2];
    job->document = base::FromUtf8OrCp1252(fields[3]);
    job->user = fields[4];
    return true;
}

bool DecodeAgentSession(const std::string& line, std::map<std::string, std::string>* environment) {
    const std::vector<std::string> fields = SplitTabs(line);
    if (fields.empty() || fields[0] != "SESSION") {
        return false;
    }
    environment->clear();
    for (std::size_t i = 1; i < fields.size(); ++i) {
        const std::size_t eq = fields[i].find('=');
        if (eq == 0 || eq == std::string::npos) {
            return false;
        }
        (*environment)[fields[i].substr(0, eq)] = fields[i].substr(eq + 1);
    }
    return true;
}

int ConnectToAgent(uid_t uid, std::string* error) {
    std::string ignored;
    std::string& why = error != nullptr ? *error : ignored;
    const std::string path = AgentSocketPath(uid);
    sockaddr_un address{};
    if (path.size() >= sizeof address.sun_path) {
        why = "the agent's socket path is too long: " + path;
        return -1;
    }
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) {
        why = "no session agent listens (" + path + ": " + std::strerror(errno) + ")";
        return -1;
    }
    if (!S_ISSOCK(st.st_mode) || st.st_uid != uid) {
        why = path + " is not a socket of user " + std::to_string(uid);
        return -1;
    }
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        why = std::string("cannot make a socket: ") + std::strerror(errno);
        return -1;
    }
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    // A local connect completes at once or fails at once (EAGAIN: the agent
    // has a full backlog and is not keeping up; it is treated as absent).
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        why = "no session agent listens on " + path + ": " + std::strerror(errno);
        ::close(fd);
        return -1;
    }
    ucred peer{};
    socklen_t size = sizeof peer;
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0 || peer.uid != uid) {
        why = "the process on " + path + " is not user " + std::to_string(uid) + "'s";
        ::close(fd);
        return -1;
    }
    return fd;
}

bool ReadAgentLine(int fd, long timeoutMs, std::string* line) {
    line->clear();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        char c = 0;
        const ssize_t n = ::recv(fd, &c, 1, 0);
        if (n == 1) {
            if (c == '\n') {
                return true;
            }
            if (line->size() >= kAgentLineLimit) {
                return false;
            }
            line->push_back(c);
            continue;
        }
        if (n == 0) {
            return false;
        }
        if (errno == EINTR) {
            continue;
        }
        if (errno != EAGAIN) {
            return false;
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now())
                .count();
        if (left <= 0) {
            return false;
        }
        pollfd p{fd, POLLIN, 0};
        ::poll(&p, 1, static_cast<int>(left));
    }
}

std::unique_ptr<AgentHandOff> AgentHandOff::Announce(uid_t uid, const AgentJob& job, std::string* error) {
    const int fd = ConnectToAgent(uid, error);
    if (fd < 0) {
        return nullptr;
    }
    if (!WriteAll(fd, EncodeAgentJob(job))) {
        if (error != nullptr) {
            *error = std::string("the session agent did not take the job: ") + std::strerror(errno);
        }
        ::close(fd);
        return nullptr;
    }
    return std::unique_ptr<AgentHandOff>(new AgentHandOff(fd));
}

AgentHandOff::~AgentHandOff() {
    ::close(fd_);
}

bool AgentHandOff::WaitReady(long timeoutMs, std::string* answer) {
    std::string line;
    if (!ReadAgentLine(fd_, timeoutMs, &line)) {
        *answer = line.empty()
                      ? "the session agent did not answer within " + std::to_string(timeoutMs) + " ms"
                      : "the session agent's answer was cut off";
        return false;
    }
    const std::size_t tab = line.find('\t');
    const std::string word = line.substr(0, tab);
    *answer = tab == std::string::npos ? line : line.substr(tab + 1);
    return word == "READY";
}

}  // namespace sw::vendor
