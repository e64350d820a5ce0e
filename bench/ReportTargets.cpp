#include "ReportTargets.h"

#include <algorithm>
#include <cmath>
#include <sstream>
#include <string>

namespace bench {

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

}  // namespace bench
