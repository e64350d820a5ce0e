#pragma once

// Child processes of the benchmark and what /proc says about them.

#include <sys/types.h>
#include <time.h>

#include <map>
#include <string>
#include <vector>

namespace bench {

// CLOCK_MONOTONIC, nanoseconds.
long long monotonicNs();

// Milliseconds from now until a CLOCK_MONOTONIC time, rounded up; 0 once it has passed.
int pollTimeoutMs(long long untilNs);

// Moves an absolute CLOCK_MONOTONIC deadline on by the period and sleeps until it: a schedule
// that late wake-ups do not push back.
void sleepToNextDeadline(timespec& due, long long periodNs);

struct SpawnOptions {
    std::vector<std::string> argv;
    // Set (or, with an empty value and unset=true, removed) on top of our own environment.
    std::map<std::string, std::string> setEnv;
    std::vector<std::string> unsetEnv;
    // Standard output and error go to this file (appended); empty: /dev/null.
    std::string logFile;
    // This descriptor of ours becomes the child's descriptor 3 (for Xvfb's -displayfd).
    int passAsFd3 = -1;
};

// Starts a program in a process group of its own that dies with us. Throws on failure.
pid_t spawn(const SpawnOptions& options);

// How a reaped child ended and the processor time it and its waited-for children used.
struct Reaped {
    bool exited = false;
    int status = 0;  // raw wait status
    long long cpuNs = 0;
};

// Sends `signal` to the child, waits up to graceSeconds for it to end, then kills its whole
// process group, and reaps it.
Reaped stopAndReap(pid_t pid, int signal, double graceSeconds);

// True while the child has not ended; reaps it (and fills `reaped`) when it has.
bool stillRunning(pid_t pid, Reaped* reaped);

// One thread's counters from /proc/<pid>/task/<tid>/.
struct ThreadSample {
    int tid = 0;
    std::string name;
    long long cpuNs = 0;        // schedstat: time on the processor
    long long timeslices = 0;   // schedstat: number of times it was put on a processor
    long long voluntary = 0;    // status: voluntary_ctxt_switches (it blocked, then woke)
    long long involuntary = 0;  // status: nonvoluntary_ctxt_switches
};

// The whole process: its threads' counters summed, and its resident memory.
struct ProcessSample {
    long long atNs = 0;
    long long cpuNs = 0;
    long long timeslices = 0;
    long long voluntary = 0;
    long long involuntary = 0;
    long rssKiB = -1;
    std::vector<ThreadSample> threads;
};

// Empty threads and rssKiB -1 when the process is gone.
ProcessSample sampleProcess(pid_t pid);

// VmRSS in KiB, -1 when unreadable.
long residentKiB(pid_t pid);

std::string readFile(const std::string& path);

// The last 2000 characters of a file (a child's log), for a message.
std::string tail(const std::string& path);

// Our own executable, which runs the benchmark's helper processes.
std::string selfPath();

}  // namespace bench
