#include "Report.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <iomanip>
#include <limits>
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

std::string number(double value, int decimals) {
    if (!std::isfinite(value)) {
        return "-";
    }
    std::ostringstream out;
    out << std::fixed << std::setprecision(decimals) << value;
    return out.str();
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

std::string jsonString(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    char buffer[8];
                    std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
                    out += buffer;
                } else {
                    out += c;
                }
        }
    }
    return out + "\"";
}

std::string jsonNumber(double value) {
    if (!std::isfinite(value)) {
        return "null";
    }
    std::ostringstream out;
    out << std::setprecision(10) << value;
    return out.str();
}

void jsonDistribution(std::ostream& out, const char* name, const Distribution& d) {
    out << jsonString(name) << ": {\"min\": " << jsonNumber(d.min)
        << ", \"median\": " << jsonNumber(d.median) << ", \"p99\": " << jsonNumber(d.p99)
        << ", \"max\": " << jsonNumber(d.max) << ", \"mean\": " << jsonNumber(d.mean) << "}";
}

}  // namespace

bool isProgram(const SubjectResult& subject) {
    return subject.id == "program" || subject.id == "program-behind" ||
           subject.id == "program-sway";
}

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

void writeJson(std::ostream& out, const RunResult& run) {
    const Machine& m = run.machine;
    out << "{\n  \"when\": " << jsonString(m.when) << ",\n  \"machine\": {\"cpus\": " << m.cpus
        << ", \"cpu_model\": " << jsonString(m.cpuModel) << ", \"kernel\": " << jsonString(m.kernel)
        << ", \"loadavg_before\": " << jsonString(m.loadBefore)
        << ", \"loadavg_after\": " << jsonString(m.loadAfter)
        << "},\n  \"program\": " << jsonString(run.program)
        << ",\n  \"command\": " << jsonString(run.commandLine)
        << ",\n  \"seconds\": " << jsonNumber(run.seconds) << ",\n  \"period_ms\": " << periodMs
        << ",\n  \"subjects\": [";
    bool first = true;
    for (const auto& s : run.subjects) {
        const PulseStats& p = s.pulse;
        out << (first ? "\n" : ",\n") << "    {\"id\": " << jsonString(s.id)
            << ", \"label\": " << jsonString(s.label) << ", \"command\": " << jsonString(s.command)
            << ",\n     \"window_seconds\": " << jsonNumber(s.windowSeconds)
            << ", \"presses\": " << p.presses << ",\n     ";
        jsonDistribution(out, "interval_ms", p.interval);
        out << ",\n     ";
        jsonDistribution(out, "interval_server_ms", p.intervalServer);
        out << ",\n     ";
        jsonDistribution(out, "abs_deviation_ms", p.absDeviation);
        out << ",\n     ";
        jsonDistribution(out, "abs_deviation_server_ms", p.absDeviationServer);
        out << ",\n     ";
        jsonDistribution(out, "abs_deviation_unbounded_ms", p.absDeviationUnbounded);
        out << ",\n     \"drift_ms\": " << jsonNumber(p.driftMs)
            << ", \"drift_percent\": " << jsonNumber(p.driftPercent)
            << ", \"drift_server_ms\": " << jsonNumber(p.driftServerMs)
            << ", \"drift_server_percent\": " << jsonNumber(p.driftServerPercent) << ",\n     ";
        jsonDistribution(out, "hold_ms", p.hold);
        out << ",\n     ";
        jsonDistribution(out, "hold_server_ms", p.holdServer);
        out << ",\n     \"presses_without_release\": " << p.pressesWithoutRelease
            << ", \"presses_not_flipping\": " << p.notFlipped
            << ", \"intervals_off_3ms\": " << p.intervalsOff3Ms
            << ", \"holds_2ms_or_more_server\": " << p.holdsOver1MsServer
            << ", \"events_bounded_by_stamp\": " << p.lateArrivals
            << ",\n     \"longest_idle_sampled_ms\": " << jsonNumber(s.longestIdleMs)
            << ", \"idle_samples\": " << s.idleSamples
            << ", \"idle_sample_every_ms\": " << jsonNumber(s.idleSampleEveryMs)
            << ", \"longest_input_gap_server_ms\": " << jsonNumber(p.longestInputGapMs)
            << ",\n     \"pulsing_seconds\": " << jsonNumber(s.pulsingSeconds)
            << ", \"cpu_pulsing_ms\": " << jsonNumber(s.cpuPulsingMs)
            << ", \"cpu_pulsing_percent\": " << jsonNumber(s.cpuPulsingPercent)
            << ", \"cpu_total_ms\": " << jsonNumber(s.cpuTotalMs)
            << ", \"cpu_total_percent\": " << jsonNumber(s.cpuTotalPercent);
        if (s.frontKeyEvents >= 0) {
            out << ",\n     \"window_in_front_key_events\": " << s.frontKeyEvents;
        }
        if (isProgram(s)) {
            out << ",\n     \"launch_to_mapped_ms\": " << jsonNumber(s.launchToMappedMs)
                << ", \"launch_to_first_press_ms\": " << jsonNumber(s.launchToFirstPressMs)
                << ", \"rss_start_kib\": " << jsonNumber(s.rssStartKiB)
                << ", \"rss_end_kib\": " << jsonNumber(s.rssEndKiB)
                << ", \"rss_max_kib\": " << jsonNumber(s.rssMaxKiB)
                << ", \"threads\": " << s.threads;
        }
        out << ",\n     \"intervals_ms\": [";
        for (size_t i = 0; i < p.intervalsMs.size(); ++i) {
            out << (i ? "," : "") << number(p.intervalsMs[i], 4);
        }
        out << "]}";
        first = false;
    }
    out << "\n  ]";
    if (run.haveStopped) {
        const StoppedResult& st = run.stopped;
        out << ",\n  \"stopped\": {\"seconds\": " << jsonNumber(st.seconds)
            << ", \"launch_to_mapped_ms\": " << jsonNumber(st.launchToMappedMs)
            << ", \"cpu_ms\": " << jsonNumber(st.cpuMs)
            << ", \"cpu_percent\": " << jsonNumber(st.cpuPercent)
            << ", \"wakeups_per_second\": " << jsonNumber(st.wakeupsPerSecond)
            << ", \"timeslices_per_second\": " << jsonNumber(st.timeslicesPerSecond)
            << ", \"rss_kib\": " << jsonNumber(st.rssKiB) << ", \"presses\": " << st.presses
            << ",\n    \"threads\": [";
        for (size_t i = 0; i < st.threads.size(); ++i) {
            const auto& t = st.threads[i];
            out << (i ? ",\n      " : "\n      ") << "{\"name\": " << jsonString(t.name)
                << ", \"tid\": " << t.tid
                << ", \"wakeups_per_second\": " << jsonNumber(t.wakeupsPerSecond)
                << ", \"timeslices_per_second\": " << jsonNumber(t.timeslicesPerSecond)
                << ", \"cpu_ms\": " << jsonNumber(t.cpuMs) << "}";
        }
        out << "],\n    \"wakeups_seen\": [";
        for (size_t i = 0; i < st.wakeups.size(); ++i) {
            const auto& w = st.wakeups[i];
            out << (i ? ", " : "")
                << "{\"seconds_after_mapped\": " << jsonNumber(w.secondsAfterMapped)
                << ", \"thread\": " << jsonString(w.thread) << ", \"count\": " << w.count << "}";
        }
        out << "]}";
    }
    out << "\n}\n";
}

