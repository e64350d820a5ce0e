#include "tests/desktop/ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace desktop_test {

namespace {

using Clock = std::chrono::steady_clock;

// Process groups still to be killed if this program dies; a plain array, so that signal
// handlers can walk it.
constexpr std::size_t maxGroups = 64;
std::array<std::atomic<pid_t>, maxGroups> liveGroups{};

void remember(pid_t group) {
    for (auto& slot : liveGroups) {
        pid_t empty = 0;
        if (slot.compare_exchange_strong(empty, group)) {
            return;
        }
    }
}

void forget(pid_t group) {
    for (auto& slot : liveGroups) {
        pid_t expected = group;
        if (slot.compare_exchange_strong(expected, 0)) {
            return;
        }
    }
}

void killLiveGroups() {
    for (auto& slot : liveGroups) {
        const pid_t group = slot.exchange(0);
        if (group > 0) {
            kill(-group, SIGKILL);
        }
    }
}

void onFatalSignal(int signal) {
    killLiveGroups();
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

std::vector<char*> pointers(std::vector<std::string>& strings) {
    std::vector<char*> result;
    for (auto& text : strings) {
        result.push_back(text.data());
    }
    result.push_back(nullptr);
    return result;
}

int openOrThrow(const char* path, int flags) {
    const int fd = open(path, flags | O_CLOEXEC, 0644);
    if (fd < 0) {
        throw std::runtime_error(std::string("cannot open ") + path + ": " + std::strerror(errno));
    }
    return fd;
}

// fork and exec, with the child in a new process group and killed when we die. Everything the
// child needs is prepared before the fork.
pid_t spawn(std::vector<std::string> argv, std::vector<std::string> environment, int outFd,
            int keepFd) {
    if (argv.empty()) {
        throw std::invalid_argument("no command");
    }
    auto argPointers = pointers(argv);
    auto envPointers = pointers(environment);
    const int nullFd = openOrThrow("/dev/null", O_RDONLY);
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid < 0) {
        close(nullFd);
        throw std::runtime_error(std::string("fork failed: ") + std::strerror(errno));
    }
    if (pid == 0) {
        setpgid(0, 0);
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent) {
            _exit(127);
        }
        dup2(nullFd, STDIN_FILENO);
        dup2(outFd, STDOUT_FILENO);
        dup2(outFd, STDERR_FILENO);
        if (keepFd >= 0) {
            fcntl(keepFd, F_SETFD, 0);
        }
        execvpe(argPointers[0], argPointers.data(), envPointers.data());
        _exit(127);
    }
    // Also here, so that the group exists whichever side runs first.
    setpgid(pid, pid);
    remember(pid);
    close(nullFd);
    return pid;
}

}  // namespace

std::vector<std::string> environmentWith(const std::map<std::string, std::string>& set,
                                         const std::vector<std::string>& removePrefixes) {
    std::vector<std::string> result;
    for (char** entry = environ; *entry; ++entry) {
        const std::string text = *entry;
        const std::string name = text.substr(0, text.find('='));
        bool drop = set.contains(name);
        for (const auto& prefix : removePrefixes) {
            drop = drop || name.starts_with(prefix);
        }
        if (!drop) {
            result.push_back(text);
        }
    }
    for (const auto& [name, value] : set) {
        result.push_back(name + "=" + value);
    }
    return result;
}

ChildProcess::ChildProcess(const SpawnOptions& options) {
    const int outFd = options.log.empty()
                          ? openOrThrow("/dev/null", O_WRONLY)
                          : openOrThrow(options.log.c_str(), O_WRONLY | O_CREAT | O_APPEND);
    try {
        pid_ = spawn(options.argv, options.environment, outFd, options.inheritedFd);
    } catch (...) {
        close(outFd);
        throw;
    }
    close(outFd);
}

ChildProcess::~ChildProcess() {
    stop();
}

bool ChildProcess::ended() {
    if (status_) {
        return true;
    }
    // Looks without reaping: while the process is a zombie its group id cannot be reused.
    siginfo_t info{};
    if (waitid(P_PID, id_t(pid_), &info, WEXITED | WNOHANG | WNOWAIT) != 0) {
        return true;
    }
    return info.si_pid == pid_;
}

void ChildProcess::reap() {
    if (status_) {
        return;
    }
    // Anything the process left behind in its group goes with it.
    kill(-pid_, SIGKILL);
    int status = 0;
    while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    status_ = status;
    forget(pid_);
}

bool ChildProcess::running() {
    if (ended()) {
        reap();
        return false;
    }
    return true;
}

std::optional<int> ChildProcess::waitForExit(std::chrono::milliseconds limit) {
    const auto end = Clock::now() + limit;
    while (!ended()) {
        if (Clock::now() >= end) {
            return std::nullopt;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    reap();
    return status_;
}

int ChildProcess::stop(std::chrono::milliseconds grace) {
    if (!status_ && !ended()) {
        kill(-pid_, SIGTERM);
        if (!waitForExit(grace)) {
            kill(-pid_, SIGKILL);
        }
    }
    reap();
    return *status_;
}

CommandResult runCommand(const std::vector<std::string>& argv,
                         const std::vector<std::string>& environment,
                         std::chrono::milliseconds limit) {
    CommandResult result;
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        return result;
    }
    pid_t pid = -1;
    try {
        pid = spawn(argv, environment, fds[1], -1);
    } catch (const std::exception&) {
        close(fds[0]);
        close(fds[1]);
        return result;
    }
    close(fds[1]);
    const auto end = Clock::now() + limit;
    bool timedOut = false;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
        if (left.count() <= 0) {
            timedOut = true;
            break;
        }
        pollfd poller{fds[0], POLLIN, 0};
        if (poll(&poller, 1, int(left.count())) < 0 && errno != EINTR) {
            break;
        }
        char buffer[4096];
        const ssize_t n = read(fds[0], buffer, sizeof buffer);
        if (n == 0) {
            break;
        }
        if (n > 0) {
            result.output.append(buffer, std::size_t(n));
        }
    }
    close(fds[0]);
    if (timedOut) {
        kill(-pid, SIGKILL);
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    forget(pid);
    result.status = timedOut ? -1 : status;
    return result;
}

void installChildCleanup() {
    std::atexit(killLiveGroups);
    for (const int signal : {SIGABRT, SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTERM, SIGINT, SIGHUP}) {
        std::signal(signal, onFatalSignal);
    }
}

std::string describeStatus(int status) {
    if (WIFEXITED(status)) {
        return "exited with status " + std::to_string(WEXITSTATUS(status));
    }
    if (WIFSIGNALED(status)) {
        return "killed by signal " + std::to_string(WTERMSIG(status));
    }
    return "wait status " + std::to_string(status);
}

}  // namespace desktop_test
