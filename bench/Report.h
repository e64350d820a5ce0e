#pragma once

// What one benchmark run found. It is shown as a table (ReportTable.h), the targets met or missed
// (ReportTargets.h), JSON (ReportJson.h) and an SVG plot (ReportSvg.h).

#include <string>
#include <vector>

#include "Stats.h"

namespace bench {

// One subject that pulses Num Lock, measured for the same time as the others.
struct SubjectResult;
// The program itself, in front or behind another window (not a baseline).
bool isProgram(const SubjectResult& subject);

struct SubjectResult {
    std::string id;       // program, program-behind, shell-loop, xdotool-repeat, reference
    std::string label;    // column heading
    std::string command;  // what was run
    double windowSeconds = 0;
    PulseStats pulse;
    double longestIdleMs = 0;  // MIT-SCREEN-SAVER idle, sampled, from the first press on
    int idleSamples = 0;
    double idleSampleEveryMs = 0;
    double pulsingSeconds = 0;  // first press to the end of the window
    double cpuPulsingMs = 0;    // over pulsingSeconds
    double cpuPulsingPercent = 0;
    double cpuTotalMs = 0;  // from launch to exit, waited-for children included (wait4)
    double cpuTotalPercent = 0;
    // Only for the program; NaN for the others.
    double launchToMappedMs = 0;
    double launchToFirstPressMs = 0;
    double rssStartKiB = 0;  // at the first press
    double rssEndKiB = 0;    // at the end of the window
    double rssMaxKiB = 0;
    int threads = 0;
    // Key events the window in front read; -1 when the subject had no window in front.
    long frontKeyEvents = -1;
};

struct ThreadWakeups {
    std::string name;
    int tid = 0;
    double wakeupsPerSecond = 0;  // voluntary + involuntary context switches
    double timeslicesPerSecond = 0;
    double cpuMs = 0;
};

// Context switches of one thread seen within one 100 ms look.
struct WakeupSeen {
    double secondsAfterMapped = 0;
    std::string thread;
    long long count = 0;
};

// The program with its pulse stopped.
struct StoppedResult {
    double seconds = 0;
    double launchToMappedMs = 0;
    double cpuMs = 0;
    double cpuPercent = 0;
    double wakeupsPerSecond = 0;     // voluntary + involuntary context switches, all threads
    double timeslicesPerSecond = 0;  // schedstat run count, all threads
    double rssKiB = 0;
    int presses = 0;  // Num Lock presses seen while stopped (there should be none)
    std::vector<ThreadWakeups> threads;
    std::vector<WakeupSeen> wakeups;
};

struct Machine {
    int cpus = 0;
    std::string cpuModel;
    std::string kernel;
    std::string loadBefore;  // /proc/loadavg
    std::string loadAfter;
    std::string when;  // UTC
};

struct RunResult {
    Machine machine;
    std::string program;
    std::string commandLine;
    double seconds = 0;
    std::vector<SubjectResult> subjects;
    bool haveStopped = false;
    StoppedResult stopped;
};

// A figure with that many decimals; "-" when it is not finite.
std::string number(double value, int decimals);

}  // namespace bench