namespace {

const char* colour(const std::string& id) {
    if (id == "program")
        return "#c8102e";
    if (id == "program-behind")
        return "#e07b00";
    if (id == "shell-loop")
        return "#1f6fb4";
    if (id == "xdotool-repeat")
        return "#2e8b3a";
    return "#555555";
}

// Every interval at the time (seconds after the first press) of the press that ended it.
std::vector<std::pair<double, double>> series(const SubjectResult& s) {
    std::vector<std::pair<double, double>> points;
    double t = 0;
    for (const double interval : s.pulse.intervalsMs) {
        t += interval / 1000.0;
        points.push_back({t, interval});
    }
    return points;
}

struct Panel {
    double x, y, w, h;
    double x0, x1, y0, y1;
    double px(double v) const { return x + (v - x0) / (x1 - x0) * w; }
    double py(double v) const { return y + h - (std::clamp(v, y0, y1) - y0) / (y1 - y0) * h; }
};

double niceStep(double span, int ticks) {
    const double raw = span / ticks;
    const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    for (const double m : {1.0, 2.0, 2.5, 5.0, 10.0}) {
        if (m * magnitude >= raw) {
            return m * magnitude;
        }
    }
    return 10 * magnitude;
}

void axes(std::ostream& out, const Panel& p, const std::string& yLabel, const std::string& title) {
    out << "<rect x='" << p.x << "' y='" << p.y << "' width='" << p.w << "' height='" << p.h
        << "' fill='white' stroke='#444'/>\n";
    const double yStep = niceStep(p.y1 - p.y0, 6);
    for (double v = std::ceil(p.y0 / yStep) * yStep; v <= p.y1 + 1e-9; v += yStep) {
        out << "<line x1='" << p.x << "' x2='" << p.x + p.w << "' y1='" << p.py(v) << "' y2='"
            << p.py(v) << "' stroke='#ddd'/>\n<text x='" << p.x - 6 << "' y='" << p.py(v) + 4
            << "' text-anchor='end'>" << number(v, yStep < 1 ? 1 : 0) << "</text>\n";
    }
    const double xStep = niceStep(p.x1 - p.x0, 8);
    for (double v = std::ceil(p.x0 / xStep) * xStep; v <= p.x1 + 1e-9; v += xStep) {
        out << "<line x1='" << p.px(v) << "' x2='" << p.px(v) << "' y1='" << p.y + p.h << "' y2='"
            << p.y + p.h + 4 << "' stroke='#444'/>\n<text x='" << p.px(v) << "' y='"
            << p.y + p.h + 17 << "' text-anchor='middle'>" << number(v, 0) << "</text>\n";
    }
    out << "<text x='" << p.x - 48 << "' y='" << p.y + p.h / 2 << "' transform='rotate(-90 "
        << p.x - 48 << " " << p.y + p.h / 2 << ")' text-anchor='middle'>" << yLabel
        << "</text>\n<text x='" << p.x << "' y='" << p.y - 8 << "' font-weight='bold'>" << title
        << "</text>\n";
}

void plot(std::ostream& out, const Panel& p, const SubjectResult& s, double offset) {
    out << "<polyline fill='none' stroke='" << colour(s.id)
        << "' stroke-width='1' stroke-opacity='0.85' points='";
    for (const auto& [t, v] : series(s)) {
        out << number(p.px(t), 1) << "," << number(p.py(v - offset), 1) << " ";
    }
    out << "'/>\n";
}

}  // namespace

