// The program under the faults a desktop really has, watched from outside: no display to start
// on, its X server going away, the session ending while a message box waits for an answer,
// settings that nothing could store or that no screen could show; and its command line, which
// needs no display.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/desktop/DesktopFixture.h"

namespace desktop_test {

namespace {

constexpr const char* aboutCaption = "PULSEWARD";
constexpr Point alwaysOnTopTickbox{56, 316};

// The most memory the process has had resident, in KiB.
long peakResidentKiB(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.starts_with("VmHWM:")) {
            return std::stol(line.substr(6));
        }
    }
    return -1;
}

class Robustness : public DesktopTest {
  protected:
    XDisplay& startOwnDesktop(const std::vector<std::string>& serverArguments = {}) {
        extraSession_ = DesktopSession::start(folder_ / "own-desktop", serverArguments);
        return extraSession_->x();
    }

    std::optional<WindowId> openAbout(XDisplay& on, PulsewardRun& run, WindowId window) {
        click(on, window, backgroundSpots[0], 2);
        std::optional<WindowId> dialog;
        waitUntil(
            [&] {
                dialog = run.findWindow(aboutCaption);
                return dialog && on.isViewable(*dialog) && on.wmState(*dialog) == normalState;
            },
            5000ms);
        return dialog;
    }

    struct Ended {
        int status = -1;
        std::string out, err;
    };
    // The program run to its end with the arguments, no display variable but those given, and
    // this test's settings folder; its own windows on the test's display are counted meanwhile.
    Ended runToEnd(const std::vector<std::string>& arguments,
                   std::map<std::string, std::string> environment, std::size_t& windowsSeen) {
        const fs::path out = folder_ / "out.log", err = folder_ / "err.log";
        fs::remove(out);
        environment["XDG_CONFIG_HOME"] = (folder_ / "config").string();
        environment["XDG_RUNTIME_DIR"] = (folder_ / "runtime").string();
        environment["ERR"] = err.string();
        std::vector<std::string> argv = {"/bin/sh", "-c", "exec \"$0\" \"$@\" 2>\"$ERR\"",
                                         shared().program.string()};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        ChildProcess process(
            {argv,
             environmentWith(environment, {"DISPLAY", "WAYLAND_", "XDG_SESSION_TYPE", "QT_",
                                           "XDG_CONFIG", "DBUS_SESSION_BUS_ADDRESS"}),
             out});
        const bool ended = waitUntil(
            [&] {
                for (const WindowId window : x().clientList()) {
                    windowsSeen += x().windowPid(window) == process.pid();
                }
                return !process.running();
            },
            10s);
        return {ended ? *process.status() : -1, fileText(out), fileText(err)};
    }

