#include "ReportSvg.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace bench {

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

}  // namespace bench
