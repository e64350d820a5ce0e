#include "Stopped.h"

#include <signal.h>

#include <algorithm>
#include <iostream>
#include <stdexcept>
#include <vector>

#include "Interrupted.h"
#include "SubjectSetup.h"

namespace bench {

StoppedResult measureStopped(Observer& observer, const Options& options,
                             const SpawnOptions& program) {
    std::cerr << "measuring the program stopped for " << options.idleSeconds << " s ..."
              << std::endl;
    StoppedResult result;
    observer.reset(programWindowName);
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

}  // namespace bench
