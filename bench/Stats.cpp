#include "Stats.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

namespace bench {

int countPresses(const std::vector<KeyEvent>& keys) {
    return static_cast<int>(
        std::count_if(keys.begin(), keys.end(), [](const KeyEvent& k) { return k.press; }));
}

Distribution distribution(std::vector<double> values) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    if (values.empty()) {
        return {nan, nan, nan, nan, nan};
    }
    std::sort(values.begin(), values.end());
    const auto rank = [&](double p) {
        const auto n = static_cast<double>(values.size());
        const auto index = static_cast<size_t>(std::max(1.0, std::ceil(p * n))) - 1;
        return values[std::min(index, values.size() - 1)];
    };
    const double mean =
        std::accumulate(values.begin(), values.end(), 0.0) / static_cast<double>(values.size());
    return {values.front(), rank(0.5), rank(0.99), values.back(), mean};
}

PulseStats analyse(const std::vector<KeyEvent>& events, bool numLockBefore) {
    PulseStats stats;
    constexpr long long msNs = 1'000'000;
    long long offsetNs = std::numeric_limits<long long>::max();
    for (const KeyEvent& event : events) {
        offsetNs =
            std::min(offsetNs, event.arrivalNs - static_cast<long long>(event.serverMs) * msNs);
    }
    const auto at = [&](const KeyEvent& event) {
        return std::min(event.arrivalNs,
                        static_cast<long long>(event.serverMs) * msNs + offsetNs + msNs);
    };
    for (const KeyEvent& event : events) {
        stats.lateArrivals += at(event) < event.arrivalNs ? 1 : 0;
    }
    std::vector<double> holds, holdsServer, intervalsUnbounded;
    const KeyEvent* previousPress = nullptr;
    bool state = numLockBefore;
    double longestGap = 0;
    const KeyEvent* previousEvent = nullptr;
    for (size_t i = 0; i < events.size(); ++i) {
        const KeyEvent& event = events[i];
        if (previousEvent) {
            longestGap = std::max(
                longestGap, static_cast<double>(event.serverMs) - double(previousEvent->serverMs));
        }
        // Gaps count from the first press on: before it the subject was still starting.
        if (event.press || previousEvent) {
            previousEvent = &event;
        }
        if (!event.press) {
            continue;
        }
        ++stats.presses;
        if (previousPress) {
            stats.intervalsMs.push_back(double(at(event) - at(*previousPress)) / 1e6);
            intervalsUnbounded.push_back(double(event.arrivalNs - previousPress->arrivalNs) / 1e6);
            stats.intervalsServerMs.push_back(double(event.serverMs) -
                                              double(previousPress->serverMs));
        }
        previousPress = &event;
        // Its release is the next Num Lock event if that is a release.
        const KeyEvent* release =
            i + 1 < events.size() && !events[i + 1].press ? &events[i + 1] : nullptr;
        if (release) {
            holds.push_back(double(at(*release) - at(event)) / 1e6);
            holdsServer.push_back(double(release->serverMs) - double(event.serverMs));
            if (release->serverMs > event.serverMs + 1) {
                ++stats.holdsOver1MsServer;
            }
        } else {
            ++stats.pressesWithoutRelease;
        }
        const bool after = release ? release->numLockOn : event.numLockOn;
        if (after == state) {
            ++stats.notFlipped;
        }
        state = after;
    }
    stats.longestInputGapMs = longestGap;

    const auto deviations = [](const std::vector<double>& intervals) {
        std::vector<double> result;
        for (const double interval : intervals) {
            result.push_back(std::fabs(interval - periodMs));
        }
        return result;
    };
    stats.interval = distribution(stats.intervalsMs);
    stats.intervalServer = distribution(stats.intervalsServerMs);
    stats.absDeviation = distribution(deviations(stats.intervalsMs));
    stats.absDeviationUnbounded = distribution(deviations(intervalsUnbounded));
    for (const double deviation : deviations(stats.intervalsMs)) {
        stats.intervalsOff3Ms += deviation > 3 ? 1 : 0;
    }
    stats.absDeviationServer = distribution(deviations(stats.intervalsServerMs));
    stats.hold = distribution(holds);
    stats.holdServer = distribution(holdsServer);

    const auto drift = [](const std::vector<double>& intervals, double& ms, double& percent) {
        if (intervals.empty()) {
            ms = percent = std::numeric_limits<double>::quiet_NaN();
            return;
        }
        const double total = std::accumulate(intervals.begin(), intervals.end(), 0.0);
        const double planned = periodMs * static_cast<double>(intervals.size());
        ms = total - planned;
        percent = 100.0 * ms / planned;
    };
    drift(stats.intervalsMs, stats.driftMs, stats.driftPercent);
    drift(stats.intervalsServerMs, stats.driftServerMs, stats.driftServerPercent);
    return stats;
}

}  // namespace bench
