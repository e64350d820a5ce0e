#include "ReportJson.h"

#include <cmath>
#include <cstdio>
#include <iomanip>
#include <sstream>

namespace bench {

namespace {

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

}  // namespace bench
