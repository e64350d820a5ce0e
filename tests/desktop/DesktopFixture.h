#pragma once

// The fixture of the desktop tests: one desktop for the whole test program, a work folder per
// test, the program's runs and other programs' windows, and what a failed test leaves to look at.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tests/desktop/ChildProcess.h"
#include "tests/desktop/DesktopSession.h"
#include "tests/desktop/PulsewardRun.h"
#include "tests/desktop/ScreenChecks.h"
#include "tests/desktop/XDisplay.h"

namespace desktop_test {

// Shared by all tests: the program, a work folder, and the desktop they run on.
struct Shared {
    fs::path program;
    fs::path workFolder;
    std::unique_ptr<DesktopSession> session;
};

inline Shared& shared() {
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
            bus_.reset();
            extraSession_.reset();
            others_.clear();
            std::error_code ignored;
            fs::remove_all(folder_, ignored);
            return;
        }
        saveScreenshot(x(), "screenshot.png");
        if (extraSession_ && extraSession_->serverRunning()) {
            saveScreenshot(extraSession_->x(), "screenshot-of-own-desktop.png");
        }
        for (std::size_t i = 0; i < runs_.size(); ++i) {
            std::cout << "Run " << i + 1 << " of the program (pid " << runs_[i]->pid()
                      << "): " << runs_[i]->state() << "\n";
        }
        std::cout << "Program output and settings are in " << folder_ << "\n";
    }

    XDisplay& x() { return shared().session->x(); }

    // What the program's nth run (from 1) wrote on stdout and stderr.
    fs::path runLog(std::size_t run) const {
        return folder_ / ("run-" + std::to_string(run) + ".log");
    }

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
    PulsewardRun& start(XDisplay& on, const std::map<std::string, std::string>& environment = {},
                        const std::vector<std::string>& arguments = {}) {
        const PulsewardRun::Paths paths{shared().program,    folder_ / "config",
                                        folder_ / "runtime", runLog(runs_.size() + 1),
                                        environment,         arguments};
        runs_.push_back(std::make_unique<PulsewardRun>(on, paths));
        return *runs_.back();
    }
    PulsewardRun& start() { return start(x()); }

    // Runs the program on the shared display to its end, as a script or a desktop shortcut
    // would: its status (as from waitpid) and stdout.
    CommandResult command(const std::vector<std::string>& arguments,
                          const std::map<std::string, std::string>& environment) {
        std::vector<std::string> argv = {shared().program.string()};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        const PulsewardRun::Paths paths{
            shared().program, folder_ / "config", folder_ / "runtime", {}, environment};
        return runCommand(argv, programEnvironment(x().name(), paths));
    }

    // A session bus of this test's own, ended with the test, which starts no service: only this
    // test's runs meet on it. The environment that names it.
    std::map<std::string, std::string> privateSessionBus() {
        const fs::path place = shared().workFolder / ("bus-" + std::to_string(++busCount_));
        fs::create_directories(place);
        const fs::path socket = place / "socket";
        std::ofstream(place / "bus.conf")
            << "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration "
               "1.0//EN\"\n"
               " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
               "<busconfig><type>session</type><listen>unix:path="
            << socket.string()
            << "</listen><auth>EXTERNAL</auth><policy context=\"default\">"
               "<allow send_destination=\"*\" eavesdrop=\"true\"/><allow eavesdrop=\"true\"/>"
               "<allow own=\"*\"/></policy></busconfig>\n";
        bus_ = std::make_unique<ChildProcess>(
            SpawnOptions{{"dbus-daemon", "--config-file=" + (place / "bus.conf").string(),
                          "--nofork", "--nopidfile"},
                         environmentWith({}),
                         folder_ / "dbus-daemon.log"});
        EXPECT_TRUE(waitUntil([&] { return fs::exists(socket) || !bus_->running(); }, 10s) &&
                    bus_->running())
            << "no private session bus (dbus-daemon)";
        return {{"DBUS_SESSION_BUS_ADDRESS", "unix:path=" + socket.string()}};
    }

    // The main windows of this test's runs that the window manager lists.
    std::size_t mainWindowCount() {
        std::size_t count = 0;
        for (const auto& run : runs_) {
            count += run->findWindow(mainWindowName).has_value();
        }
        return count;
    }

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
    // Declared before the runs, so that the programs end before their desktop and bus do.
    std::unique_ptr<DesktopSession> extraSession_;
    std::unique_ptr<ChildProcess> bus_;
    int busCount_ = 0;
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

// The file's lines that are not empty.
inline std::vector<std::string> linesOf(const fs::path& file) {
    std::ifstream in(file);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty()) {
            lines.push_back(line);
        }
    }
    return lines;
}

inline std::string joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines) {
        text += line + "\n";
    }
    return text;
}

// ---------------------------------------------------------------------------------------------

// The test program's main: children are killed with it, and the desktop lives for all tests.
inline int runDesktopTests(int argc, char** argv) {
    installChildCleanup();
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new DesktopEnvironment);
    return RUN_ALL_TESTS();
}

}  // namespace desktop_test
