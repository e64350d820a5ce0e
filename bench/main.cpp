// The pulse benchmark: runs the program, two xdotool baselines and an ideal injector of ours,
// one after another, on an X server of its own with openbox, and measures every Num Lock press
// and release as the server sees them, the server's idle time, and what each costs. On request
// (--only program-sway) also the program on sway, from a focused Wayland window's key events.
//
// Usage: pulseward_bench [--program PATH] [--seconds N] [--idle-seconds N] [--json FILE]
//                        [--svg FILE] [--events FILE] [--only LIST] [--smoke] [--no-warm-up]
//                        [--keep]
// --events appends every Num Lock event as CSV: subject, press or release, server time (ms),
// arrival (CLOCK_MONOTONIC ns), arrival after launch (ns), Num Lock on after it (0 or 1).

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <poll.h>
#include <signal.h>
#include <sys/utsname.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <set>
#include <sstream>
#include <stdexcept>

#include "OnSway.h"
#include "Process.h"
#include "Report.h"
#include "XObserver.h"

#ifndef PULSEWARD_PROGRAM
#define PULSEWARD_PROGRAM "FERN-BADGER-PULSEWARD"
#endif
#ifndef PULSEWARD_KEY_CLIENT
#define PULSEWARD_KEY_CLIENT "pulseward_key_client"
#endif

namespace bench {
namespace {

const char* const windowName = "       PULSEWARD";
const char* const frontWindowName = "pulseward_bench: in front";
const char* const settingsFile = "FERN-BADGER-PULSEWARD.ini";
constexpr long long msNs = 1'000'000;
constexpr long long idleSampleNs = 20 * msNs;

volatile sig_atomic_t interrupted = 0;

void onSignal(int) {
    interrupted = 1;
}

struct Interrupted : std::runtime_error {
    Interrupted() : std::runtime_error("interrupted") {}
};

void checkInterrupted() {
    if (interrupted) {
        throw Interrupted();
    }
}

struct Options {
    std::string program = PULSEWARD_PROGRAM;
    double seconds = 60;
    double idleSeconds = 30;
    double settleSeconds = 2;         // after the stopped program's window is mapped
    double desktopSettleSeconds = 1;  // after openbox is up
    int minPresses = 0;  // a window goes on (15 s at most) until this many presses were seen
    std::string json;
    std::string svg;
    std::string events;  // CSV of every key event taken in, for a closer look
    std::set<std::string> only;
    bool smoke = false;
    bool keep = false;
    bool warmUp = true;
    std::string commandLine;
};

const std::set<std::string> allModes = {"program",        "program-behind", "shell-loop",
                                        "xdotool-repeat", "reference",      "stopped",
                                        "program-sway"};
// Measured only when asked for: it needs sway, swayidle and XWayland.
const std::set<std::string> defaultModes = {"program",        "program-behind", "shell-loop",
                                            "xdotool-repeat", "reference",      "stopped"};

[[noreturn]] void usage(const std::string& problem) {
    if (!problem.empty()) {
        std::cerr << "pulseward_bench: " << problem << "\n";
    }
    std::cerr << "usage: pulseward_bench [--program PATH] [--seconds N] [--idle-seconds N]\n"
                 "                       [--json FILE] [--svg FILE] [--events FILE] [--smoke]\n"
                 "                       [--no-warm-up] [--keep]\n"
                 "                       [--only program,program-behind,shell-loop,xdotool-repeat,"
                 "reference,stopped,\n"
                 "                              program-sway]\n";
    std::exit(2);
}

Options parse(int argc, char** argv) {
    Options o;
    for (int i = 0; i < argc; ++i) {
        if (i > 0) {
            o.commandLine += ' ';
        }
        o.commandLine += argv[i];
    }
    const auto value = [&](int& i) -> std::string {
        if (i + 1 >= argc) {
            usage(std::string(argv[i]) + " needs a value");
        }
        return argv[++i];
    };
    const auto seconds = [&](int& i) {
        const std::string text = value(i);
        char* end = nullptr;
        const double v = std::strtod(text.c_str(), &end);
        if (!end || *end || !(v > 0)) {
            usage("not a positive number of seconds: " + text);
        }
        return v;
    };
    bool secondsGiven = false, idleGiven = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--program") {
            o.program = value(i);
        } else if (arg == "--seconds") {
            o.seconds = seconds(i);
            secondsGiven = true;
        } else if (arg == "--idle-seconds") {
            o.idleSeconds = seconds(i);
            idleGiven = true;
        } else if (arg == "--json") {
            o.json = value(i);
        } else if (arg == "--svg") {
            o.svg = value(i);
        } else if (arg == "--events") {
            o.events = value(i);
        } else if (arg == "--only") {
            std::stringstream list(value(i));
            std::string mode;
            while (std::getline(list, mode, ',')) {
                if (!allModes.count(mode)) {
                    usage("unknown subject: " + mode);
                }
                o.only.insert(mode);
            }
        } else if (arg == "--smoke") {
            o.smoke = true;
        } else if (arg == "--keep") {
            o.keep = true;
        } else if (arg == "--no-warm-up") {
            o.warmUp = false;
        } else if (arg == "--help" || arg == "-h") {
            usage("");
        } else {
            usage("unknown argument: " + arg);
        }
    }
    if (o.smoke) {
        // Only that every figure comes out: short windows, each long enough for three presses.
        o.seconds = secondsGiven ? o.seconds : 2.3;
        o.idleSeconds = idleGiven ? o.idleSeconds : 1.5;
        o.settleSeconds = 0.3;
        o.desktopSettleSeconds = 0.2;
        o.warmUp = false;
        o.minPresses = 3;
    }
    if (o.only.empty()) {
        o.only = defaultModes;
    }
    return o;
}

