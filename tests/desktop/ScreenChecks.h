#pragma once

// What the desktop tests look at on the screen and in the program's settings file, and how
// they wait for it.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <ostream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/desktop/WaitUntil.h"
#include "tests/desktop/XDisplay.h"

namespace desktop_test {

// For test messages.
inline std::ostream& operator<<(std::ostream& out, const Point& point) {
    return out << "(" << point.x << ", " << point.y << ")";
}

inline std::ostream& operator<<(std::ostream& out, const Rgb& colour) {
    return out << "rgb(" << colour.red << ", " << colour.green << ", " << colour.blue << ")";
}

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// The main window's client area at 96 dpi, in pixels: its size at the default settings (1860 x
// 780 twips outside, less the frame's 120 x 360), and the controls' places in it.
inline constexpr int clientWidth = 116;
inline constexpr int clientHeight = 28;
inline constexpr Rect leftHeart{0, 0, 28, 28};
inline constexpr Rect middleButton{40, 0, 41, 25};
inline constexpr Rect rightHeart{88, 0, 28, 28};
inline constexpr Point buttonCentre{middleButton.x + middleButton.width / 2,
                                    middleButton.y + middleButton.height / 2};
// Where nothing but the window's background shows: between the controls and under the button.
inline constexpr Point backgroundSpots[] = {{36, 14}, {84, 14}, {60, 26}};

inline constexpr Rgb red{255, 0, 0};
inline constexpr Rgb black{0, 0, 0};
inline constexpr Rgb green{0, 255, 0};

// The frame's place for the default MainLeft/MainTop of 1000 twips.
inline constexpr Point defaultFramePlace{67, 67};
inline constexpr int twipsPerPixel = 15;

inline bool near(const Rgb& a, const Rgb& b) {
    constexpr int tolerance = 24;
    return std::abs(a.red - b.red) <= tolerance && std::abs(a.green - b.green) <= tolerance &&
           std::abs(a.blue - b.blue) <= tolerance;
}

inline bool inside(const Image& image, const Point& point) {
    return point.x >= 0 && point.y >= 0 && point.x < image.width && point.y < image.height;
}

inline bool backgroundShows(const Image& client, const Rgb& background) {
    return std::all_of(
        std::begin(backgroundSpots), std::end(backgroundSpots), [&](const Point& spot) {
            return inside(client, spot) && near(client.at(spot.x, spot.y), background);
        });
}

// A hidden control leaves its box to the window's background; a shown one covers most of it
// (a heart with its picture and sunken border, the button with its face).
inline bool controlShown(const Image& client, const Rect& box, const Rgb& background) {
    int covered = 0;
    for (int y = box.y; y < box.y + box.height; ++y) {
        for (int x = box.x; x < box.x + box.width; ++x) {
            if (inside(client, {x, y}) && !near(client.at(x, y), background)) {
                ++covered;
            }
        }
    }
    return covered * 4 > box.width * box.height;
}

inline bool hasAbove(XDisplay& x, WindowId window) {
    const auto states = x.atomListProperty(window, "_NET_WM_STATE");
    return std::find(states.begin(), states.end(), "_NET_WM_STATE_ABOVE") != states.end();
}

// Whether the window manager stacks the upper window above the lower one.
inline bool stackedAbove(XDisplay& x, WindowId upper, WindowId lower) {
    const auto order = x.stackingOrder();
    const auto up = std::find(order.begin(), order.end(), upper);
    const auto low = std::find(order.begin(), order.end(), lower);
    return up != order.end() && low != order.end() && up > low;
}

inline long long ms(Clock::duration duration) {
    return std::chrono::duration_cast<milliseconds>(duration).count();
}

inline std::string listMs(const std::vector<Clock::duration>& times) {
    std::ostringstream out;
    out << "[";
    for (std::size_t i = 0; i < times.size(); ++i) {
        out << (i ? ", " : "") << ms(times[i]);
    }
    out << "] ms";
    return out.str();
}

// What the test watched at one moment: the Num Lock indicator, then the client area.
struct Sample {
    Clock::duration at;
    bool numLock = false;
    Image client;
};

inline std::vector<Sample> watch(XDisplay& x, const Point& clientOrigin, Clock::duration length) {
    constexpr auto period = 20ms;
    const Rect area{clientOrigin.x, clientOrigin.y, clientWidth, clientHeight};
    std::vector<Sample> samples;
    const auto start = Clock::now();
    for (auto next = start; next - start <= length; next += period) {
        std::this_thread::sleep_until(next);
        Sample sample;
        sample.at = Clock::now() - start;
        sample.numLock = x.numLockOn();
        sample.client = x.grab(area);
        samples.push_back(std::move(sample));
    }
    return samples;
}

// When the Num Lock indicator changed, relative to the start of the watch.
inline std::vector<Clock::duration> numLockFlips(const std::vector<Sample>& samples) {
    std::vector<Clock::duration> flips;
    for (std::size_t i = 1; i < samples.size(); ++i) {
        if (samples[i].numLock != samples[i - 1].numLock) {
            flips.push_back(samples[i].at);
        }
    }
    return flips;
}

// When the samples for which the condition holds were taken.
inline std::vector<Clock::duration> samplesWhere(const std::vector<Sample>& samples,
                                                 const std::function<bool(const Image&)>& holds) {
    std::vector<Clock::duration> times;
    for (const Sample& sample : samples) {
        if (holds(sample.client)) {
            times.push_back(sample.at);
        }
    }
    return times;
}

// One phase of the pulse is 750 ms; the gaps may stretch or shrink with sampling and load.
inline void expectPhaseGaps(const std::vector<Clock::duration>& flips) {
    for (std::size_t i = 1; i < flips.size(); ++i) {
        const auto gap = flips[i] - flips[i - 1];
        EXPECT_GE(gap, 600ms) << "Num Lock flips at " << listMs(flips);
        EXPECT_LE(gap, 900ms) << "Num Lock flips at " << listMs(flips);
    }
}

// A stopped window is black, with both hearts shown, all the time.
inline void expectStoppedLook(const std::vector<Sample>& samples) {
    const auto notBlack =
        samplesWhere(samples, [](const Image& client) { return !backgroundShows(client, black); });
    EXPECT_TRUE(notBlack.empty()) << "the stopped window was not black at " << listMs(notBlack);
    for (const auto& [name, heart] :
         {std::pair{"left", leftHeart}, std::pair{"right", rightHeart}}) {
        const auto hidden = samplesWhere(
            samples, [&](const Image& client) { return !controlShown(client, heart, black); });
        EXPECT_TRUE(hidden.empty())
            << "the " << name << " heart of the stopped window was hidden at " << listMs(hidden);
    }
}

// Watches a stopped window: no Num Lock flip, and the stopped look throughout.
inline void expectStopped(XDisplay& x, const Point& clientOrigin) {
    const auto samples = watch(x, clientOrigin, 2000ms);
    const auto flips = numLockFlips(samples);
    EXPECT_EQ(flips.size(), 0u) << "Num Lock flipped at " << listMs(flips);
    expectStoppedLook(samples);
}

// Watches a running window: Num Lock flips between fewest and most times, a phase apart.
inline void expectPulsing(XDisplay& x, const Point& clientOrigin, Clock::duration length,
                          std::size_t fewest, std::size_t most) {
    const auto flips = numLockFlips(watch(x, clientOrigin, length));
    EXPECT_GE(flips.size(), fewest) << "Num Lock flips at " << listMs(flips);
    EXPECT_LE(flips.size(), most) << "Num Lock flips at " << listMs(flips);
    expectPhaseGaps(flips);
}

// The [Settings] section of an INI file.
inline std::map<std::string, std::string> settingsSection(const std::string& text) {
    std::map<std::string, std::string> result;
    std::istringstream lines(text);
    std::string line, section;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.starts_with("[") && line.ends_with("]")) {
            section = line.substr(1, line.size() - 2);
        } else if (section == "Settings" && line.find('=') != std::string::npos) {
            const auto equals = line.find('=');
            result[line.substr(0, equals)] = line.substr(equals + 1);
        }
    }
    return result;
}

}  // namespace desktop_test