    static std::string fileText(const fs::path& path) {
        std::ifstream in(path);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

    std::optional<WindowId> waitForMessageBox(PulsewardRun& run) {
        std::optional<WindowId> box;
        waitUntil([&] { return (box = run.findWindow(messageBoxName)).has_value(); }, 5000ms);
        return box;
    }
};

// ---------------------------------------------------------------------------------------------
// No display to start on (an ssh shell, a text console, a service; a Wayland session whose
// compositor is gone or refuses the program): one line naming both display variables and what
// was tried, status 1, no core dump, the settings file as it was.

// A compositor's socket that takes each connection and closes it at once. Its folder's name is
// short, as a socket's path must be.
class RefusingSocket {
  public:
    RefusingSocket() {
        std::string folder = "/tmp/pulseward-XXXXXX";
        EXPECT_NE(mkdtemp(folder.data()), nullptr);
        path_ = fs::path(folder) / "refusing-0";
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        path_.string().copy(address.sun_path, sizeof address.sun_path - 1);
        fd_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        EXPECT_EQ(bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        EXPECT_EQ(listen(fd_, 4), 0);
        refuser_ = std::thread([fd = fd_] {
            for (int client; (client = accept(fd, nullptr, nullptr)) >= 0;) {
                close(client);
            }
        });
    }
    ~RefusingSocket() {
        shutdown(fd_, SHUT_RDWR);
        refuser_.join();
        close(fd_);
        std::error_code ignored;
        fs::remove_all(path_.parent_path(), ignored);
    }
    const fs::path& path() const { return path_; }

  private:
    fs::path path_;
    int fd_ = -1;
    std::thread refuser_;
};

TEST_F(Robustness, WithoutADisplayTheProgramEndsWithOneLineAndStoresNothing) {
    const std::string stored = "[Settings]\nMainLeft=1234.5\nMainTop=0777\n";
    writeSettings(stored);
    const RefusingSocket refusing;
    const struct {
        std::map<std::string, std::string> environment;
        std::string tried;  // named in the line
    } cases[] = {
        {{}, "DISPLAY is not set"},
        {{{"DISPLAY", ":9997"},
          {"WAYLAND_DISPLAY", (refusing.path().parent_path() / "gone-0").string()}},
         "no compositor answers"},
        {{{"WAYLAND_DISPLAY", refusing.path().string()}, {"XDG_SESSION_TYPE", "wayland"}},
         "refused the connection"},
        {{{"QT_QPA_PLATFORM", "wayland"}}, "WAYLAND_DISPLAY is not set"},
    };
    for (const auto& [environment, tried] : cases) {
        std::size_t windows = 0;
        const Ended ended = runToEnd({}, environment, windows);
        const std::string error = ended.err;
        SCOPED_TRACE(error);
        ASSERT_NE(ended.status, -1) << "still running";
        EXPECT_FALSE(WIFSIGNALED(ended.status)) << describeStatus(ended.status);
        EXPECT_TRUE(WIFEXITED(ended.status) && WEXITSTATUS(ended.status) == 1)
            << describeStatus(ended.status);
        EXPECT_EQ(std::count(error.begin(), error.end(), '\n'), 1);
        for (const std::string& named :
             {std::string(" DISPLAY"), std::string("WAYLAND_DISPLAY"), tried}) {
            EXPECT_NE(error.find(named), std::string::npos) << named;
        }
        EXPECT_EQ(settingsText(), stored);
    }
}

// ---------------------------------------------------------------------------------------------
// The command line answers without a window, with or without a display, and a mistake never
// starts the pulse.

TEST_F(Robustness, TheCommandLineAnswersWithoutAWindow) {
    const std::string usage = "Usage: FERN-BADGER-PULSEWARD [options]\n";
    const struct {
        std::vector<std::string> arguments;
        bool onTheDisplay;
        int status;
        std::string out;       // all of stdout, or its start when it is the usage's first line
        std::string errStart;  // stderr's first line
        bool usageFollows = true;
    } cases[] = {
        {{"--help"}, false, 0, usage, ""},
        {{"-h"}, true, 0, usage, ""},
        {{"--version"}, false, 0, "FERN-BADGER-PULSEWARD " PULSEWARD_VERSION "\n", ""},
        {{"-v"}, true, 0, "FERN-BADGER-PULSEWARD " PULSEWARD_VERSION "\n", ""},
        {{"--bogus"}, true, 2, "", "FERN-BADGER-PULSEWARD: Unknown option 'bogus'.\n"},
        {{"--help-all"}, false, 2, "", "FERN-BADGER-PULSEWARD: Unknown option 'help-all'.\n"},
        {{"now"}, true, 2, "", "FERN-BADGER-PULSEWARD: Unexpected argument: now"},
        {{"--for"}, true, 2, "", "FERN-BADGER-PULSEWARD: Missing value after '--for'.\n"},
        // A time the program cannot read, or commands that contradict each other: one line.
        {{"--for", "0s"}, true, 2, "", "FERN-BADGER-PULSEWARD: --for takes a duration", false},
        {{"--for", "90"}, true, 2, "", "FERN-BADGER-PULSEWARD: --for takes a duration", false},
        {{"--for", "1.5h"}, false, 2, "", "FERN-BADGER-PULSEWARD: --for takes a duration", false},
        {{"--for=30m1h"}, true, 2, "", "FERN-BADGER-PULSEWARD: --for takes a duration", false},
        {{"--for", "169h"}, true, 2, "", "FERN-BADGER-PULSEWARD: --for takes a duration", false},
        {{"--until", "24:00"}, true, 2, "", "FERN-BADGER-PULSEWARD: --until takes a time", false},
        {{"--until", "7pm"}, false, 2, "", "FERN-BADGER-PULSEWARD: --until takes a time", false},
        {{"--start", "--stop"}, true, 2, "", "FERN-BADGER-PULSEWARD: Give one of", false},
        {{"--for", "5m", "--until", "12:00"},
         true,
         2,
         "",
         "FERN-BADGER-PULSEWARD: Give one of",
         false},
        {{"--toggle", "--for", "5m"}, true, 2, "", "FERN-BADGER-PULSEWARD: Give one of", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments[0] + (c.arguments.size() > 1 ? " " + c.arguments[1] : ""));
        std::size_t windows = 0;
        std::map<std::string, std::string> environment;
        if (c.onTheDisplay) {
            environment["DISPLAY"] = x().name();
        }
        const Ended ended = runToEnd(c.arguments, environment, windows);
        ASSERT_NE(ended.status, -1) << "still running";
        EXPECT_TRUE(WIFEXITED(ended.status) && WEXITSTATUS(ended.status) == c.status)
            << describeStatus(ended.status) << "\n"
            << ended.err;
        EXPECT_EQ(windows, 0u);
        if (c.out == usage) {
            EXPECT_TRUE(ended.out.starts_with(usage)) << ended.out;
            EXPECT_NE(ended.out.find("--version"), std::string::npos) << ended.out;
        } else {
            EXPECT_EQ(ended.out, c.out);
        }
        if (c.status == 2 && !c.usageFollows) {
            EXPECT_TRUE(ended.err.starts_with(c.errStart)) << ended.err;
            EXPECT_EQ(std::count(ended.err.begin(), ended.err.end(), '\n'), 1) << ended.err;
        } else if (c.status == 2) {
            EXPECT_TRUE(ended.err.starts_with(c.errStart)) << ended.err;
            EXPECT_NE(ended.err.find(usage), std::string::npos) << "the usage follows";
        } else {
            EXPECT_EQ(ended.err, "");
        }
        EXPECT_FALSE(fs::exists(settingsFile())) << "the program started";
    }
}

// ---------------------------------------------------------------------------------------------
// The X server goes away (a logout, a restarted server, a dropped remote connection): one line
// on stderr about it and status 1, not a crash. The only other line is the route's, once a
// pulse has been sent.

class DisplayGoesAway : public Robustness {
  protected:
    void expectEndWithOneLine(PulsewardRun& run, std::size_t routeLines) {
        extraSession_->endServer();
        const auto status = run.waitForExit(10s);
        ASSERT_TRUE(status) << "the program still runs without its display";
        EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 1) << describeStatus(*status);
        const auto lines = linesOf(runLog(1));
        std::vector<std::string> others;
        std::copy_if(lines.begin(), lines.end(), std::back_inserter(others),
                     [](const std::string& line) { return line != x11RouteLine; });
        EXPECT_EQ(lines.size() - others.size(), routeLines) << joined(lines);
        ASSERT_EQ(others.size(), 1u) << joined(lines);
        EXPECT_NE(others[0].find("display"), std::string::npos) << others[0];
    }
};

TEST_F(DisplayGoesAway, WhileThePulseRuns) {
    XDisplay& own = startOwnDesktop();
    auto& run = start(own);
    const auto window = run.waitForMainWindow();
    ASSERT_TRUE(window) << "no main window";
    ASSERT_TRUE(waitForPaintIn(own, *window, red));
    std::this_thread::sleep_for(1000ms);  // a pulse or two on the way
    expectEndWithOneLine(run, 1);
}

TEST_F(DisplayGoesAway, WithTheAboutDialogOpen) {
    XDisplay& own = startOwnDesktop();
    writeSettings("[Settings]\nAUTOSTART_TICKBOX=0\n");
    auto& run = start(own);
    const auto window = run.waitForMainWindow();
    ASSERT_TRUE(window) << "no main window";
    ASSERT_TRUE(openAbout(own, run, *window)) << "no About dialog";
    expectEndWithOneLine(run, 0);
}

// ---------------------------------------------------------------------------------------------
// The session ends (SIGTERM, SIGINT, SIGHUP) while a message box waits for an answer: the
// program still ends at once, and what it cannot show goes to stderr.

class SessionEnds : public Robustness, public ::testing::WithParamInterface<int> {};

TEST_P(SessionEnds, WhileAMessageBoxSaysASettingCouldNotBeStored) {
    fs::create_directories(settingsFile());  // a folder where the file belongs: nothing is stored
    auto& run = start();
    const auto window = run.waitForMainWindow();
    ASSERT_TRUE(window) << "no main window";
    const auto dialog = openAbout(x(), run, *window);
    ASSERT_TRUE(dialog) << "no About dialog";
    click(x(), *dialog, alwaysOnTopTickbox);
    ASSERT_TRUE(waitForMessageBox(run)) << "no message box for the option that was not stored";

    kill(run.pid(), GetParam());
    const auto status = run.waitForExit(2500ms);
    ASSERT_TRUE(status) << "the program waits on the message box";
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << describeStatus(*status);
    const std::string log = joined(linesOf(runLog(1)));
    EXPECT_NE(log.find("\"MainLeft\" and \"MainTop\""), std::string::npos)
        << "the place that could not be stored is said on stderr:\n"
        << log;
}

INSTANTIATE_TEST_SUITE_P(Signals, SessionEnds, ::testing::Values(SIGTERM, SIGINT, SIGHUP),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return std::string(sigabbrev_np(info.param));
                         });