std::string selfPath() {
    char buffer[4096];
    const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) {
        throw std::runtime_error("cannot find our own executable");
    }
    return std::string(buffer, static_cast<size_t>(n));
}

std::string trimmed(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) {
        text.pop_back();
    }
    return text;
}

Machine describeMachine() {
    Machine m;
    m.cpus = static_cast<int>(sysconf(_SC_NPROCESSORS_ONLN));
    std::istringstream cpuinfo(readFile("/proc/cpuinfo"));
    std::string line;
    while (std::getline(cpuinfo, line)) {
        if (line.rfind("model name", 0) == 0 && line.find(':') != std::string::npos) {
            m.cpuModel = line.substr(line.find(':') + 2);
            break;
        }
    }
    utsname name{};
    if (uname(&name) == 0) {
        m.kernel = name.release;
    }
    m.loadBefore = trimmed(readFile("/proc/loadavg"));
    char when[64];
    const time_t now = time(nullptr);
    tm utc{};
    gmtime_r(&now, &utc);
    strftime(when, sizeof when, "%Y-%m-%d %H:%M:%S UTC", &utc);
    m.when = when;
    return m;
}

std::string tail(const std::string& path) {
    const std::string text = readFile(path);
    return text.size() > 2000 ? "..." + text.substr(text.size() - 2000) : text;
}

// A fresh settings store for one run of the program.
std::string freshConfig(const std::string& workDir, const std::string& name,
                        const std::string& settings) {
    const std::string dir = workDir + "/" + name + "-config";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    if (!settings.empty()) {
        std::ofstream(dir + "/" + settingsFile) << "[Settings]\n" << settings;
    }
    return dir;
}

struct SubjectSetup {
    std::string id;
    std::string label;
    std::string command;
    SpawnOptions spawn;
    bool isProgram = false;
    // Another window has the front and the keyboard focus and reads the keys, as the window
    // being worked in does: from the start, or for the program once its own window is mapped.
    bool behindAnotherWindow = false;
    // Whether /proc/<pid>/schedstat of its own threads holds all its work (false for a shell
    // whose work is done by its children, which wait4 counts once they are reaped).
    bool selfContained = true;
    double stopGraceSeconds = 2;
};

struct FirstPress {
    pid_t pid = -1;
    bool seen = false;
    ProcessSample sample;
};

void firstPressHook(void* context) {
    auto* first = static_cast<FirstPress*>(context);
    first->seen = true;
    if (first->pid > 0) {
        first->sample = sampleProcess(first->pid);
    }
}

int pollTimeoutMs(long long untilNs) {
    const long long remaining = untilNs - monotonicNs();
    return remaining <= 0 ? 0 : static_cast<int>((remaining + msNs - 1) / msNs);
}

int countPresses(const std::vector<KeyEvent>& keys) {
    return static_cast<int>(
        std::count_if(keys.begin(), keys.end(), [](const KeyEvent& k) { return k.press; }));
}

// The window being worked in, a key reader of ours (--key-reader) in a process of its own.
class WindowInFront {
  public:
    explicit WindowInFront(const SpawnOptions& subject) {
        SpawnOptions s = subject;
        s.argv = {selfPath(), "--key-reader"};
        s.logFile = subject.logFile + ".front";
        logFile_ = s.logFile;
        pid_ = spawn(s);
    }
    ~WindowInFront() {
        if (pid_ > 0) {
            stopAndReap(pid_, SIGTERM, 2);
        }
    }
    WindowInFront(const WindowInFront&) = delete;
    WindowInFront& operator=(const WindowInFront&) = delete;

