#include "platform/vendor/agent/SessionAgent.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <list>
#include <thread>

#include "platform/base/TextCodec.h"
#include "platform/spooler/PrinterNames.h"
#include "platform/vendor/AgentLink.h"
#include "platform/vendor/PrinterSettings.h"
#include "platform/vendor/VendorPaths.h"
#include "platform/vendor/agent/ChildProgram.h"

namespace sw::agent {

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kMonitorParameter = 307;
constexpr const char* kMonitorProgram = "KVPrintMonitor";
constexpr long kTickMs = 25;
constexpr long kSilentClientMs = 5000;

long MsSince(Clock::time_point from) {
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - from).count());
}

// A FIFO of ours at `path` that some process reads; its identity.
bool PipeHasListener(const std::string& path, dev_t* device, ino_t* inode) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) {
        return false;
    }
    struct stat st {};
    const bool ours = ::fstat(fd, &st) == 0 && S_ISFIFO(st.st_mode) && st.st_uid == ::getuid();
    ::close(fd);
    *device = st.st_dev;
    *inode = st.st_ino;
    return ours;
}

bool SendLine(int fd, const std::string& line) {
    const std::string text = line + "\n";
    return ::send(fd, text.data(), text.size(), MSG_NOSIGNAL | MSG_DONTWAIT) ==
           static_cast<ssize_t>(text.size());
}

std::string StatusText(int status) {
    if (WIFEXITED(status)) {
        return "status " + std::to_string(WEXITSTATUS(status));
    }
    if (WIFSIGNALED(status)) {
        return std::string("signal ") + ::strsignal(WTERMSIG(status));
    }
    return "status ?";
}

enum class JobState { Waiting, Starting, Listening, Released };

struct Job {
    vendor::AgentJob request;
    std::string label;  // job N "document"
    int backend = -1;   // the driver's connection, -1 once it has gone
    Clock::time_point arrived = Clock::now();
    Clock::time_point started;
    Clock::time_point backendGone;
    long waitLimitMs = 0;
    std::string pipePath;
    dev_t pipeDevice = 0;
    ino_t pipeInode = 0;
    JobState state = JobState::Waiting;
    bool unattended = false;
    ChildProgram child;
    bool exited = false;
    int status = 0;
    std::string outText;
    std::string errText;
    bool told = false;  // the program gave its outcome
};

struct Client {
    int fd = -1;
    std::string buffer;
    Clock::time_point since = Clock::now();
};

}  // namespace

struct SessionAgent::Impl {
    Impl(AgentOptions o, SessionEnvironment e, AgentLog& l) : options(o), environment(std::move(e)), log(l) {}

    AgentOptions options;
    SessionEnvironment environment;
    AgentLog& log;
    uid_t uid = ::getuid();
    std::string socketPath;
    int lockFd = -1;
    int listenFd = -1;
    int signalFd = -1;
    dev_t socketDevice = 0;
    ino_t socketInode = 0;
    std::list<Client> clients;
    std::list<Job> jobs;

    ~Impl() {
        for (Client& c : clients) {
            ::close(c.fd);
        }
        for (Job& job : jobs) {
            CloseJobFds(job);
        }
        if (listenFd >= 0) {
            struct stat st {};
            if (::lstat(socketPath.c_str(), &st) == 0 && st.st_dev == socketDevice &&
                st.st_ino == socketInode) {
                ::unlink(socketPath.c_str());
            }
            ::close(listenFd);
        }
        if (signalFd >= 0) {
            ::close(signalFd);
        }
        if (lockFd >= 0) {
            ::close(lockFd);
        }
    }

    static void CloseJobFds(Job& job) {
        for (int* fd : {&job.backend, &job.child.out, &job.child.err}) {
            if (*fd >= 0) {
                ::close(*fd);
                *fd = -1;
            }
        }
    }

    bool Listen(std::string* error, bool* running) {
        *running = false;
        if (!vendor::EnsureRuntimeFolder(uid, error)) {
            return false;
        }
        socketPath = vendor::AgentSocketPath(uid);
        // One agent per user: the lock, held for the agent's life, decides.
        const std::string lockPath = vendor::RuntimeFolder(uid) + "/agent.lock";
        lockFd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (lockFd < 0) {
            *error = "cannot open " + lockPath + ": " + std::strerror(errno);
            return false;
        }
        if (::flock(lockFd, LOCK_EX | LOCK_NB) != 0) {
            *running = true;
            *error = "another agent serves this user already";
            return false;
        }
        sockaddr_un address{};
        if (socketPath.size() >= sizeof address.sun_path) {
            *error = "the socket path is too long: " + socketPath;
            return false;
        }
        ::unlink(socketPath.c_str());  // left by an agent that did not end cleanly
        listenFd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size() + 1);
        const mode_t old = ::umask(0177);
        const bool bound =
            listenFd >= 0 &&
            ::bind(listenFd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
            ::listen(listenFd, 32) == 0;
        ::umask(old);
        struct stat st {};
        if (!bound || ::lstat(socketPath.c_str(), &st) != 0) {
            *error = "cannot listen on " + socketPath + ": " + std::strerror(errno);
            return false;
        }
        socketDevice = st.st_dev;
        socketInode = st.st_ino;
        return true;
    }