TEST_F(Robustness, SessionEndsWhileTheStoppedPulsesMessageIsUpAndThePlaceIsStored) {
    XDisplay& noXTest = startOwnDesktop({"-extension", "XTEST"});
    auto& run = start(noXTest);
    const auto window = run.waitForMainWindow();
    ASSERT_TRUE(window) << "no main window";
    noXTest.moveFrameTo(*window, 300, 200);
    ASSERT_TRUE(waitForFrameAt(noXTest, *window, {300, 200}));
    ASSERT_TRUE(waitForMessageBox(run)) << "no message box for the key press";

    kill(run.pid(), SIGTERM);
    const auto status = run.waitForExit(2500ms);
    ASSERT_TRUE(status) << "the program waits on the message box";
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << describeStatus(*status);
    EXPECT_EQ(settings()["MainLeft"], "4500");
    EXPECT_EQ(settings()["MainTop"], "3000");
}

// ---------------------------------------------------------------------------------------------
// Sizes that no screen could show: the default size, with a warning, and nothing odd stored.

TEST_F(Robustness, SizesLargerThanTheDesktopGiveTheDefaultSizes) {
    writeSettings(
        "[Settings]\nMainWidth=1e30\nMainHeight=1e30\nAboutWidth=1e30\nAboutHeight=1e30\n"
        "AUTOSTART_TICKBOX=0\n");
    auto& run = start();
    const auto window = run.waitForMainWindow();
    ASSERT_TRUE(window) << "no main window";
    EXPECT_EQ(x().clientSize(*window), (Point{clientWidth, clientHeight}));
    EXPECT_EQ(x().framePosition(*window), defaultFramePlace);

    const auto dialog = openAbout(x(), run, *window);
    ASSERT_TRUE(dialog) << "no About dialog";
    EXPECT_EQ(x().clientSize(*dialog), (Point{354, 355}));
    // A window of the stored size would need gigabytes of pixels.
    const long peak = peakResidentKiB(run.pid());
    EXPECT_GT(peak, 0);
    EXPECT_LT(peak, 512 * 1024) << "KiB";

    x().closeWindow(*dialog);
    ASSERT_TRUE(waitUntil([&] { return !run.findWindow(aboutCaption); }, 3000ms));
    ASSERT_NO_FATAL_FAILURE(closeAndExpectExit(x(), run, *window));
    EXPECT_EQ(settings()["MainLeft"], "1000");
    EXPECT_EQ(settings()["MainTop"], "1000");
    const std::string log = joined(linesOf(runLog(1)));
    for (const char* key : {"MainWidth", "MainHeight", "AboutWidth", "AboutHeight"}) {
        EXPECT_NE(log.find(key), std::string::npos) << "no warning for " << key << ":\n" << log;
    }
}

}  // namespace

}  // namespace desktop_test

int main(int argc, char** argv) {
    return desktop_test::runDesktopTests(argc, argv);
}