    // The key events it read; -1 when it did not say.
    long stop() {
        stopAndReap(pid_, SIGTERM, 2);
        pid_ = -1;
        const std::string log = readFile(logFile_);
        const std::string label = "key events read: ";
        const size_t at = log.rfind(label);
        return at == std::string::npos ? -1 : std::atol(log.c_str() + at + label.size());
    }

  private:
    pid_t pid_ = -1;
    std::string logFile_;
};

SubjectResult measure(Observer& observer, const Options& options, const SubjectSetup& setup) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    std::cerr << "measuring " << setup.label << " for " << options.seconds << " s ..." << std::endl;
    observer.reset(setup.isProgram ? windowName : "");
    std::optional<WindowInFront> front;
    if (setup.behindAnotherWindow && !setup.isProgram) {
        // In front before the first press, or that press would go to no one.
        front.emplace(setup.spawn);
        for (const long long until = monotonicNs() + 10'000'000'000LL;
             observer.focusedWindowName() != frontWindowName;) {
            checkInterrupted();
            if (monotonicNs() >= until) {
                throw std::runtime_error("the window in front did not get the keyboard focus");
            }
            observer.pump(20);
        }
    }
    const bool numLockBefore = observer.numLockOn();
    FirstPress first;
    observer.onFirstPress = firstPressHook;
    observer.onFirstPressContext = &first;

    const long long t0 = monotonicNs();
    first.pid = spawn(setup.spawn);
    const long long plannedEnd = t0 + static_cast<long long>(options.seconds * 1e9);
    const long long latestEnd = plannedEnd + 15'000'000'000LL;
    long long nextIdle = t0;
    long long nextRss = t0 + 1'000'000'000LL;
    long rssMax = -1;
    Reaped reaped;
    for (;;) {
        checkInterrupted();
        const long long now = monotonicNs();
        if (now >= plannedEnd &&
            (countPresses(observer.keys()) >= options.minPresses || now >= latestEnd)) {
            break;
        }
        if (!stillRunning(first.pid, &reaped)) {
            throw std::runtime_error(setup.label + " ended early:\n" + tail(setup.spawn.logFile));
        }
        if (now >= nextIdle) {
            observer.sampleIdle();
            nextIdle = std::max(nextIdle + idleSampleNs, now + idleSampleNs / 2);
        }
        if (setup.behindAnotherWindow && !front && observer.mappedAtNs()) {
            front.emplace(setup.spawn);
        }
        if (setup.isProgram && now >= nextRss) {
            rssMax = std::max(rssMax, residentKiB(first.pid));
            nextRss += 1'000'000'000LL;
        }
        observer.pump(pollTimeoutMs(std::min({nextIdle, nextRss, plannedEnd})));
    }
    const long long windowEnd = monotonicNs();
    const ProcessSample last = sampleProcess(first.pid);
    // A subject is not stopped while it holds Num Lock down: its last press keeps its release.
    for (const long long until = windowEnd + 2'000'000'000LL;
         !observer.keys().empty() && observer.keys().back().press && monotonicNs() < until;) {
        observer.pump(pollTimeoutMs(until));
    }
    reaped = stopAndReap(first.pid, SIGTERM, setup.stopGraceSeconds);
    const long long reapedAt = monotonicNs();
    observer.onFirstPress = nullptr;
    observer.pump(50);
    observer.releaseNumLockIfDown();
    const long frontKeyEvents = front ? front->stop() : -1;
    if (front) {
        std::cerr << "  the window in front read " << frontKeyEvents << " key events" << std::endl;
    }

    SubjectResult result;
    result.id = setup.id;
    result.label = setup.label;
    result.command = setup.command;
    result.windowSeconds = double(windowEnd - t0) / 1e9;
    result.frontKeyEvents = frontKeyEvents;

    // The window's presses, each with its release if that came at all.
    std::vector<KeyEvent> keys;
    for (const KeyEvent& key : observer.keys()) {
        if (key.press && key.arrivalNs >= windowEnd) {
            break;
        }
        keys.push_back(key);
    }
    result.pulse = analyse(keys, numLockBefore);
    if (!options.events.empty()) {
        std::ofstream csv(options.events, std::ios::app);
        for (const KeyEvent& key : observer.keys()) {
            csv << setup.id << ',' << (key.press ? "press" : "release") << ',' << key.serverMs
                << ',' << key.arrivalNs << ',' << (key.arrivalNs - t0) << ','
                << (key.numLockOn ? 1 : 0) << '\n';
        }
    }

    const auto firstPressAt =
        std::find_if(keys.begin(), keys.end(), [](const KeyEvent& k) { return k.press; });
    const long long pulsingFrom = firstPressAt == keys.end() ? windowEnd : firstPressAt->arrivalNs;
    result.idleSampleEveryMs = double(idleSampleNs) / 1e6;
    result.longestIdleMs = nan;
    for (const IdleSample& sample : observer.idle()) {
        if (sample.atNs >= pulsingFrom && sample.atNs <= windowEnd) {
            ++result.idleSamples;
            result.longestIdleMs = std::isfinite(result.longestIdleMs)
                                       ? std::max(result.longestIdleMs, double(sample.idleMs))
                                       : double(sample.idleMs);
        }
    }

    result.pulsingSeconds = double(windowEnd - pulsingFrom) / 1e9;
    result.cpuTotalMs = double(reaped.cpuNs) / 1e6;
    result.cpuTotalPercent = 100.0 * double(reaped.cpuNs) / double(reapedAt - t0);
    if (setup.selfContained && first.seen && first.sample.atNs > 0) {
        result.pulsingSeconds = double(last.atNs - first.sample.atNs) / 1e9;
        result.cpuPulsingMs = double(last.cpuNs - first.sample.cpuNs) / 1e6;
    } else {
        // A shell loop's work is in its short-lived children: all of it, start-up included.
        result.pulsingSeconds = double(reapedAt - t0) / 1e9;
        result.cpuPulsingMs = result.cpuTotalMs;
    }
    result.cpuPulsingPercent =
        result.pulsingSeconds > 0 ? 100.0 * result.cpuPulsingMs / 1e3 / result.pulsingSeconds : nan;

    result.launchToMappedMs = result.launchToFirstPressMs = nan;
    result.rssStartKiB = result.rssEndKiB = result.rssMaxKiB = nan;
    if (setup.isProgram) {
        if (observer.mappedAtNs()) {
            result.launchToMappedMs = double(*observer.mappedAtNs() - t0) / 1e6;
        }
        if (firstPressAt != keys.end()) {
            result.launchToFirstPressMs = double(firstPressAt->arrivalNs - t0) / 1e6;
        }
        if (first.seen && first.sample.rssKiB >= 0) {
            result.rssStartKiB = double(first.sample.rssKiB);
            rssMax = std::max(rssMax, first.sample.rssKiB);
        }
        if (last.rssKiB >= 0) {
            result.rssEndKiB = double(last.rssKiB);
            rssMax = std::max(rssMax, last.rssKiB);
        }
        result.rssMaxKiB = rssMax >= 0 ? double(rssMax) : nan;
        result.threads = static_cast<int>(last.threads.size());
    }
    return result;
}

