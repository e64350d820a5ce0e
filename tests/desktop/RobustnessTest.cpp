// The program under the faults a desktop really has, watched from outside: its X server going
// away, the session ending while a message box waits for an answer, settings that nothing could
// store or that no screen could show.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
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

    std::optional<WindowId> waitForMessageBox(PulsewardRun& run) {
        std::optional<WindowId> box;
        waitUntil([&] { return (box = run.findWindow(messageBoxName)).has_value(); }, 5000ms);
        return box;
    }
};

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
