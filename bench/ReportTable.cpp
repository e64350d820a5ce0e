#include "ReportTable.h"

#include <cmath>
#include <functional>
#include <iomanip>
#include <sstream>

namespace bench {

namespace {

struct Row {
    std::string name;
    int decimals;
    std::function<double(const SubjectResult&)> value;
    bool programOnly = false;
};

const std::vector<Row>& rows() {
    static const std::vector<Row> all = {
        {"presses", 0, [](const SubjectResult& s) { return double(s.pulse.presses); }},
        {"interval min (ms)", 3, [](const SubjectResult& s) { return s.pulse.interval.min; }},
        {"interval median (ms)", 3, [](const SubjectResult& s) { return s.pulse.interval.median; }},
        {"interval p99 (ms)", 3, [](const SubjectResult& s) { return s.pulse.interval.p99; }},
        {"interval max (ms)", 3, [](const SubjectResult& s) { return s.pulse.interval.max; }},
        {"|interval-750| mean (ms)", 3,
         [](const SubjectResult& s) { return s.pulse.absDeviation.mean; }},
        {"|interval-750| p99 (ms)", 3,
         [](const SubjectResult& s) { return s.pulse.absDeviation.p99; }},
        {"intervals off by more than 3 ms", 0,
         [](const SubjectResult& s) { return double(s.pulse.intervalsOff3Ms); }},
        {"unbounded: |interval-750| p99 (ms)", 3,
         [](const SubjectResult& s) { return s.pulse.absDeviationUnbounded.p99; }},
        {"events bounded by their stamp", 0,
         [](const SubjectResult& s) { return double(s.pulse.lateArrivals); }},
        {"server: interval median (ms)", 0,
         [](const SubjectResult& s) { return s.pulse.intervalServer.median; }},
        {"server: interval min..max (ms)", 0, nullptr},
        {"server: |interval-750| mean (ms)", 3,
         [](const SubjectResult& s) { return s.pulse.absDeviationServer.mean; }},
        {"server: |interval-750| p99 (ms)", 0,
         [](const SubjectResult& s) { return s.pulse.absDeviationServer.p99; }},
        {"drift (ms)", 3, [](const SubjectResult& s) { return s.pulse.driftMs; }},
        {"drift (%)", 4, [](const SubjectResult& s) { return s.pulse.driftPercent; }},
        {"server: drift (ms)", 0, [](const SubjectResult& s) { return s.pulse.driftServerMs; }},
        {"hold median (ms)", 3, [](const SubjectResult& s) { return s.pulse.hold.median; }},
        {"hold max (ms)", 3, [](const SubjectResult& s) { return s.pulse.hold.max; }},
        {"server: hold max (ms)", 0, [](const SubjectResult& s) { return s.pulse.holdServer.max; }},
        {"server: holds of 2 ms or more", 0,
         [](const SubjectResult& s) { return double(s.pulse.holdsOver1MsServer); }},
        {"presses not flipping Num Lock", 0,
         [](const SubjectResult& s) { return double(s.pulse.notFlipped); }},
        {"longest X idle, sampled (ms)", 0, [](const SubjectResult& s) { return s.longestIdleMs; }},
        {"longest input gap, server (ms)", 0,
         [](const SubjectResult& s) { return s.pulse.longestInputGapMs; }},
        {"CPU while pulsing (ms)", 2, [](const SubjectResult& s) { return s.cpuPulsingMs; }},
        {"CPU while pulsing (% of a core)", 4,
         [](const SubjectResult& s) { return s.cpuPulsingPercent; }},
        {"CPU launch to exit (ms)", 1, [](const SubjectResult& s) { return s.cpuTotalMs; }},
        {"launch to window mapped (ms)", 1,
         [](const SubjectResult& s) { return s.launchToMappedMs; }, true},
        {"launch to first press (ms)", 1,
         [](const SubjectResult& s) { return s.launchToFirstPressMs; }, true},
        {"VmRSS at first press (KiB)", 0, [](const SubjectResult& s) { return s.rssStartKiB; },
         true},
        {"VmRSS at end (KiB)", 0, [](const SubjectResult& s) { return s.rssEndKiB; }, true},
        {"VmRSS growth (KiB)", 0,
         [](const SubjectResult& s) { return s.rssEndKiB - s.rssStartKiB; }, true},
        {"VmRSS max (KiB)", 0, [](const SubjectResult& s) { return s.rssMaxKiB; }, true},
    };
    return all;
}

std::string shortName(const std::string& id) {
    if (id == "shell-loop")
        return "shell";
    if (id == "xdotool-repeat")
        return "repeat";
    if (id == "reference")
        return "ref";
    if (id == "program-behind")
        return "behind";
    if (id == "program-sway")
        return "sway";
    return id;
}

std::string ratio(double a, double b) {
    if (!std::isfinite(a) || !std::isfinite(b) || b == 0) {
        return "-";
    }
    std::ostringstream out;
    const double r = a / b;
    out << std::setprecision(r < 10 ? 3 : 4) << r;
    return out.str();
}

}  // namespace

void printTable(std::ostream& out, const RunResult& run) {
    const auto& subjects = run.subjects;
    const SubjectResult* program = nullptr;
    for (const auto& s : subjects) {
        if (s.id == "program") {
            program = &s;
        }
    }
    out << "Num Lock pulses over " << number(run.seconds, 1) << " s each, one after another; "
        << "times in ms on our CLOCK_MONOTONIC arrival clock unless marked \"server\";\n"
        << "an event's arrival counts at most until the end of the millisecond the server "
           "stamped it with\n(\"unbounded\": as it reached us).\n";
    const int nameWidth = 34, width = 18, ratioWidth = 15;
    out << std::left << std::setw(nameWidth) << "" << std::right;
    for (const auto& s : subjects) {
        out << std::setw(width) << s.label;
    }
    if (program) {
        for (const auto& s : subjects) {
            if (&s != program) {
                out << std::setw(ratioWidth) << ("program/" + shortName(s.id));
            }
        }
    }
    out << "\n";
    for (const Row& row : rows()) {
        out << std::left << std::setw(nameWidth) << row.name << std::right;
        for (const auto& s : subjects) {
            std::string cell;
            if (row.programOnly && !isProgram(s)) {
                cell = "";
            } else if (!row.value) {
                cell = number(s.pulse.intervalServer.min, 0) + ".." +
                       number(s.pulse.intervalServer.max, 0);
            } else {
                cell = number(row.value(s), row.decimals);
            }
            out << std::setw(width) << cell;
        }
        if (program && row.value && !row.programOnly) {
            for (const auto& s : subjects) {
                if (&s != program) {
                    out << std::setw(ratioWidth) << ratio(row.value(*program), row.value(s));
                }
            }
        }
        out << "\n";
    }
    for (const auto& s : subjects) {
        out << "  " << s.label << ": " << s.command << "\n";
    }
    if (run.haveStopped) {
        const StoppedResult& st = run.stopped;
        out << "\nProgram stopped (AUTOSTART_TICKBOX=0), " << number(st.seconds, 1)
            << " s after its window was mapped and settled:\n"
            << "  wake-ups (context switches, all threads): " << number(st.wakeupsPerSecond, 2)
            << " /s; timeslices: " << number(st.timeslicesPerSecond, 2) << " /s\n"
            << "  CPU: " << number(st.cpuMs, 3) << " ms = " << number(st.cpuPercent, 5)
            << " % of a core; VmRSS " << number(st.rssKiB, 0) << " KiB; launch to mapped "
            << number(st.launchToMappedMs, 1) << " ms; Num Lock presses: " << st.presses << "\n";
        for (const auto& t : st.threads) {
            out << "    thread " << std::left << std::setw(18) << t.name << std::right
                << number(t.wakeupsPerSecond, 2) << " wake-ups/s, CPU " << number(t.cpuMs, 3)
                << " ms\n";
        }
        out << "  wake-ups seen (s after the window was mapped):";
        if (st.wakeups.empty()) {
            out << " none";
        }
        for (const auto& w : st.wakeups) {
            out << " " << number(w.secondsAfterMapped, 1) << " " << w.thread << " x" << w.count
                << ";";
        }
        out << "\n";
    }
    out << "\nMachine: " << run.machine.cpus << " CPUs, " << run.machine.cpuModel << ", Linux "
        << run.machine.kernel << "; load before " << run.machine.loadBefore << ", after "
        << run.machine.loadAfter << "\n";
}

std::vector<std::string> missingFigures(const RunResult& run) {
    std::vector<std::string> missing;
    for (const auto& s : run.subjects) {
        for (const Row& row : rows()) {
            if (!row.value || (row.programOnly && !isProgram(s))) {
                continue;
            }
            if (!std::isfinite(row.value(s))) {
                missing.push_back(s.id + ": " + row.name);
            }
        }
        if (s.pulse.presses < 2) {
            missing.push_back(s.id + ": fewer than two presses");
        }
        if (s.idleSamples == 0) {
            missing.push_back(s.id + ": no idle samples");
        }
        if (s.frontKeyEvents == 0) {
            missing.push_back(s.id + ": the window in front read no keys");
        }
    }
    if (run.haveStopped) {
        const StoppedResult& st = run.stopped;
        for (const auto& [name, value] : std::vector<std::pair<std::string, double>>{
                 {"wake-ups per second", st.wakeupsPerSecond},
                 {"timeslices per second", st.timeslicesPerSecond},
                 {"CPU", st.cpuMs},
                 {"CPU %", st.cpuPercent},
                 {"VmRSS", st.rssKiB},
                 {"launch to mapped", st.launchToMappedMs}}) {
            if (!std::isfinite(value) || value < 0) {
                missing.push_back("stopped: " + name);
            }
        }
        if (st.threads.empty()) {
            missing.push_back("stopped: no threads read");
        }
    }
    return missing;
}

}  // namespace bench