    // ---- Connections ---------------------------------------------------

    void Accept() {
        for (;;) {
            const int fd = ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
            if (fd < 0) {
                return;
            }
            ucred peer{};
            socklen_t size = sizeof peer;
            // Only the user's own processes (the driver runs as the job's
            // owner) and root may hand over jobs.
            if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0 ||
                (peer.uid != uid && peer.uid != 0)) {
                ::close(fd);
                continue;
            }
            clients.push_back(Client{fd, {}, Clock::now()});
        }
    }

    // Reads what a client sent; true when it is done with (handed on or closed).
    bool ReadClient(Client& client) {
        char buffer[4096];
        for (;;) {
            const ssize_t n = ::recv(client.fd, buffer, sizeof buffer, 0);
            if (n > 0) {
                client.buffer.append(buffer, static_cast<std::size_t>(n));
                if (client.buffer.size() > vendor::kAgentLineLimit) {
                    ::close(client.fd);
                    return true;
                }
                continue;
            }
            if (n < 0 && errno == EINTR) {
                continue;
            }
            const std::size_t end = client.buffer.find('\n');
            if (end != std::string::npos) {
                HandleLine(client.fd, client.buffer.substr(0, end));
                return true;
            }
            if (n == 0 || (n < 0 && errno != EAGAIN) || MsSince(client.since) > kSilentClientMs) {
                ::close(client.fd);
                return true;
            }
            return false;
        }
    }

    void HandleLine(int fd, const std::string& line) {
        vendor::AgentJob request;
        std::map<std::string, std::string> desktop;
        if (vendor::DecodeAgentJob(line, &request) && spooler::IsValidQueueName(request.queue)) {
            Job job;
            job.request = request;
            job.label =
                "job " + std::to_string(request.jobId) + " \"" + base::ToUtf8(request.document) + "\"";
            job.backend = fd;
            const vendor::PrinterSettings settings = vendor::PrinterSettings::Load(request.queue);
            job.waitLimitMs = settings.AgentWaitMs();
            job.pipePath = vendor::PipePath(uid, settings.PipeName());
            jobs.push_back(job);
            return;
        }
        if (vendor::DecodeAgentSession(line, &desktop)) {
            environment.Register(desktop);
            log.Write(LogLevel::Info, "a desktop session started: display " + environment.DisplayName());
            SendLine(fd, "OK");
        }
        ::close(fd);
    }

    // ---- Jobs ------------------------------------------------------------

    bool PipeBusy(const Job& job) const {
        return std::any_of(jobs.begin(), jobs.end(), [&](const Job& other) {
            return &other != &job && other.pipePath == job.pipePath &&
                   (other.state == JobState::Starting || other.state == JobState::Listening);
        });
    }

    void Refuse(Job& job, const std::string& reason, LogLevel level) {
        if (job.backend >= 0) {
            SendLine(job.backend, "NONE\t" + reason);
        }
        log.Write(level, job.label + ": not followed: " + reason);
    }

    void Stop(Job& job) {
        if (job.child.pid > 0 && !job.exited) {
            ::kill(job.child.pid, SIGTERM);
        }
        job.state = JobState::Released;
    }

    // False when the job is over before it began.
    bool Start(Job& job) {
        const vendor::PrinterSettings settings = vendor::PrinterSettings::Load(job.request.queue);
        std::string configured = settings.GetParameter(kMonitorParameter);
        if (configured.size() >= 2 && configured.front() == '"' && configured.back() == '"') {
            configured = configured.substr(1, configured.size() - 2);
        }
        const std::string name = configured.empty() ? kMonitorProgram : configured;
        const std::string program = FindProgram(name, environment.Get("PATH"));
        if (program.empty()) {
            Refuse(job,
                   "the monitor program \"" + name + "\" (Parameter" + std::to_string(kMonitorParameter) +
                       " of printer " + job.request.queue + ") cannot be found",
                   LogLevel::Error);
            return false;
        }
        job.unattended = options.mode == AgentOptions::Mode::Unattended ||
                         (options.mode == AgentOptions::Mode::Auto && !environment.HasLiveDisplay());
        // A pipe left by a monitor that is gone would take the first message.
        struct stat st {};
        if (::lstat(job.pipePath.c_str(), &st) == 0 && S_ISFIFO(st.st_mode) && st.st_uid == uid) {
            ::unlink(job.pipePath.c_str());
        }
        std::vector<std::string> arguments;
        if (job.unattended) {
            arguments.emplace_back("-unattended");
        }
        std::string error;
        if (!StartChildProgram(program, arguments, environment.ForProgram(!job.unattended), &job.child,
                               &error)) {
            Refuse(job, error, LogLevel::Error);
            return false;
        }
        job.state = JobState::Starting;
        job.started = Clock::now();
        if (job.unattended) {
            log.Write(LogLevel::Debug, job.label + ": converting unattended with " + program);
        } else {
            const std::string display = environment.DisplayName();
            log.Write(LogLevel::Info, job.label + ": followed by " + program +
                                          (display.empty() ? std::string(" in the desktop session")
                                                           : " on display " + display));
        }
        return true;
    }

    // Moves a job on as far as it goes now; false when it is over and can be
    // forgotten. A job that changed state is looked at again at once: the
    // loop sleeps without a limit once every job is released, so a monitor
    // found ended in this pass must be reported in this pass, not when some
    // later job or signal wakes the agent.
    bool Advance(Job& job) {
        for (;;) {
            const JobState before = job.state;
            if (!Step(job)) {
                return false;
            }
            if (job.state == before) {
                return true;
            }
        }
    }

    // One move of a job from the state it is in; false when it is over.
    bool Step(Job& job) {
        switch (job.state) {
            case JobState::Waiting:
                if (job.backend < 0) {
                    return false;  // the driver went before it needed a monitor
                }
                if (MsSince(job.arrived) > job.waitLimitMs) {
                    Refuse(job, "an earlier job still held the printer's message pipe", LogLevel::Warning);
                    return false;
                }
                if (!PipeBusy(job) && !Start(job)) {
                    return false;
                }
                return true;
            case JobState::Starting:
                if (PipeHasListener(job.pipePath, &job.pipeDevice, &job.pipeInode)) {
                    if (job.backend >= 0) {
                        SendLine(job.backend, "READY\tmonitor " + std::to_string(job.child.pid) +
                                                  (job.unattended ? " listens, unattended" : " listens"));
                    }
                    job.state = JobState::Listening;
                } else if (job.exited) {
                    Refuse(job, "the monitor ended before it listened (" + StatusText(job.status) + ")",
                           LogLevel::Error);
                    job.state = JobState::Released;
                } else if (job.backend < 0) {
                    Stop(job);
                } else if (MsSince(job.started) > options.startLimitMs ||
                           MsSince(job.arrived) > job.waitLimitMs) {
                    Refuse(job, "the monitor did not listen on " + job.pipePath + " in time",
                           LogLevel::Error);
                    Stop(job);
                }
                return true;
            case JobState::Listening: {
                struct stat st {};
                const bool same = ::lstat(job.pipePath.c_str(), &st) == 0 && st.st_dev == job.pipeDevice &&
                                  st.st_ino == job.pipeInode;
                if (!same || job.exited) {
                    job.state = JobState::Released;
                } else if (job.backend < 0 && MsSince(job.backendGone) > options.goneGraceMs) {
                    log.Write(
                        LogLevel::Warning,
                        job.label +
                            ": the printer ended the job without reporting its end; the monitor was stopped");
                    Stop(job);
                }
                return true;
            }
            case JobState::Released:
                if (!job.exited || job.child.out >= 0 || job.child.err >= 0) {
                    return true;
                }
                log.Write(LogLevel::Debug,
                          job.label + ": the monitor ended (" + StatusText(job.status) + ")");
                if (job.unattended && !job.told) {
                    log.Write(LogLevel::Warning, job.label + ": the monitor ended (" +
                                                     StatusText(job.status) +
                                                     ") without converting the job; its files stay in the "
                                                     "printer's spool folder");
                }
                return false;
        }
        return false;
    }

    void ReadBackend(Job& job) {
        char buffer[256];
        const ssize_t n = ::recv(job.backend, buffer, sizeof buffer, 0);
        if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) {
            ::close(job.backend);
            job.backend = -1;
            job.backendGone = Clock::now();
        }
    }

    // The program's output: its outcome lines on standard output, its
    // messages on standard error.
    void ReadChild(Job& job, int* fd, std::string& pending, bool outcome) {
        char buffer[4096];
        for (;;) {
            const ssize_t n = ::read(*fd, buffer, sizeof buffer);
            if (n > 0) {
                pending.append(buffer, static_cast<std::size_t>(n));
                continue;
            }
            if (n < 0 && errno == EINTR) {
                continue;
            }
            const bool ended = n == 0 || errno != EAGAIN;
            std::size_t end = 0;
            while ((end = pending.find('\n')) != std::string::npos || (ended && !pending.empty())) {
                const std::string line = pending.substr(0, end);
                pending.erase(0, end == std::string::npos ? std::string::npos : end + 1);
                if (line.empty()) {
                    continue;
                }
                if (outcome && job.unattended) {
                    job.told = true;
                    log.Write(line.rfind("converted", 0) == 0 ? LogLevel::Info : LogLevel::Warning,
                              job.label + ": " + line);
                } else {
                    log.Write(LogLevel::Debug, "job " + std::to_string(job.request.jobId) + ": " + line);
                }
            }
            if (ended) {
                ::close(*fd);
                *fd = -1;
            }
            return;
        }
    }

    void Reap() {
        for (;;) {
            int status = 0;
            const pid_t pid = ::waitpid(-1, &status, WNOHANG);
            if (pid <= 0) {
                return;
            }
            for (Job& job : jobs) {
                if (job.child.pid == pid) {
                    job.exited = true;
                    job.status = status;
                }
            }
        }
    }

    int Run() {
        sigset_t signals;
        sigemptyset(&signals);
        for (int s : {SIGCHLD, SIGTERM, SIGINT, SIGHUP}) {
            sigaddset(&signals, s);
        }
        ::sigprocmask(SIG_BLOCK, &signals, nullptr);
        signalFd = ::signalfd(-1, &signals, SFD_CLOEXEC | SFD_NONBLOCK);
        if (signalFd < 0) {
            log.Write(LogLevel::Error, std::string("cannot wait for signals: ") + std::strerror(errno));
            return 1;
        }
        for (;;) {
            std::vector<pollfd> fds{{signalFd, POLLIN, 0}, {listenFd, POLLIN, 0}};
            for (const Client& c : clients) {
                fds.push_back({c.fd, POLLIN, 0});
            }
            for (const Job& job : jobs) {
                for (int fd : {job.backend, job.child.out, job.child.err}) {
                    if (fd >= 0) {
                        fds.push_back({fd, POLLIN, 0});
                    }
                }
            }
            // Jobs that wait for a monitor or its pipe are looked at every
            // tick; the rest wake the loop by their pipes and signals.
            const bool ticking = !clients.empty() ||
                                 std::any_of(jobs.begin(), jobs.end(),
                                             [](const Job& job) { return job.state != JobState::Released; });
            if (::poll(fds.data(), fds.size(), ticking ? static_cast<int>(kTickMs) : -1) < 0 &&
                errno != EINTR) {
                log.Write(LogLevel::Error, std::string("poll failed: ") + std::strerror(errno));
                return 1;
            }
            signalfd_siginfo info{};
            bool quit = false;
            // A child's end is collected by the Reap() below, signal or not:
            // the kernel folds several SIGCHLDs into one.
            while (::read(signalFd, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
                quit = quit || info.ssi_signo != SIGCHLD;
            }
            if (quit) {
                for (Job& job : jobs) {
                    if (job.state == JobState::Waiting) {
                        Refuse(job, "the session agent is ending", LogLevel::Warning);
                    }
                }
                log.Write(LogLevel::Info, "the session agent ends");
                return 0;
            }
            Accept();
            clients.remove_if([&](Client& c) { return ReadClient(c); });
            for (Job& job : jobs) {
                if (job.backend >= 0) {
                    ReadBackend(job);
                }
                if (job.child.out >= 0) {
                    ReadChild(job, &job.child.out, job.outText, true);
                }
                if (job.child.err >= 0) {
                    ReadChild(job, &job.child.err, job.errText, false);
                }
            }
            Reap();
            jobs.remove_if([&](Job& job) {
                if (Advance(job)) {
                    return false;
                }
                CloseJobFds(job);
                return true;
            });
        }
    }
};

SessionAgent::SessionAgent(AgentOptions options, SessionEnvironment environment, AgentLog& log)
    : impl_(std::make_unique<Impl>(options, std::move(environment), log)) {}

SessionAgent::~SessionAgent() = default;

bool SessionAgent::Listen(std::string* error, bool* running) {
    return impl_->Listen(error, running);
}

int SessionAgent::Run() {
    return impl_->Run();
}

bool RegisterDesktop(const std::map<std::string, std::string>& desktop, std::string* error) {
    // The running agent may still be setting up its socket.
    int fd = -1;
    for (int attempt = 0; attempt < 20 && fd < 0; ++attempt) {
        fd = vendor::ConnectToAgent(::getuid(), error);
        if (fd < 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    }
    if (fd < 0) {
        return false;
    }
    const std::string line = vendor::EncodeAgentSession(desktop);
    std::string answer;
    const bool ok = ::send(fd, line.data(), line.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(line.size()) &&
                    vendor::ReadAgentLine(fd, 5000, &answer) && answer == "OK";
    ::close(fd);
    if (!ok) {
        *error = "the running agent did not take the desktop session";
    }
    return ok;
}

}  // namespace sw::agent