StoppedResult measureStopped(Observer& observer, const Options& options,
                             const SpawnOptions& program) {
    std::cerr << "measuring the program stopped for " << options.idleSeconds << " s ..."
              << std::endl;
    StoppedResult result;
    observer.reset(windowName);
    const long long t0 = monotonicNs();
    const pid_t pid = spawn(program);
    Reaped reaped;
    const auto waitUntil = [&](long long until, bool untilMapped) {
        while (monotonicNs() < until && !(untilMapped && observer.mappedAtNs())) {
            checkInterrupted();
            if (!stillRunning(pid, &reaped)) {
                throw std::runtime_error("the stopped program ended early:\n" +
                                         tail(program.logFile));
            }
            observer.pump(std::min(pollTimeoutMs(until), 100));
        }
    };
    waitUntil(t0 + 20'000'000'000LL, true);
    if (!observer.mappedAtNs()) {
        stopAndReap(pid, SIGTERM, 2);
        throw std::runtime_error("the stopped program's window was not mapped");
    }
    result.launchToMappedMs = double(*observer.mappedAtNs() - t0) / 1e6;
    waitUntil(monotonicNs() + static_cast<long long>(options.settleSeconds * 1e9), false);

    const size_t keysBefore = observer.keys().size();
    const ProcessSample a = sampleProcess(pid);
    // Every 100 ms: which thread woke, and when (reading /proc does not wake the program).
    ProcessSample previous = a;
    const long long end = a.atNs + static_cast<long long>(options.idleSeconds * 1e9);
    while (monotonicNs() < end) {
        waitUntil(std::min(end, monotonicNs() + 100'000'000LL), false);
        ProcessSample now = sampleProcess(pid);
        for (const ThreadSample& thread : now.threads) {
            const auto before =
                std::find_if(previous.threads.begin(), previous.threads.end(),
                             [&](const ThreadSample& x) { return x.tid == thread.tid; });
            const long long woke =
                thread.voluntary + thread.involuntary -
                (before == previous.threads.end() ? 0 : before->voluntary + before->involuntary);
            if (woke > 0) {
                result.wakeups.push_back(
                    {double(now.atNs - *observer.mappedAtNs()) / 1e9, thread.name, woke});
            }
        }
        previous = std::move(now);
    }
    const ProcessSample b = sampleProcess(pid);
    std::vector<KeyEvent> during(observer.keys().begin() + long(keysBefore), observer.keys().end());
    result.presses = countPresses(during);
    stopAndReap(pid, SIGTERM, 2);

    const double seconds = double(b.atNs - a.atNs) / 1e9;
    result.seconds = seconds;
    result.cpuMs = double(b.cpuNs - a.cpuNs) / 1e6;
    result.cpuPercent = 100.0 * result.cpuMs / 1e3 / seconds;
    result.wakeupsPerSecond =
        double((b.voluntary + b.involuntary) - (a.voluntary + a.involuntary)) / seconds;
    result.timeslicesPerSecond = double(b.timeslices - a.timeslices) / seconds;
    result.rssKiB = double(b.rssKiB);
    for (const ThreadSample& after : b.threads) {
        ThreadWakeups t;
        t.name = after.name;
        t.tid = after.tid;
        const auto before = std::find_if(a.threads.begin(), a.threads.end(),
                                         [&](const ThreadSample& x) { return x.tid == after.tid; });
        const ThreadSample zero;
        const ThreadSample& from = before == a.threads.end() ? zero : *before;
        t.wakeupsPerSecond =
            double((after.voluntary + after.involuntary) - (from.voluntary + from.involuntary)) /
            seconds;
        t.timeslicesPerSecond = double(after.timeslices - from.timeslices) / seconds;
        t.cpuMs = double(after.cpuNs - from.cpuNs) / 1e6;
        result.threads.push_back(t);
    }
    return result;
}

void printTargets(std::ostream& out, const RunResult& run) {
    const SubjectResult* p = nullptr;
    for (const auto& s : run.subjects) {
        if (s.id == "program") {
            p = &s;
        }
    }
    const auto line = [&](bool met, const std::string& what, const std::string& seen) {
        out << "  " << (met ? "met    " : "MISSED ") << what << ": " << seen << "\n";
    };
    const auto fmt = [](double v, int decimals) {
        std::ostringstream s;
        s.setf(std::ios::fixed);
        s.precision(decimals);
        s << v;
        return s.str();
    };
    const auto longHolds = [](const SubjectResult& subject) {
        return std::to_string(subject.pulse.holdsOver1MsServer) + " of " +
               std::to_string(subject.pulse.presses);
    };
    out << "\nTargets (the program):\n";
    if (p) {
        const PulseStats& s = p->pulse;
        line(std::fabs(s.interval.median - periodMs) <= 1, "median interval 750 +/- 1 ms",
             fmt(s.interval.median, 3) + " ms");
        line(s.absDeviation.p99 <= 3, "p99 |interval - 750| <= 3 ms",
             fmt(s.absDeviation.p99, 3) + " ms");
        line(std::fabs(s.driftPercent) <= 0.02, "drift within +/-0.02 %",
             fmt(s.driftPercent, 4) + " % (" + fmt(s.driftMs, 2) + " ms over " +
                 fmt(p->pulsingSeconds, 0) + " s)");
        line(s.notFlipped == 0 && s.presses > 0, "every press flips Num Lock",
             std::to_string(s.notFlipped) + " of " + std::to_string(s.presses) + " did not");
        // Whole server milliseconds: a difference of at most 1 means less than 2 ms. Our arrival
        // clock adds our own wake-up delay whenever press and release reach us separately.
        // The server hands a press to the focused window's client before it takes the release,
        // and so holds stretch for every subject alike: the reference's count is beside ours.
        std::string seen = "max " + fmt(s.holdServer.max, 0) + " ms on the server clock, " +
                           fmt(s.hold.max, 3) + " ms on arrival; " + longHolds(*p) +
                           " stamped 2 ms or more";
        for (const auto& r : run.subjects) {
            if (r.id == "reference") {
                seen += " (reference: " + longHolds(r) + ")";
            }
        }
        line(s.holdServer.max <= 1, "hold under 2 ms (server clock)", seen);
        const double idle = std::max(p->longestIdleMs, s.longestInputGapMs);
        line(idle < 800, "longest X idle while pulsing under 800 ms",
             fmt(p->longestIdleMs, 0) + " ms sampled, " + fmt(s.longestInputGapMs, 0) +
                 " ms longest input gap");
        line(p->cpuPulsingPercent <= 0.05, "CPU while pulsing <= 0.05 % of a core",
             fmt(p->cpuPulsingPercent, 4) + " %");
        line(p->rssEndKiB - p->rssStartKiB < 256 && p->rssMaxKiB <= 30 * 1024,
             "VmRSS flat (growth < 256 KiB) and <= 30 MiB",
             fmt(p->rssStartKiB, 0) + " -> " + fmt(p->rssEndKiB, 0) + " KiB, max " +
                 fmt(p->rssMaxKiB, 0) + " KiB over " + fmt(p->windowSeconds, 0) + " s");
        line(p->launchToMappedMs < 250, "launch to mapped window under 250 ms",
             fmt(p->launchToMappedMs, 1) + " ms");
    }
    for (const auto& s : run.subjects) {
        if (s.id == "program-behind") {
            line(s.cpuPulsingPercent <= 0.05, "behind another window: CPU while pulsing <= 0.05 %",
                 fmt(s.cpuPulsingPercent, 4) + " %");
            line(s.pulse.holdServer.max <= 1, "behind another window: hold under 2 ms",
                 "max " + fmt(s.pulse.holdServer.max, 0) + " ms on the server clock; " +
                     longHolds(s) + " stamped 2 ms or more");
        }
    }
    for (const auto& s : run.subjects) {
        if (s.id == "program-sway") {
            const PulseStats& w = s.pulse;
            line(std::fabs(w.interval.median - periodMs) <= 1,
                 "on sway: median interval 750 +/- 1 ms", fmt(w.interval.median, 3) + " ms");
            line(w.absDeviation.p99 <= 3, "on sway: p99 |interval - 750| <= 3 ms",
                 fmt(w.absDeviation.p99, 3) + " ms");
            line(std::fabs(w.driftPercent) <= 0.02, "on sway: drift within +/-0.02 %",
                 fmt(w.driftPercent, 4) + " % (" + fmt(w.driftMs, 2) + " ms over " +
                     fmt(s.pulsingSeconds, 0) + " s)");
            line(w.notFlipped == 0 && w.presses > 0, "on sway: every press flips Num Lock",
                 std::to_string(w.notFlipped) + " of " + std::to_string(w.presses) + " did not");
            line(s.cpuPulsingPercent <= 0.05, "on sway: CPU while pulsing <= 0.05 % of a core",
                 fmt(s.cpuPulsingPercent, 4) + " %");
        }
    }
    if (run.haveStopped) {
        out << "  (stopped) wake-ups " << fmt(run.stopped.wakeupsPerSecond, 2) << " /s, CPU "
            << fmt(run.stopped.cpuPercent, 5) << " %, presses " << run.stopped.presses << "\n";
    }
}

// Every subject on an X server of its own with openbox.
void measureOnX(const Options& options, RunResult& run, const std::string& work) {
    Desktop desktop(work);
    std::cerr << "X server " << desktop.display() << " with openbox (work folder " << work << ")"
              << std::endl;
    Observer observer(desktop.display());
    // openbox goes on setting itself up for a moment after it announces itself; the first
    // subject's start-up should not share the processor with that.
    for (const long long until =
             monotonicNs() + static_cast<long long>(options.desktopSettleSeconds * 1e9);
         monotonicNs() < until;) {
        checkInterrupted();
        observer.pump(pollTimeoutMs(until));
    }
    const std::string runtimeDir = work + "/runtime";
    std::filesystem::create_directories(runtimeDir);
    std::filesystem::permissions(runtimeDir, std::filesystem::perms::owner_all);
    const auto baseSpawn = [&](const std::string& name) {
        SpawnOptions s;
        s.setEnv = {{"DISPLAY", desktop.display()}, {"XDG_RUNTIME_DIR", runtimeDir}};
        s.unsetEnv = {"WAYLAND_DISPLAY", "QT_QPA_PLATFORM"};
        s.logFile = work + "/" + name + ".log";
        return s;
    };
    const std::string shellLoop = "while :; do xdotool key Num_Lock; sleep 0.75; done";
    const int repeats =
        static_cast<int>(std::ceil(options.seconds / 0.75)) + 2 + options.minPresses;

    std::vector<SubjectSetup> setups;
    if (options.only.count("program")) {
        SubjectSetup s{"program", "program", run.program, baseSpawn("program")};
        s.spawn.argv = {run.program};
        s.spawn.setEnv["XDG_CONFIG_HOME"] = freshConfig(work, "program", "");
        s.isProgram = true;
        setups.push_back(s);
    }
    if (options.only.count("program-behind")) {
        // Where the program mostly is while it pulses: behind the window being worked in,
        // which gets the key presses instead of the program.
        SubjectSetup s{"program-behind", "program, behind", run.program,
                       baseSpawn("program-behind")};
        s.spawn.argv = {run.program};
        s.spawn.setEnv["XDG_CONFIG_HOME"] = freshConfig(work, "program-behind", "");
        s.isProgram = true;
        s.behindAnotherWindow = true;
        setups.push_back(s);
    }
    if (options.only.count("shell-loop")) {
        SubjectSetup s{"shell-loop", "shell loop", shellLoop, baseSpawn("shell-loop")};
        // The trap lets the shell end between two commands, so wait4 counts every child.
        s.spawn.argv = {"bash", "-c", "trap 'exit 0' TERM; " + shellLoop};
        s.selfContained = false;
        s.stopGraceSeconds = 3;
        s.behindAnotherWindow = true;
        setups.push_back(s);
    }
    if (options.only.count("xdotool-repeat")) {
        const std::string n = std::to_string(repeats);
        SubjectSetup s{"xdotool-repeat", "xdotool --repeat",
                       "xdotool key --repeat " + n + " --delay 750 Num_Lock",
                       baseSpawn("xdotool-repeat")};
        s.spawn.argv = {"xdotool", "key", "--repeat", n, "--delay", "750", "Num_Lock"};
        s.behindAnotherWindow = true;
        setups.push_back(s);
    }
    if (options.only.count("reference")) {
        SubjectSetup s{"reference", "reference",
                       "XTest press+release at absolute 750 ms deadlines "
                       "(clock_nanosleep TIMER_ABSTIME)",
                       baseSpawn("reference")};
        s.spawn.argv = {selfPath(), "--reference-injector"};
        s.behindAnotherWindow = true;
        setups.push_back(s);
    }
    if (options.warmUp) {
        // A fresh X server is slow the first time it passes a key event to a client such as
        // ours (the program's first press then reaches it 3-5 ms late; a second program on
        // the same server shows nothing of the kind). A desktop's server has long been warm,
        // so the program runs once, unmeasured, for two presses first.
        Options warm = options;
        warm.seconds = 1.7;
        warm.minPresses = 2;
        SubjectSetup setup{"warm-up", "warm-up run of the program", run.program,
                           baseSpawn("warm-up")};
        setup.spawn.argv = {run.program};
        setup.spawn.setEnv["XDG_CONFIG_HOME"] = freshConfig(work, "warm-up", "");
        setup.isProgram = true;
        measure(observer, warm, setup);
    }
    for (const SubjectSetup& setup : setups) {
        run.subjects.push_back(measure(observer, options, setup));
    }
    if (options.only.count("stopped")) {
        SpawnOptions s = baseSpawn("stopped");
        s.argv = {run.program};
        s.setEnv["XDG_CONFIG_HOME"] = freshConfig(work, "stopped", "AUTOSTART_TICKBOX=0\n");
        run.stopped = measureStopped(observer, options, s);
        run.haveStopped = true;
    }
}

int runBenchmark(const Options& options) {
    char workTemplate[] = "/tmp/pulseward-bench.XXXXXX";
    if (!mkdtemp(workTemplate)) {
        throw std::runtime_error("cannot make a work folder");
    }
    const std::string work = workTemplate;
    bool keepWork = options.keep;
    RunResult run;
    run.machine = describeMachine();
    run.program = std::filesystem::absolute(options.program).string();
    run.commandLine = options.commandLine;
    run.seconds = options.seconds;
    if (access(run.program.c_str(), X_OK) != 0) {
        throw std::runtime_error("no program to run at " + run.program);
    }
    try {
        if (options.only.count("program-sway")) {
            run.subjects.push_back(
                measureOnSway(run.program, PULSEWARD_KEY_CLIENT, options.seconds, work));
        }
        if (std::any_of(options.only.begin(), options.only.end(),
                        [](const std::string& mode) { return mode != "program-sway"; })) {
            measureOnX(options, run, work);
        }
    } catch (...) {
        std::cerr << "pulseward_bench: logs kept in " << work << "\n";
        throw;
    }
    run.machine.loadAfter = trimmed(readFile("/proc/loadavg"));

    std::cout << "\n";
    printTable(std::cout, run);
    printTargets(std::cout, run);
    std::cout << "\nReproduce: " << options.commandLine << "\n";

    const auto writeTo = [](const std::string& path, auto writer) {
        std::ofstream out(path);
        writer(out);
        if (!out) {
            throw std::runtime_error("cannot write " + path);
        }
    };
    std::string json = options.json, svg = options.svg;
    if (options.smoke) {
        json = json.empty() ? work + "/smoke.json" : json;
        svg = svg.empty() ? work + "/smoke.svg" : svg;
    }
    if (!json.empty()) {
        writeTo(json, [&](std::ostream& out) { writeJson(out, run); });
    }
    if (!svg.empty()) {
        writeTo(svg, [&](std::ostream& out) { writeSvg(out, run); });
    }

    int status = 0;
    if (options.smoke) {
        std::vector<std::string> missing = missingFigures(run);
        for (const auto& mode : allModes) {
            const bool measured =
                mode == "stopped"
                    ? run.haveStopped
                    : std::any_of(run.subjects.begin(), run.subjects.end(),
                                  [&](const SubjectResult& s) { return s.id == mode; });
            if (options.only.count(mode) && !measured) {
                missing.push_back(mode + ": not measured");
            }
        }
        for (const auto& path : {json, svg}) {
            if (std::filesystem::file_size(path) == 0) {
                missing.push_back(path + " is empty");
            }
        }
        if (missing.empty()) {
            std::cout << "\nsmoke: every figure was produced\n";
        } else {
            std::cout << "\nsmoke: missing figures:\n";
            for (const auto& m : missing) {
                std::cout << "  " << m << "\n";
            }
            status = 1;
            keepWork = true;
        }
    }
    if (keepWork) {
        std::cerr << "work folder kept: " << work << "\n";
    } else {
        std::filesystem::remove_all(work);
    }
    return status;
}

// The window being worked in: it has the keyboard focus and reads every key, as an editor would,
// so the server hands each press to a client while it goes on to the release. Says how many key
// events it read when it is told to end.
int runKeyReader() {
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::cerr << "key reader: cannot open the display\n";
        return 1;
    }
    const Window root = DefaultRootWindow(display);
    const Window window = XCreateSimpleWindow(display, root, 0, 0, 320, 240, 0, 0, 0xFFFFFF);
    XStoreName(display, window, frontWindowName);
    XSelectInput(display, window, KeyPressMask | KeyReleaseMask);
    XMapRaised(display, window);
    // A request from a pager (source 2), which the window manager carries out at once.
    XEvent message{};
    message.xclient.type = ClientMessage;
    message.xclient.window = window;
    message.xclient.message_type = XInternAtom(display, "_NET_ACTIVE_WINDOW", False);
    message.xclient.format = 32;
    message.xclient.data.l[0] = 2;
    message.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, root, False, SubstructureRedirectMask | SubstructureNotifyMask, &message);
    XFlush(display);

    sigset_t term, waiting;
    sigemptyset(&term);
    sigaddset(&term, SIGTERM);
    sigprocmask(SIG_BLOCK, &term, &waiting);
    sigdelset(&waiting, SIGTERM);
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigaction(SIGTERM, &action, nullptr);
    long keys = 0;
    while (!interrupted) {
        while (XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
            keys += event.type == KeyPress || event.type == KeyRelease;
        }
        pollfd socket{ConnectionNumber(display), POLLIN, 0};
        ppoll(&socket, 1, nullptr, &waiting);
    }
    std::cout << "key events read: " << keys << std::endl;
    XCloseDisplay(display);
    return 0;
}