void writeSvg(std::ostream& out, const RunResult& run) {
    // The legend goes on as many rows as it needs below the plots, each entry estimated at
    // 6.1 px a character at 11 px.
    struct LegendEntry {
        std::string text;
        double x;
        int row;
    };
    std::vector<LegendEntry> legend;
    {
        double lx = 80;
        int row = 0;
        for (const auto& s : run.subjects) {
            std::string text = s.label + " (median " + number(s.pulse.interval.median, 2) + " ms)";
            const double entryWidth = 18 + 6.1 * static_cast<double>(text.size());
            if (lx > 80 && lx + entryWidth > 900) {
                lx = 80;
                ++row;
            }
            legend.push_back({std::move(text), lx, row});
            lx += entryWidth + 16;
        }
    }
    const int legendRows = legend.empty() ? 1 : legend.back().row + 1;
    const double width = 960, height = 640 + 16.0 * (legendRows - 1);
    double tMax = 1, lo = periodMs, hi = periodMs;
    for (const auto& s : run.subjects) {
        for (const auto& [t, v] : series(s)) {
            tMax = std::max(tMax, t);
            lo = std::min(lo, v);
            hi = std::max(hi, v);
        }
    }
    lo = std::floor(lo - 1);
    hi = std::ceil(hi + 1);
    out << "<svg xmlns='http://www.w3.org/2000/svg' width='" << width << "' height='" << height
        << "' viewBox='0 0 " << width << " " << height
        << "' font-family='DejaVu Sans, sans-serif' font-size='12'>\n"
        << "<rect width='100%' height='100%' fill='#fafafa'/>\n";
    const Panel all{80, 40, 820, 230, 0, tMax, lo, hi};
    axes(
        out, all, "interval (ms)",
        "Interval between Num Lock presses, every subject (" + number(run.seconds, 0) + " s each)");
    for (const auto& s : run.subjects) {
        plot(out, all, s, 0);
    }
    const Panel zoom{80, 340, 820, 230, 0, tMax, -4, 4};
    axes(out, zoom, "interval - 750 (ms)",
         "Program and reference, deviation from 750 ms (clipped to +/-4 ms; band: +/-3 ms)");
    out << "<rect x='" << zoom.x << "' y='" << zoom.py(3) << "' width='" << zoom.w << "' height='"
        << zoom.py(-3) - zoom.py(3) << "' fill='#2e8b3a' fill-opacity='0.07'/>\n";
    for (const auto& s : run.subjects) {
        if (s.id == "program" || s.id == "reference") {
            plot(out, zoom, s, periodMs);
        }
    }
    out << "<text x='" << zoom.x + zoom.w / 2 << "' y='" << zoom.y + zoom.h + 36
        << "' text-anchor='middle'>seconds after the first press</text>\n";
    for (std::size_t i = 0; i < legend.size(); ++i) {
        const LegendEntry& entry = legend[i];
        const double y = 616 + 16.0 * entry.row;
        out << "<rect x='" << entry.x << "' y='" << y << "' width='14' height='4' fill='"
            << colour(run.subjects[i].id) << "'/><text x='" << entry.x + 18 << "' y='" << y + 6
            << "' font-size='11'>" << entry.text << "</text>\n";
    }
    out << "</svg>\n";
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
