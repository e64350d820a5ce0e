#include "SubjectSetup.h"

#include <signal.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iostream>
#include <limits>
#include <optional>
#include <stdexcept>
#include <vector>

#include "Interrupted.h"
#include "WindowInFront.h"

namespace bench {

namespace {

constexpr long long idleSampleNs = 20'000'000;

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

}  // namespace

SubjectResult measureSubject(Observer& observer, const Options& options,
                             const SubjectSetup& setup) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    std::cerr << "measuring " << setup.label << " for " << options.seconds << " s ..." << std::endl;
    observer.reset(setup.isProgram ? programWindowName : "");
    std::optional<WindowInFront> front;
    if (setup.behindAnotherWindow && !setup.isProgram) {
        // In front before the first press, or that press would go to no one.
        front.emplace(setup.spawn);
        for (const long long until = monotonicNs() + 10'000'000'000LL;
             observer.focusedWindowName() != WindowInFront::name;) {
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

}  // namespace bench
