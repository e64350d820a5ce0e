// The program on a real X server with a real window manager, watched from outside: the
// keyboard's Num Lock indicator, what the screen shows, the window's properties, and the
// settings file the program leaves behind.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "tests/desktop/ChildProcess.h"
#include "tests/desktop/DesktopSession.h"
#include "tests/desktop/PulsewardRun.h"
#include "tests/desktop/XDisplay.h"

namespace desktop_test {

// For test messages; found by argument-dependent lookup, so outside the anonymous namespace.
std::ostream& operator<<(std::ostream& out, const Point& point) {
    return out << "(" << point.x << ", " << point.y << ")";
}

std::ostream& operator<<(std::ostream& out, const Rgb& colour) {
    return out << "rgb(" << colour.red << ", " << colour.green << ", " << colour.blue << ")";
}

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// The main window's client area at 96 dpi, in pixels: its size at the default settings (1860 x
// 780 twips outside, less the frame's 120 x 360), and the controls' places in it.
constexpr int clientWidth = 116;
constexpr int clientHeight = 28;
constexpr Rect leftHeart{0, 0, 28, 28};
constexpr Rect middleButton{40, 0, 41, 25};
constexpr Rect rightHeart{88, 0, 28, 28};
constexpr Point buttonCentre{middleButton.x + middleButton.width / 2,
                             middleButton.y + middleButton.height / 2};
// Where nothing but the window's background shows: between the controls and under the button.
constexpr Point backgroundSpots[] = {{36, 14}, {84, 14}, {60, 26}};

constexpr Rgb red{255, 0, 0};
constexpr Rgb black{0, 0, 0};
constexpr Rgb green{0, 255, 0};

// The frame's place for the default MainLeft/MainTop of 1000 twips.
constexpr Point defaultFramePlace{67, 67};
constexpr int twipsPerPixel = 15;

bool near(const Rgb& a, const Rgb& b) {
    constexpr int tolerance = 24;
    return std::abs(a.red - b.red) <= tolerance && std::abs(a.green - b.green) <= tolerance &&
           std::abs(a.blue - b.blue) <= tolerance;
}

bool inside(const Image& image, const Point& point) {
    return point.x >= 0 && point.y >= 0 && point.x < image.width && point.y < image.height;
}

bool backgroundShows(const Image& client, const Rgb& background) {
    return std::all_of(
        std::begin(backgroundSpots), std::end(backgroundSpots), [&](const Point& spot) {
            return inside(client, spot) && near(client.at(spot.x, spot.y), background);
        });
}

// A hidden control leaves its box to the window's background; a shown one covers most of it
// (a heart with its picture and sunken border, the button with its face).
bool controlShown(const Image& client, const Rect& box, const Rgb& background) {
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

bool hasAbove(XDisplay& x, WindowId window) {
    const auto states = x.atomListProperty(window, "_NET_WM_STATE");
    return std::find(states.begin(), states.end(), "_NET_WM_STATE_ABOVE") != states.end();
}

// Whether the window manager stacks the upper window above the lower one.
bool stackedAbove(XDisplay& x, WindowId upper, WindowId lower) {
    const auto order = x.stackingOrder();
    const auto up = std::find(order.begin(), order.end(), upper);
    const auto low = std::find(order.begin(), order.end(), lower);
    return up != order.end() && low != order.end() && up > low;
}

long long ms(Clock::duration duration) {
    return std::chrono::duration_cast<milliseconds>(duration).count();
}

std::string listMs(const std::vector<Clock::duration>& times) {
    std::ostringstream out;
    out << "[";
    for (std::size_t i = 0; i < times.size(); ++i) {
        out << (i ? ", " : "") << ms(times[i]);
    }
    out << "] ms";
    return out.str();
}

template <typename Condition>
bool waitUntil(Condition condition, milliseconds limit) {
    const auto end = Clock::now() + limit;
    while (!condition()) {
        if (Clock::now() >= end) {
            return false;
        }
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

// What the test watched at one moment: the Num Lock indicator, then the client area.
struct Sample {
    Clock::duration at;
    bool numLock = false;
    Image client;
};

std::vector<Sample> watch(XDisplay& x, const Point& clientOrigin, Clock::duration length) {
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
std::vector<Clock::duration> numLockFlips(const std::vector<Sample>& samples) {
    std::vector<Clock::duration> flips;
    for (std::size_t i = 1; i < samples.size(); ++i) {
        if (samples[i].numLock != samples[i - 1].numLock) {
            flips.push_back(samples[i].at);
        }
    }
    return flips;
}

// When the samples for which the condition holds were taken.
std::vector<Clock::duration> samplesWhere(const std::vector<Sample>& samples,
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
void expectPhaseGaps(const std::vector<Clock::duration>& flips) {
    for (std::size_t i = 1; i < flips.size(); ++i) {
        const auto gap = flips[i] - flips[i - 1];
        EXPECT_GE(gap, 600ms) << "Num Lock flips at " << listMs(flips);
        EXPECT_LE(gap, 900ms) << "Num Lock flips at " << listMs(flips);
    }
}

// A stopped window is black, with both hearts shown, all the time.
void expectStoppedLook(const std::vector<Sample>& samples) {
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
void expectStopped(XDisplay& x, const Point& clientOrigin) {
    const auto samples = watch(x, clientOrigin, 2000ms);
    const auto flips = numLockFlips(samples);
    EXPECT_EQ(flips.size(), 0u) << "Num Lock flipped at " << listMs(flips);
    expectStoppedLook(samples);
}

// Watches a running window: Num Lock flips between fewest and most times, a phase apart.
void expectPulsing(XDisplay& x, const Point& clientOrigin, Clock::duration length,
                   std::size_t fewest, std::size_t most) {
    const auto flips = numLockFlips(watch(x, clientOrigin, length));
    EXPECT_GE(flips.size(), fewest) << "Num Lock flips at " << listMs(flips);
    EXPECT_LE(flips.size(), most) << "Num Lock flips at " << listMs(flips);
    expectPhaseGaps(flips);
}

// The [Settings] section of an INI file.
std::map<std::string, std::string> settingsSection(const std::string& text) {
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

// Shared by all tests: the program, a work folder, and the desktop they run on.
struct Shared {
    fs::path program;
    fs::path workFolder;
    std::unique_ptr<DesktopSession> session;
};

Shared& shared() {
    static Shared instance;
    return instance;
}

class DesktopEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        const char* program = std::getenv("PULSEWARD_PROGRAM");
        ASSERT_TRUE(program && *program) << "PULSEWARD_PROGRAM must name the program to test";
        shared().program = program;
        ASSERT_TRUE(fs::exists(shared().program)) << shared().program;

        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/pulseward-desktop-XXXXXX";
        ASSERT_NE(mkdtemp(pattern.data()), nullptr) << "no temporary folder";
        shared().workFolder = pattern;

        try {
            shared().session = DesktopSession::forTests(shared().workFolder / "desktop");
        } catch (const std::exception& error) {
            FAIL() << "no desktop to test on: " << error.what() << "\n(logs in "
                   << shared().workFolder << ")";
        }
    }

    void TearDown() override {
        shared().session.reset();
        if (::testing::UnitTest::GetInstance()->Passed()) {
            std::error_code ignored;
            fs::remove_all(shared().workFolder, ignored);
        } else {
            std::cout << "Logs and screenshots are kept in " << shared().workFolder << "\n";
        }
    }
};

class DesktopTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(shared().session) << "no desktop to test on";
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        folder_ = shared().workFolder / (std::string(info->test_suite_name()) + "." + info->name());
        fs::create_directories(folder_ / "config");
        fs::create_directories(folder_ / "runtime");
        chmod((folder_ / "runtime").c_str(), 0700);
    }

    void TearDown() override {
        if (!HasFailure()) {
            runs_.clear();
            extraSession_.reset();
            others_.clear();
            std::error_code ignored;
            fs::remove_all(folder_, ignored);
            return;
        }
        saveScreenshot(x(), "screenshot.png");
        if (extraSession_) {
            saveScreenshot(extraSession_->x(), "screenshot-without-xtest.png");
        }
        for (std::size_t i = 0; i < runs_.size(); ++i) {
            std::cout << "Run " << i + 1 << " of the program (pid " << runs_[i]->pid()
                      << "): " << runs_[i]->state() << "\n";
        }
        std::cout << "Program output and settings are in " << folder_ << "\n";
    }

    XDisplay& x() { return shared().session->x(); }

    fs::path settingsFile() const { return folder_ / "config" / settingsFileName; }

    void writeSettings(const std::string& text) { std::ofstream(settingsFile()) << text; }

    std::string settingsText() const {
        std::ifstream in(settingsFile());
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

    std::map<std::string, std::string> settings() const { return settingsSection(settingsText()); }

    // Starts the program with this test's settings folder.
    PulsewardRun& start(XDisplay& on) {
        const PulsewardRun::Paths paths{
            shared().program, folder_ / "config", folder_ / "runtime",
            folder_ / ("run-" + std::to_string(runs_.size() + 1) + ".log")};
        runs_.push_back(std::make_unique<PulsewardRun>(on, paths));
        return *runs_.back();
    }
    PulsewardRun& start() { return start(x()); }

    // Clicks (twice: double-clicks) with the pointer at a point of the window's client area,
    // through XTEST as a user's mouse would.
    void click(XDisplay& on, WindowId window, const Point& point, int times = 1) {
        const auto origin = on.clientOrigin(window);
        ASSERT_TRUE(origin) << "the window is gone";
        const auto result = runCommand({"xdotool", "mousemove", std::to_string(origin->x + point.x),
                                        std::to_string(origin->y + point.y), "click", "--repeat",
                                        std::to_string(times), "--delay", "80", "1"},
                                       environmentWith({{"DISPLAY", on.name()}}));
        ASSERT_EQ(result.status, 0) << "xdotool failed: " << result.output;
    }

    // Another program's window on the shared desktop, ended with the test: an xlogo with its
    // frame's corner near the place.
    std::optional<WindowId> startOtherClient(const Point& place) {
        const auto before = x().clientList();
        others_.push_back(std::make_unique<ChildProcess>(
            SpawnOptions{{"xlogo", "-geometry",
                          "100x100+" + std::to_string(place.x) + "+" + std::to_string(place.y)},
                         environmentWith({{"DISPLAY", x().name()}}),
                         folder_ / "xlogo.log"}));
        std::optional<WindowId> found;
        waitUntil(
            [&] {
                for (const WindowId window : x().clientList()) {
                    if (std::find(before.begin(), before.end(), window) == before.end() &&
                        x().textProperty(window, "WM_NAME") == "xlogo" &&
                        x().wmState(window) == normalState && x().frameExtents(window)) {
                        found = window;
                    }
                }
                return found || !others_.back()->running();
            },
            10000ms);
        return found;
    }

    // Puts the other window into the always-on-top band and makes it the active window, as its
    // user might. Until it is active, a topmost keeper leaves it alone.
    void bringForward(WindowId other, WindowId ours) {
        x().activate(ours);
        ASSERT_TRUE(waitUntil([&] { return x().activeWindow() != other; }, 3000ms))
            << "the window manager keeps the other window active";
        x().setAbove(other, true);
        ASSERT_TRUE(waitUntil([&] { return hasAbove(x(), other); }, 3000ms))
            << "the window manager did not put the other window on top";
        x().activate(other);
        ASSERT_TRUE(waitUntil([&] { return x().activeWindow() == other; }, 3000ms))
            << "the window manager did not activate the other window";
    }

    // The client area's place and size.
    std::pair<std::optional<Point>, std::optional<Point>> placement(WindowId window) {
        return {x().clientOrigin(window), x().clientSize(window)};
    }

    Image grabClient(XDisplay& on, WindowId window) {
        const auto origin = on.clientOrigin(window);
        return origin ? on.grab({origin->x, origin->y, clientWidth, clientHeight}) : Image{};
    }

    // Until the window shows its button on a background of the colour. Before its first paint
    // a window shows black, which would pass for a stopped one.
    bool waitForPaintIn(XDisplay& on, WindowId window, const Rgb& colour,
                        milliseconds limit = 5000ms) {
        return waitUntil(
            [&] {
                const Image client = grabClient(on, window);
                return backgroundShows(client, colour) &&
                       controlShown(client, middleButton, colour);
            },
            limit);
    }

    bool waitForFrameAt(XDisplay& on, WindowId window, const Point& place,
                        milliseconds limit = 3000ms) {
        return waitUntil([&] { return on.framePosition(window) == place; }, limit);
    }

    // Where the window manager shows the frame's top-left corner, for messages.
    static std::string framePlace(XDisplay& on, WindowId window) {
        const auto place = on.framePosition(window);
        if (!place) {
            return "nowhere (the window is gone)";
        }
        std::ostringstream text;
        text << *place;
        return text.str();
    }

    // Closes the window as its close box would, through the window manager, and expects the
    // program to end normally.
    void closeAndExpectExit(XDisplay& on, PulsewardRun& run, WindowId window) {
        on.closeWindow(window);
        const auto status = run.waitForExit(10s);
        ASSERT_TRUE(status) << "the program still runs after its window was closed";
        EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << describeStatus(*status);
    }

    fs::path folder_;
    // Declared before the runs, so that the programs end before their desktop does.
    std::unique_ptr<DesktopSession> extraSession_;
    std::vector<std::unique_ptr<PulsewardRun>> runs_;
    std::vector<std::unique_ptr<ChildProcess>> others_;

  private:
    void saveScreenshot(XDisplay& on, const std::string& name) {
        const fs::path path = folder_ / name;
        const auto result =
            runCommand({"import", "-display", on.name(), "-window", "root", path.string()},
                       environmentWith({}));
        if (result.status != 0) {
            // Without ImageMagick: a plain PPM of the screen.
            const Point size = on.screenSize();
            const Image screen = on.grab({0, 0, size.x, size.y});
            std::ofstream out(fs::path(path).replace_extension(".ppm"), std::ios::binary);
            out << "P6\n" << screen.width << " " << screen.height << "\n255\n";
            for (const Rgb& pixel : screen.pixels) {
                out.put(char(pixel.red)).put(char(pixel.green)).put(char(pixel.blue));
            }
            std::cout << "Screenshot of " << on.name() << ": "
                      << fs::path(path).replace_extension(".ppm") << "\n";
            return;
        }
        std::cout << "Screenshot of " << on.name() << ": " << path << "\n";
    }
};

// ---------------------------------------------------------------------------------------------
// The pulse: Num Lock flips, the window's colour, the hearts and the button.

class Pulse : public DesktopTest {};

TEST_F(Pulse, RunsFromTheStartFlippingNumLockEachPhaseWithTheHeartsBlinkingInStep) {
    auto& run = start();
    const auto window = run.waitForMainWindow();
    ASSERT_TRUE(window) << "no main window";
    ASSERT_TRUE(waitForPaintIn(x(), *window, red)) << "the running window is not red";
    const auto origin = x().clientOrigin(*window);
    ASSERT_TRUE(origin);

    const auto samples = watch(x(), *origin, 3200ms);
    const auto flips = numLockFlips(samples);
    EXPECT_GE(flips.size(), 3u) << "Num Lock flips at " << listMs(flips);
    EXPECT_LE(flips.size(), 5u) << "Num Lock flips at " << listMs(flips);
    expectPhaseGaps(flips);

    const auto notRed =
        samplesWhere(samples, [](const Image& client) { return !backgroundShows(client, red); });
    EXPECT_TRUE(notRed.empty()) << "the running window was not red at " << listMs(notRed);

    // Both hearts show or hide together, and only as the Num Lock key is pressed.
    std::vector<Clock::duration> heartChanges;
    std::size_t disagreements = 0;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const bool left = controlShown(samples[i].client, leftHeart, red);
        const bool right = controlShown(samples[i].client, rightHeart, red);
        disagreements += left != right;
        if (i > 0 && left != controlShown(samples[i - 1].client, leftHeart, red)) {
            heartChanges.push_back(samples[i].at);
        }
    }
    EXPECT_LE(disagreements, 2u) << "samples with one heart shown and the other hidden";
    EXPECT_GE(heartChanges.size(), 2u)
        << "the hearts did not blink; they changed at " << listMs(heartChanges);
    for (const auto change : heartChanges) {
        const bool withFlip = std::any_of(flips.begin(), flips.end(), [&](auto flip) {
            return change - flip <= 300ms && flip - change <= 300ms;
        });
        EXPECT_TRUE(withFlip) << "the hearts changed at " << ms(change)
                              << " ms, away from every Num Lock flip " << listMs(flips);
    }
}

TEST_F(Pulse, ButtonStopsThePulseAndStartsItAgain) {
    auto& run = start();
    const auto window = run.waitForMainWindow();
    ASSERT_TRUE(window) << "no main window";
    const auto origin = x().clientOrigin(*window);
    ASSERT_TRUE(origin);
    const bool before = x().numLockOn();
    ASSERT_TRUE(waitUntil([&] { return x().numLockOn() != before; }, 2000ms))
        << "the pulse does not run at all";

    ASSERT_NO_FATAL_FAILURE(click(x(), *window, buttonCentre));
    ASSERT_TRUE(waitForPaintIn(x(), *window, black)) << "the stopped window is not black";
    expectStopped(x(), *origin);

    ASSERT_NO_FATAL_FAILURE(click(x(), *window, buttonCentre));
    ASSERT_TRUE(waitForPaintIn(x(), *window, red)) << "the restarted window is not red";
    expectPulsing(x(), *origin, 2600ms, 2, 4);
}

TEST_F(Pulse, StaysStoppedWhenAutoStartIsOffUntilTheButtonStartsIt) {
    writeSettings("[Settings]\nAUTOSTART_TICKBOX=0\n");
    auto& run = start();
    const auto window = run.waitForMainWindow();
    ASSERT_TRUE(window) << "no main window";
    ASSERT_TRUE(waitForPaintIn(x(), *window, black)) << "the stopped window is not black";
    const auto origin = x().clientOrigin(*window);
    ASSERT_TRUE(origin);

    expectStopped(x(), *origin);

    ASSERT_NO_FATAL_FAILURE(click(x(), *window, buttonCentre));
    ASSERT_TRUE(waitForPaintIn(x(), *window, red)) << "the started window is not red";
    expectPulsing(x(), *origin, 1700ms, 1, 3);
}

TEST_F(Pulse, FocusedWindowDoesNotTakeThePulseForTheUsersInput) {
    auto& run = start();
    const auto window = run.waitForMainWindow();
    ASSERT_TRUE(window) << "no main window";
    ASSERT_TRUE(waitForPaintIn(x(), *window, red)) << "the running window is not red";
    x().activate(*window);
    ASSERT_TRUE(waitUntil([&] { return x().activeWindow() == window; }, 3000ms))
        << "the window manager did not activate the window";

    // The time of the user's last input, which the window manager weighs when a new window
    // of the program asks for the focus.
    const auto userTime = x().cardinalProperty(*window, "_NET_WM_USER_TIME");
    const bool numLock = x().numLockOn();
    ASSERT_TRUE(waitUntil([&] { return x().numLockOn() != numLock; }, 2000ms));
    ASSERT_TRUE(waitUntil([&] { return x().numLockOn() == numLock; }, 2000ms));
    EXPECT_EQ(x().activeWindow(), window) << "the window lost the focus";
    EXPECT_EQ(x().cardinalProperty(*window, "_NET_WM_USER_TIME"), userTime)
        << "the pulse's key presses were stamped on the window as the user's";
}

// ---------------------------------------------------------------------------------------------
// The main window as the window manager and the screen show it.

class MainWindow : public DesktopTest {};

TEST_F(MainWindow, OpensAsASizableToolWindowOfTheDefaultPlaceAndSizeWithoutTaskbarEntry) {
    auto& run = start();
    const auto window = run.waitForMainWindow();
    ASSERT_TRUE(window) << "no main window";

    EXPECT_EQ(x().clientSize(*window), (Point{clientWidth, clientHeight}))
        << "client width, height";
    EXPECT_TRUE(waitForFrameAt(x(), *window, defaultFramePlace))
        << "the frame is at " << framePlace(x(), *window);

    EXPECT_EQ(x().textProperty(*window, "WM_NAME"), mainWindowName);
    EXPECT_EQ(x().textProperty(*window, "_NET_WM_NAME"), mainWindowName);

    const auto states = x().atomListProperty(*window, "_NET_WM_STATE");
    EXPECT_NE(std::find(states.begin(), states.end(), "_NET_WM_STATE_SKIP_TASKBAR"), states.end())
        << "the window asks for a taskbar entry";

    const auto types = x().atomListProperty(*window, "_NET_WM_WINDOW_TYPE");
    ASSERT_FALSE(types.empty()) << "no window type";
    EXPECT_EQ(types.front(), "_NET_WM_WINDOW_TYPE_UTILITY") << "the preferred window type";

    if (x().windowManagerSupports("_NET_WM_ALLOWED_ACTIONS")) {
        const auto actions = x().atomListProperty(*window, "_NET_WM_ALLOWED_ACTIONS");
        for (const char* action : {"_NET_WM_ACTION_RESIZE", "_NET_WM_ACTION_CLOSE"}) {
            EXPECT_NE(std::find(actions.begin(), actions.end(), action), actions.end())
                << "the window manager does not allow " << action;
        }
    }

    // _NET_WM_ICON: width, height and width * height pixels, for each size offered.
    const auto icon = x().cardinalProperty(*window, "_NET_WM_ICON");
    std::vector<std::string> sizes;
    for (std::size_t i = 0; i + 2 <= icon.size();) {
        const long width = icon[i], height = icon[i + 1];
        if (width <= 0 || height <= 0 || i + 2 + std::size_t(width * height) > icon.size()) {
            ADD_FAILURE() << "malformed _NET_WM_ICON";
            break;
        }
        sizes.push_back(std::to_string(width) + "x" + std::to_string(height));
        i += 2 + std::size_t(width * height);
    }
    EXPECT_NE(std::find(sizes.begin(), sizes.end(), "100x100"), sizes.end())
        << "icon sizes: " << ::testing::PrintToString(sizes);
}

TEST_F(MainWindow, ShowsTheHeartsEitherSideOfTheButtonOnItsBackground) {
    auto& run = start();
    const auto window = run.waitForMainWindow();
    ASSERT_TRUE(window) << "no main window";
    // The hearts hide for every other phase of the pulse; look while they show.
    Image client;
    ASSERT_TRUE(waitUntil(
        [&] {
            client = grabClient(x(), *window);
            return backgroundShows(client, red) && controlShown(client, leftHeart, red) &&
                   controlShown(client, rightHeart, red);
        },
        5000ms))
        << "never red with both hearts shown";

    // Each control covers its rectangle up to its edges, and the background shows just beyond.
    for (const auto& [name, rect] :
         {std::pair{"left heart", leftHeart}, std::pair{"button", middleButton},
          std::pair{"right heart", rightHeart}}) {
        const int midX = rect.x + rect.width / 2;
        const int midY = rect.y + rect.height / 2;
        const Point edges[] = {{rect.x, midY},
                               {rect.x + rect.width - 1, midY},
                               {midX, rect.y},
                               {midX, rect.y + rect.height - 1}};
        const Point beyond[] = {{rect.x - 1, midY},
                                {rect.x + rect.width, midY},
                                {midX, rect.y - 1},
                                {midX, rect.y + rect.height}};
        for (const Point& point : edges) {
            EXPECT_FALSE(near(client.at(point.x, point.y), red))
                << name << " does not cover its edge at client pixel " << point;
        }
        for (const Point& point : beyond) {
            if (inside(client, point)) {
                EXPECT_EQ(client.at(point.x, point.y), red)
                    << "background expected beside the " << name << " at client pixel " << point;
            }
        }
    }
}

// ---------------------------------------------------------------------------------------------
// The window's place: MainLeft and MainTop, in twips, of the frame's top-left corner.

class StoredPlace : public DesktopTest {};

TEST_F(StoredPlace, PlaceMovedToIsStoredOnCloseAndUsedOnTheNextStart) {
    {
        auto& run = start();
        const auto window = run.waitForMainWindow();
        ASSERT_TRUE(window) << "no main window";
        ASSERT_TRUE(waitForFrameAt(x(), *window, defaultFramePlace));
        x().moveFrameTo(*window, 200, 300);
        ASSERT_TRUE(waitForFrameAt(x(), *window, {200, 300}))
            << "the window manager did not move the window; it is at " << framePlace(x(), *window);
        ASSERT_NO_FATAL_FAILURE(closeAndExpectExit(x(), run, *window));
    }
    auto stored = settings();
    EXPECT_EQ(stored["MainLeft"], std::to_string(200 * twipsPerPixel));
    EXPECT_EQ(stored["MainTop"], std::to_string(300 * twipsPerPixel));

    auto& run = start();
    const auto window = run.waitForMainWindow();
    ASSERT_TRUE(window) << "no main window on the second start";
    EXPECT_TRUE(waitForFrameAt(x(), *window, {200, 300}))
        << "the frame opened at " << framePlace(x(), *window);
}

TEST_F(StoredPlace, StartsAndClosesWithoutMovingLeaveTheStoredTextAsItWas) {
    std::string first;
    for (int cycle = 1; cycle <= 5; ++cycle) {
        SCOPED_TRACE("start " + std::to_string(cycle));
        auto& run = start();
        const auto window = run.waitForMainWindow();
        ASSERT_TRUE(window) << "no main window";
        EXPECT_TRUE(waitForFrameAt(x(), *window, defaultFramePlace))
            << "the frame opened at " << framePlace(x(), *window);
        ASSERT_NO_FATAL_FAILURE(closeAndExpectExit(x(), run, *window));
        if (cycle == 1) {
            first = settingsText();
            auto stored = settings();
            // The defaults, though 1000 twips is no whole number of pixels.
            EXPECT_EQ(stored["MainLeft"], "1000");
            EXPECT_EQ(stored["MainTop"], "1000");
        } else {
            EXPECT_EQ(settingsText(), first);
        }
    }
}

TEST_F(StoredPlace, StoredTwipsPutTheFrameOnTheirPixelEvenPartlyOffScreen) {
    struct Case {
        int left, top;
        Point frame;
    };
    for (const Case& place : {Case{1500, 3000, {100, 200}}, Case{-600, 3000, {-40, 200}}}) {
        SCOPED_TRACE("MainLeft=" + std::to_string(place.left) +
                     " MainTop=" + std::to_string(place.top));
        writeSettings("[Settings]\nMainLeft=" + std::to_string(place.left) +
                      "\nMainTop=" + std::to_string(place.top) + "\n");
        auto& run = start();
        const auto window = run.waitForMainWindow();
        ASSERT_TRUE(window) << "no main window";
        EXPECT_TRUE(waitForFrameAt(x(), *window, place.frame))
            << "the frame opened at " << framePlace(x(), *window);
        ASSERT_NO_FATAL_FAILURE(closeAndExpectExit(x(), run, *window));
        auto stored = settings();
        EXPECT_EQ(stored["MainLeft"], std::to_string(place.left));
        EXPECT_EQ(stored["MainTop"], std::to_string(place.top));
    }
}

TEST_F(StoredPlace, PlaceOffEveryScreenGivesWayToTheDefault) {
    writeSettings("[Settings]\nMainLeft=-99999\nMainTop=-99999\n");
    auto& run = start();
    const auto window = run.waitForMainWindow();
    ASSERT_TRUE(window) << "no main window";
    EXPECT_TRUE(waitForFrameAt(x(), *window, defaultFramePlace))
        << "the frame opened at " << framePlace(x(), *window);
    ASSERT_NO_FATAL_FAILURE(closeAndExpectExit(x(), run, *window));
    auto stored = settings();
    EXPECT_EQ(stored["MainLeft"], "1000");
    EXPECT_EQ(stored["MainTop"], "1000");
}

class Minimised : public DesktopTest {};

TEST_F(Minimised, ClosingWhileMinimisedKeepsTheStoredPlace) {
    writeSettings("[Settings]\nMainLeft=1500\nMainTop=1500\n");
    auto& run = start();
    const auto window = run.waitForMainWindow();
    ASSERT_TRUE(window) << "no main window";
    ASSERT_TRUE(waitForFrameAt(x(), *window, {100, 100}));
    // Moved first, so that storing the place now would change the file.
    x().moveFrameTo(*window, 300, 250);
    ASSERT_TRUE(waitForFrameAt(x(), *window, {300, 250})) << "the window manager did not move it";

    x().iconify(*window);
    ASSERT_TRUE(waitUntil([&] { return x().wmState(*window) == iconicState; }, 3000ms))
        << "the window manager did not minimise the window";
    ASSERT_NO_FATAL_FAILURE(closeAndExpectExit(x(), run, *window));

    auto stored = settings();
    EXPECT_EQ(stored["MainLeft"], "1500");
    EXPECT_EQ(stored["MainTop"], "1500");
}

// ---------------------------------------------------------------------------------------------
// The topmost keeper: with Always_On_Top_TICKBOX set, once a second whatever other window is
// active leaves the always-on-top band and the main window takes its top, without the focus.

class TopmostKeeper : public DesktopTest {};

TEST_F(TopmostKeeper, TakesTheTopFromTheActiveWindowOnlyWhenTheOptionIsSet) {
    const auto other = startOtherClient({700, 400});
    ASSERT_TRUE(other) << "no xlogo window";
    for (const bool keep : {false, true}) {
        SCOPED_TRACE(keep ? "Always_On_Top_TICKBOX=1" : "Always_On_Top_TICKBOX=0");
        writeSettings(std::string("[Settings]\nAlways_On_Top_TICKBOX=") + (keep ? "1" : "0") +
                      "\nAUTOSTART_TICKBOX=0\n");
        auto& run = start();
        const auto window = run.waitForMainWindow();
        ASSERT_TRUE(window) << "no main window";
        ASSERT_NO_FATAL_FAILURE(bringForward(*other, *window));
        const auto ours = placement(*window);
        const auto theirs = placement(*other);

        if (keep) {
            EXPECT_TRUE(waitUntil(
                [&] {
                    return !hasAbove(x(), *other) && hasAbove(x(), *window) &&
                           stackedAbove(x(), *window, *other);
                },
                2500ms))
                << std::boolalpha << "other on top: " << hasAbove(x(), *other)
                << ", ours on top: " << hasAbove(x(), *window)
                << ", ours stacked above: " << stackedAbove(x(), *window, *other);
        } else {
            const auto begin = Clock::now();
            while (Clock::now() - begin < 3000ms) {
                const auto after = " after " + std::to_string(ms(Clock::now() - begin)) + " ms";
                ASSERT_TRUE(hasAbove(x(), *other)) << "the other window left the top" << after;
                ASSERT_FALSE(hasAbove(x(), *window)) << "the main window went on top" << after;
                ASSERT_TRUE(stackedAbove(x(), *other, *window))
                    << "the main window rose above the other" << after;
                std::this_thread::sleep_for(50ms);
            }
        }
        EXPECT_EQ(x().activeWindow(), other) << "the active window changed";
        EXPECT_EQ(placement(*window), ours) << "the main window moved or changed its size";
        EXPECT_EQ(placement(*other), theirs) << "the other window moved or changed its size";
        ASSERT_NO_FATAL_FAILURE(closeAndExpectExit(x(), run, *window));
    }
}

// ---------------------------------------------------------------------------------------------
// The About dialog, opened by double-clicks on the main window.

class AboutDialog : public DesktopTest {
  protected:
    static constexpr const char* caption = "PULSEWARD";
    // The main window at pixel (600, 100), clear of the dialog's default place.
    static constexpr const char* mainAside = "MainLeft=9000\nMainTop=1500\n";
    static constexpr Point clientSize{354, 355};
    static constexpr Rect creatorLabel{16, 88, 321, 33};
    static constexpr Point alwaysOnTopTickbox{56, 316};
    static constexpr Point okButton{256, 315};

    // Double-clicks the main window there and returns the dialog once the window manager shows
    // it, checking what it is and that its frame is at the place.
    std::optional<WindowId> openAbout(PulsewardRun& run, WindowId window, const Point& where,
                                      const Point& place = defaultFramePlace) {
        click(x(), window, where, 2);
        if (HasFatalFailure()) {
            return std::nullopt;
        }
        return waitForAbout(run, window, place);
    }

    std::optional<WindowId> waitForAbout(PulsewardRun& run, WindowId window,
                                         const Point& place = defaultFramePlace) {
        std::optional<WindowId> dialog;
        const bool shown = waitUntil(
            [&] {
                dialog = run.findWindow(caption);
                return dialog && x().isViewable(*dialog) && x().wmState(*dialog) == normalState &&
                       x().frameExtents(*dialog);
            },
            5000ms);
        if (!shown) {
            return std::nullopt;
        }
        EXPECT_EQ(x().transientFor(*dialog), window) << "the dialog's owner";
        EXPECT_EQ(x().clientSize(*dialog), clientSize) << "client width, height";
        EXPECT_TRUE(waitForFrameAt(x(), *dialog, place))
            << "the frame opened at " << framePlace(x(), *dialog);
        return dialog;
    }

    bool waitForAboutClosed(PulsewardRun& run) {
        return waitUntil([&] { return !run.findWindow(caption); }, 3000ms);
    }

    // The creator label once it shows green text and has stopped changing.
    std::optional<Image> creator(WindowId dialog) {
        const auto origin = x().clientOrigin(dialog);
        if (!origin) {
            return std::nullopt;
        }
        const Rect area{origin->x + creatorLabel.x, origin->y + creatorLabel.y, creatorLabel.width,
                        creatorLabel.height};
        Image previous, current;
        const bool settled = waitUntil(
            [&] {
                previous = std::exchange(current, x().grab(area));
                return current.pixels == previous.pixels &&
                       std::any_of(current.pixels.begin(), current.pixels.end(),
                                   [](const Rgb& pixel) { return near(pixel, green); });
            },
            3000ms);
        return settled ? std::optional(current) : std::nullopt;
    }
};

TEST_F(AboutDialog, OpensFromTheBackgroundOrEitherHeartAndHoldsTheMainWindowsInput) {
    writeSettings(std::string("[Settings]\n") + mainAside);
    auto& run = start();
    const auto window = run.waitForMainWindow();
    ASSERT_TRUE(window) << "no main window";
    ASSERT_TRUE(waitForPaintIn(x(), *window, red)) << "the running window is not red";
    const auto origin = x().clientOrigin(*window);
    ASSERT_TRUE(origin);

    ASSERT_TRUE(near(grabClient(x(), *window).at(36, 14), red)) << "(36, 14) is no background";
    auto dialog = openAbout(run, *window, {36, 14});
    ASSERT_TRUE(dialog) << "no dialog after a double-click on the background";

    // The main window takes no clicks, while its pulse goes on.
    ASSERT_NO_FATAL_FAILURE(click(x(), *window, buttonCentre));
    const auto samples = watch(x(), *origin, 2400ms);
    const auto flips = numLockFlips(samples);
    EXPECT_GE(flips.size(), 2u) << "Num Lock flips at " << listMs(flips);
    EXPECT_LE(flips.size(), 4u) << "Num Lock flips at " << listMs(flips);
    const auto notRed =
        samplesWhere(samples, [](const Image& client) { return !backgroundShows(client, red); });
    EXPECT_TRUE(notRed.empty()) << "the main window was not red at " << listMs(notRed);

    // A double-click on the creator shows a contact address, for this opening only.
    const auto firstLook = creator(*dialog);
    ASSERT_TRUE(firstLook) << "the creator label shows no green text";
    ASSERT_NO_FATAL_FAILURE(click(x(), *dialog, {176, 104}, 2));
    EXPECT_TRUE(waitUntil(
        [&] {
            const auto look = creator(*dialog);
            return look && look->pixels != firstLook->pixels;
        },
        3000ms))
        << "the creator label did not change";
    x().closeWindow(*dialog);
    ASSERT_TRUE(waitForAboutClosed(run)) << "the dialog did not close";

    // Clicks reach the main window again; stopped, it shows its hearts all the time.
    ASSERT_NO_FATAL_FAILURE(click(x(), *window, buttonCentre));
    ASSERT_TRUE(waitForPaintIn(x(), *window, black)) << "the button did not stop the pulse";
    for (const auto& [name, heart] :
         {std::pair{"left heart", leftHeart}, std::pair{"right heart", rightHeart}}) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(controlShown(grabClient(x(), *window), heart, black));
        dialog = openAbout(run, *window, {heart.x + heart.width / 2, heart.y + heart.height / 2});
        ASSERT_TRUE(dialog) << "no dialog after a double-click on the " << name;
        const auto look = creator(*dialog);
        EXPECT_TRUE(look && look->pixels == firstLook->pixels)
            << "the creator label looks other than at the first opening";
        x().closeWindow(*dialog);
        ASSERT_TRUE(waitForAboutClosed(run)) << "the dialog did not close";
    }
    ASSERT_NO_FATAL_FAILURE(closeAndExpectExit(x(), run, *window));
}

TEST_F(AboutDialog, OpensFromAHeartWhileThePulseHidesIt) {
    writeSettings(std::string("[Settings]\n") + mainAside);
    auto& run = start();
    const auto window = run.waitForMainWindow();
    ASSERT_TRUE(window) << "no main window";
    ASSERT_TRUE(waitForPaintIn(x(), *window, red)) << "the running window is not red";
    const Point heartCentre{rightHeart.x + rightHeart.width / 2,
                            rightHeart.y + rightHeart.height / 2};
    const auto heartShown = [&] { return controlShown(grabClient(x(), *window), rightHeart, red); };

    // A hidden heart leaves the double-click to the window behind it. Both clicks must fall
    // within the 750 ms for which the heart stays hidden, counted from when it was seen to hide.
    std::optional<WindowId> dialog;
    for (int attempt = 1; attempt <= 5 && !dialog; ++attempt) {
        ASSERT_TRUE(waitUntil(heartShown, 2000ms)) << "the heart never shows";
        ASSERT_TRUE(waitUntil([&] { return !heartShown(); }, 2000ms)) << "the heart never hides";
        const auto hidden = Clock::now();
        ASSERT_NO_FATAL_FAILURE(click(x(), *window, heartCentre, 2));
        const bool inTime = Clock::now() - hidden < 500ms;
        dialog = waitForAbout(run, *window);
        if (!inTime) {
            std::cout << "attempt " << attempt << ": the clicks took too long\n";
            if (dialog) {
                x().closeWindow(*dialog);
                ASSERT_TRUE(waitForAboutClosed(run)) << "the dialog did not close";
                dialog.reset();
            }
            continue;
        }
        ASSERT_TRUE(dialog) << "no dialog after a double-click on the hidden heart";
    }
    ASSERT_TRUE(dialog) << "no double-click fell within a hidden phase";
    x().closeWindow(*dialog);
    ASSERT_TRUE(waitForAboutClosed(run)) << "the dialog did not close";
    ASSERT_NO_FATAL_FAILURE(closeAndExpectExit(x(), run, *window));
}

TEST_F(AboutDialog, AlwaysOnTopTickboxRunsTheKeeperAndOkStoresTheOptionsAndPlace) {
    // Without AUTOSTART_TICKBOX, so that only the dialog can store it.
    writeSettings(std::string("[Settings]\n") + mainAside);
    const auto other = startOtherClient({700, 400});
    ASSERT_TRUE(other) << "no xlogo window";
    auto& run = start();
    const auto window = run.waitForMainWindow();
    ASSERT_TRUE(window) << "no main window";
    ASSERT_TRUE(waitForPaintIn(x(), *window, red)) << "the running window is not red";
    const auto dialog = openAbout(run, *window, {36, 14});
    ASSERT_TRUE(dialog) << "no dialog at the first opening";

    ASSERT_NO_FATAL_FAILURE(click(x(), *dialog, alwaysOnTopTickbox));
    EXPECT_TRUE(waitUntil([&] { return settings()["Always_On_Top_TICKBOX"] == "1"; }, 2000ms))
        << settingsText();
    ASSERT_NO_FATAL_FAILURE(bringForward(*other, *dialog));
    EXPECT_TRUE(waitUntil([&] { return hasAbove(x(), *window) && !hasAbove(x(), *other); }, 2500ms))
        << std::boolalpha << "ours on top: " << hasAbove(x(), *window)
        << ", other on top: " << hasAbove(x(), *other);

    // Unticked, the keeper stops and leaves the main window where it is: on top.
    ASSERT_NO_FATAL_FAILURE(click(x(), *dialog, alwaysOnTopTickbox));
    EXPECT_TRUE(waitUntil([&] { return settings()["Always_On_Top_TICKBOX"] == "0"; }, 2000ms))
        << settingsText();
    ASSERT_NO_FATAL_FAILURE(bringForward(*other, *dialog));
    const auto end = Clock::now() + 2000ms;
    while (Clock::now() < end) {
        ASSERT_TRUE(hasAbove(x(), *window)) << "the main window left the top";
        ASSERT_TRUE(hasAbove(x(), *other)) << "the keeper still runs";
        std::this_thread::sleep_for(50ms);
    }

    x().moveFrameTo(*dialog, 150, 120);
    ASSERT_TRUE(waitForFrameAt(x(), *dialog, {150, 120}))
        << "the window manager did not move the dialog; it is at " << framePlace(x(), *dialog);
    ASSERT_NO_FATAL_FAILURE(click(x(), *dialog, okButton));
    ASSERT_TRUE(waitForAboutClosed(run)) << "OK did not close the dialog";
    auto stored = settings();
    EXPECT_EQ(stored["AboutLeft"], std::to_string(150 * twipsPerPixel));
    EXPECT_EQ(stored["AboutTop"], std::to_string(120 * twipsPerPixel));
    EXPECT_EQ(stored["Always_On_Top_TICKBOX"], "0");
    EXPECT_EQ(stored["AUTOSTART_TICKBOX"], "1");
    const auto reopened = openAbout(run, *window, {36, 14}, {150, 120});
    ASSERT_TRUE(reopened) << "no dialog at the second opening";
    x().closeWindow(*reopened);
    ASSERT_TRUE(waitForAboutClosed(run)) << "the dialog did not close";

    ASSERT_NO_FATAL_FAILURE(closeAndExpectExit(x(), run, *window));
    stored = settings();
    EXPECT_EQ(stored.count("AboutWidth") + stored.count("AboutHeight"), 0u) << settingsText();
}

// ---------------------------------------------------------------------------------------------
// An X server that cannot take synthetic key presses.

class WithoutXTest : public DesktopTest {};

TEST_F(WithoutXTest, FailedKeyPressStopsThePulseWithAMessageAndTheProgramGoesOn) {
    try {
        extraSession_ =
            DesktopSession::start(folder_ / "desktop-without-xtest", {"-extension", "XTEST"});
    } catch (const std::exception& error) {
        FAIL() << "no second desktop: " << error.what();
    }
    XDisplay& noXTest = extraSession_->x();
    ASSERT_FALSE(noXTest.hasExtension("XTEST"));

    auto& run = start(noXTest);
    const auto window = run.waitForMainWindow();
    ASSERT_TRUE(window) << "no main window";

    // The first key press is due one phase after the start.
    std::optional<WindowId> box;
    ASSERT_TRUE(
        waitUntil([&] { return (box = run.findWindow(messageBoxName)).has_value(); }, 3000ms))
        << "no message box";
    EXPECT_NE(*box, *window);
    EXPECT_TRUE(waitForPaintIn(noXTest, *window, black))
        << "the window does not show the pulse stopped";
    EXPECT_TRUE(run.running());

    noXTest.closeWindow(*box);
    ASSERT_TRUE(waitUntil([&] { return !run.findWindow(messageBoxName); }, 3000ms))
        << "the message box did not close";

    // Two more phases: the pulse stays stopped, so no further message and no red.
    const auto end = Clock::now() + 1600ms;
    while (Clock::now() < end) {
        ASSERT_TRUE(run.running()) << "the program ended after its message";
        ASSERT_FALSE(run.findWindow(messageBoxName)) << "another message box came up";
        ASSERT_TRUE(backgroundShows(grabClient(noXTest, *window), black))
            << "the window went back to red";
        std::this_thread::sleep_for(50ms);
    }

    ASSERT_NO_FATAL_FAILURE(closeAndExpectExit(noXTest, run, *window));
}

}  // namespace

}  // namespace desktop_test

int main(int argc, char** argv) {
    desktop_test::installChildCleanup();
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new desktop_test::DesktopEnvironment);
    return RUN_ALL_TESTS();
}