// The physical limit: a press and release at absolute deadlines 750 ms apart, nothing else.
int runReferenceInjector() {
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::cerr << "reference injector: cannot open the display\n";
        return 1;
    }
    const KeyCode numLock = XKeysymToKeycode(display, XK_Num_Lock);
    int event = 0, error = 0, major = 0, minor = 0;
    if (numLock == 0 || !XTestQueryExtension(display, &event, &error, &major, &minor)) {
        std::cerr << "reference injector: no XTest or no Num Lock key\n";
        return 1;
    }
    timespec due{};
    clock_gettime(CLOCK_MONOTONIC, &due);
    for (;;) {
        sleepToNextDeadline(due, 750 * msNs);
        XTestFakeKeyEvent(display, numLock, True, CurrentTime);
        XTestFakeKeyEvent(display, numLock, False, CurrentTime);
        XSync(display, False);
    }
}

}  // namespace
}  // namespace bench

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--reference-injector") == 0) {
        return bench::runReferenceInjector();
    }
    if (argc == 2 && std::strcmp(argv[1], "--key-reader") == 0) {
        return bench::runKeyReader();
    }
    const bench::Options options = bench::parse(argc, argv);
    struct sigaction action {};
    action.sa_handler = bench::onSignal;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    signal(SIGPIPE, SIG_IGN);
    try {
        return bench::runBenchmark(options);
    } catch (const std::exception& error) {
        std::cerr << "pulseward_bench: " << error.what() << "\n";
        return 1;
    }
}
