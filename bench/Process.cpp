#include "Process.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

extern char** environ;

namespace bench {

void sleepToNextDeadline(timespec& due, long long periodNs) {
    due.tv_sec += static_cast<time_t>(periodNs / 1'000'000'000LL);
    due.tv_nsec += static_cast<long>(periodNs % 1'000'000'000LL);
    if (due.tv_nsec >= 1'000'000'000L) {
        due.tv_nsec -= 1'000'000'000L;
        ++due.tv_sec;
    }
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &due, nullptr) == EINTR) {
    }
}

long long monotonicNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1'000'000'000LL + ts.tv_nsec;
}

int pollTimeoutMs(long long untilNs) {
    constexpr long long msNs = 1'000'000;
    const long long remaining = untilNs - monotonicNs();
    return remaining <= 0 ? 0 : static_cast<int>((remaining + msNs - 1) / msNs);
}

std::string readFile(const std::string& path) {
    std::ifstream in(path);
    if (!in) {
        return {};
    }
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string tail(const std::string& path) {
    const std::string text = readFile(path);
    return text.size() > 2000 ? "..." + text.substr(text.size() - 2000) : text;
}

std::string selfPath() {
    char buffer[4096];
    const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) {
        throw std::runtime_error("cannot find our own executable");
    }
    return std::string(buffer, static_cast<size_t>(n));
}

pid_t spawn(const SpawnOptions& options) {
    if (options.argv.empty()) {
        throw std::runtime_error("spawn: no program");
    }
    // Everything the child needs is built before fork.
    std::map<std::string, std::string> env;
    for (char** e = environ; *e; ++e) {
        const char* eq = std::strchr(*e, '=');
        if (eq) {
            env[std::string(*e, static_cast<size_t>(eq - *e))] = eq + 1;
        }
    }
    for (const auto& name : options.unsetEnv) {
        env.erase(name);
    }
    for (const auto& [name, value] : options.setEnv) {
        env[name] = value;
    }
    std::vector<std::string> envStrings;
    for (const auto& [name, value] : env) {
        envStrings.push_back(name + "=" + value);
    }
    std::vector<char*> envp;
    for (auto& s : envStrings) {
        envp.push_back(s.data());
    }
    envp.push_back(nullptr);
    std::vector<std::string> args = options.argv;
    std::vector<char*> argv;
    for (auto& s : args) {
        argv.push_back(s.data());
    }
    argv.push_back(nullptr);
    const std::string log = options.logFile.empty() ? "/dev/null" : options.logFile;
    const pid_t parent = getpid();

    const pid_t pid = fork();
    if (pid < 0) {
        throw std::runtime_error(std::string("fork: ") + std::strerror(errno));
    }
    if (pid == 0) {
        setpgid(0, 0);
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent) {
            _exit(127);
        }
        const int out = open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        const int in = open("/dev/null", O_RDONLY | O_CLOEXEC);
        if (out >= 0) {
            dup2(out, 1);
            dup2(out, 2);
        }
        if (in >= 0) {
            dup2(in, 0);
        }
        if (options.passAsFd3 >= 0) {
            dup2(options.passAsFd3, 3);  // dup2 clears close-on-exec on the copy
        }
        // Signals we block or ignore are not the child's business.
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        signal(SIGPIPE, SIG_DFL);
        execvpe(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    setpgid(pid, pid);
    return pid;
}

namespace {
long long rusageNs(const rusage& usage) {
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1'000'000'000LL +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1'000LL;
}
}  // namespace

bool stillRunning(pid_t pid, Reaped* reaped) {
    int status = 0;
    rusage usage{};
    const pid_t r = wait4(pid, &status, WNOHANG, &usage);
    if (r == pid) {
        if (reaped) {
            reaped->exited = true;
            reaped->status = status;
            reaped->cpuNs = rusageNs(usage);
        }
        return false;
    }
    return r == 0;
}

Reaped stopAndReap(pid_t pid, int signal, double graceSeconds) {
    Reaped reaped;
    if (pid <= 0) {
        return reaped;
    }
    if (!stillRunning(pid, &reaped)) {
        return reaped;
    }
    kill(pid, signal);
    const long long until = monotonicNs() + static_cast<long long>(graceSeconds * 1e9);
    while (monotonicNs() < until) {
        if (!stillRunning(pid, &reaped)) {
            kill(-pid, SIGKILL);  // whatever it left behind in its group
            return reaped;
        }
        usleep(5'000);
    }
    kill(-pid, SIGKILL);
    kill(pid, SIGKILL);
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) == pid) {
        reaped.exited = true;
        reaped.status = status;
        reaped.cpuNs = rusageNs(usage);
    }
    return reaped;
}

long residentKiB(pid_t pid) {
    std::istringstream status(readFile("/proc/" + std::to_string(pid) + "/status"));
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::stol(line.substr(6));
        }
    }
    return -1;
}

ProcessSample sampleProcess(pid_t pid) {
    ProcessSample sample;
    sample.atNs = monotonicNs();
    const std::string base = "/proc/" + std::to_string(pid);
    DIR* dir = opendir((base + "/task").c_str());
    if (!dir) {
        return sample;
    }
    while (dirent* entry = readdir(dir)) {
        if (entry->d_name[0] < '0' || entry->d_name[0] > '9') {
            continue;
        }
        const std::string task = base + "/task/" + entry->d_name;
        ThreadSample thread;
        thread.tid = std::atoi(entry->d_name);
        thread.name = readFile(task + "/comm");
        while (!thread.name.empty() && thread.name.back() == '\n') {
            thread.name.pop_back();
        }
        std::istringstream schedstat(readFile(task + "/schedstat"));
        long long waitNs = 0;
        if (!(schedstat >> thread.cpuNs >> waitNs >> thread.timeslices)) {
            continue;  // the thread ended while we looked
        }
        std::istringstream status(readFile(task + "/status"));
        std::string line;
        while (std::getline(status, line)) {
            if (line.rfind("voluntary_ctxt_switches:", 0) == 0) {
                thread.voluntary = std::stoll(line.substr(24));
            } else if (line.rfind("nonvoluntary_ctxt_switches:", 0) == 0) {
                thread.involuntary = std::stoll(line.substr(27));
            }
        }
        sample.cpuNs += thread.cpuNs;
        sample.timeslices += thread.timeslices;
        sample.voluntary += thread.voluntary;
        sample.involuntary += thread.involuntary;
        sample.threads.push_back(std::move(thread));
    }
    closedir(dir);
    sample.rssKiB = residentKiB(pid);
    return sample;
}

}  // namespace bench
