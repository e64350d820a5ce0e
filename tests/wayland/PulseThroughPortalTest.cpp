// The real program with a desktop portal of ours (pulseward_fake_portal) on the session's own
// bus. On Weston headless, which offers it no Wayland route: each phase of the pulse goes
// through the portal as a Num Lock press and release, the restore token is kept in the state
// folder and handed back at the next run, and a refusal or a session the desktop closes mid-run
// stops the pulse with a message. On a real mutter headless, to whose own remote desktop the
// portal relays the keys: mutter counts each press as activity, and its focused window gets it.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/desktop/DesktopSession.h"
#include "tests/desktop/WaitUntil.h"
#include "tests/wayland/GnomeShell.h"
#include "tests/wayland/KeyClientRun.h"
#include "tests/wayland/OutputLines.h"
#include "tests/wayland/TestFolder.h"
#include "tests/wayland/WaylandSession.h"

namespace wayland_test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using desktop_test::waitUntil;

constexpr std::uint64_t numLockKey = 69;  // KEY_NUMLOCK

std::string fileText(const fs::path& path) {
    return OutputLines(path).text();
}

std::string requiredVariable(const char* name) {
    const char* value = std::getenv(name);
    return value && *value ? value : "";
}

class PulseThroughPortal : public ::testing::Test {
  protected:
    void SetUp() override {
        program_ = requiredVariable("PULSEWARD_PROGRAM");
        fakePortal_ = requiredVariable("PULSEWARD_FAKE_PORTAL");
        ASSERT_FALSE(program_.empty() || fakePortal_.empty())
            << "PULSEWARD_PROGRAM and PULSEWARD_FAKE_PORTAL must name the programs";
        testFolder_.writableByUser("config");
        testFolder_.writableByUser("state");
    }

    void useWeston() {
        session_ = WaylandSession::startWeston(folder_ / "weston", true);
        session_->startBus();
    }

    // Weston for the key route, and the windows on an X server with a window manager of their
    // own, where a test can click: XWayland on a headless Weston has no pointer to click with.
    void useWestonWithWindowsOnXvfb() {
        useWeston();
        windows_ = desktop_test::DesktopSession::start(folder_ / "x11", {});
    }

    // A command on the display the program's windows are on.
    desktop_test::CommandResult onWindowsDisplay(const std::vector<std::string>& argv) const {
        if (!windows_) {
            return session_->run(argv);
        }
        return desktop_test::runCommand(
            argv, desktop_test::environmentWith({{"DISPLAY", windows_->displayName()}},
                                                {"XAUTHORITY", "WAYLAND_DISPLAY"}));
    }

    void useMutter() { session_ = WaylandSession::startMutter(folder_ / "mutter"); }

    std::optional<std::uint64_t> mutterIdleTime() const {
        return wayland_test::mutterIdleTime(*session_);
    }

    void TearDown() override {
        run_.reset();
        portal_.reset();
        session_.reset();
        windows_.reset();
    }

    void startPortal(std::vector<std::string> arguments, const std::string& logName) {
        portal_.reset();
        arguments.insert(arguments.begin(), fakePortal_);
        portalLog_.emplace(folder_ / logName);
        portal_ = session_->startClient(arguments, portalLog_->file());
        ASSERT_TRUE(portalSays("ready")) << portalLog_->text();
    }

    void startProgram() {
        std::map<std::string, std::string> environment;
        environment["XDG_CONFIG_HOME"] = (folder_ / "config").string();
        environment["XDG_STATE_HOME"] = (folder_ / "state").string();
        environment["QT_QPA_PLATFORM"] = "xcb";
        if (windows_) {
            environment["DISPLAY"] = windows_->displayName();
        }
        run_ = session_->startClient({program_}, log(), environment);
    }

    std::size_t portalSaid(const std::string& start) const {
        return portalLog_->count([&](const std::string& line) { return line.starts_with(start); });
    }

    bool portalSays(const std::string& start) const {
        return portalLog_
            ->waitFor([&](const std::string& line) { return line.starts_with(start); }, 10s)
            .has_value();
    }

    bool messageBoxShown() {
        return waitUntil(
            [&] {
                const auto tree = session_->run({"xwininfo", "-root", "-tree"});
                return tree.output.find("\"FERN-BADGER-PULSEWARD\": (\"") != std::string::npos;
            },
            10s);
    }

    // The main window's XID, once it is mapped.
    std::optional<unsigned long> mainWindow() const {
        const auto found = onWindowsDisplay({"xdotool", "search", "--name", "^ +PULSEWARD$"});
        if (found.status != 0) {
            return std::nullopt;
        }
        return std::stoul(found.output);
    }

    // The window's background beside its left heart, as "#RRGGBB".
    std::string backgroundColour(unsigned long window) const {
        const auto pixel = onWindowsDisplay({"import", "-window", std::to_string(window), "-crop",
                                             "1x1+34+12", "-depth", "8", "txt:-"});
        const auto at = pixel.output.rfind('#');
        return at == std::string::npos ? pixel.output : pixel.output.substr(at, 7);
    }

    bool backgroundTurns(unsigned long window, const std::string& colour) const {
        return waitUntil([&] { return backgroundColour(window) == colour; }, 5s);
    }

    fs::path log() const { return folder_ / "program.log"; }
    fs::path tokenFile() const {
        return folder_ / "state" / "FERN-BADGER-PULSEWARD" / "remote-desktop-token";
    }

    TestFolder testFolder_{"pulseward-portal"};
    const fs::path folder_ = testFolder_.path();
    std::string program_;
    std::string fakePortal_;
    std::unique_ptr<WaylandSession> session_;
    std::unique_ptr<desktop_test::DesktopSession> windows_;
    std::unique_ptr<ChildProcess> portal_;
    std::optional<OutputLines> portalLog_;
    std::unique_ptr<ChildProcess> run_;
};

TEST_F(PulseThroughPortal, EachPhaseGoesThroughThePortalAndTheTokenComesBackAtTheNextRun) {
    useWeston();
    startPortal({}, "portal.log");
    startProgram();
    ASSERT_TRUE(portalSays("keysym")) << portalLog_->text() << fileText(log());
    const std::size_t before = portalSaid("keysym 65407 pressed");
    // Four phases of the pulse.
    std::this_thread::sleep_for(3200ms);
    EXPECT_TRUE(run_->running()) << fileText(log());
    EXPECT_GE(portalSaid("keysym 65407 pressed") - before, 3u) << portalLog_->text();
    EXPECT_GE(portalSaid("keysym 65407 released") + 1, portalSaid("keysym 65407 pressed"))
        << "each press is released\n"
        << portalLog_->text();
    EXPECT_EQ(portalSaid("Start"), 1u) << "the desktop is asked once\n" << portalLog_->text();
    EXPECT_NE(fileText(log()).find("through org.freedesktop.portal.RemoteDesktop"),
              std::string::npos)
        << fileText(log());
    const std::string token = "token-" + std::to_string(portal_->pid());
    EXPECT_EQ(fileText(tokenFile()), token + "\n");
    // The desktop's dialog belongs to the program's window on XWayland.
    const auto window = session_->run({"xdotool", "search", "--name", "^ +PULSEWARD$"});
    ASSERT_EQ(window.status, 0) << window.output;
    std::ostringstream parent;
    parent << "x11:" << std::hex << std::stoull(window.output);
    EXPECT_EQ(portalSaid("Start granted restore_token=" + token + " parent_window=" + parent.str()),
              1u)
        << portalLog_->text();

    // The next run hands the token back.
    run_->stop();
    startPortal({}, "portal-again.log");
    startProgram();
    ASSERT_TRUE(portalSays("keysym")) << portalLog_->text() << fileText(log());
    EXPECT_EQ(portalSaid("SelectDevices types=1 persist_mode=2 restore_token=" + token), 1u)
        << portalLog_->text();
}

TEST_F(PulseThroughPortal, TheUserRefusingStopsThePulseWithAMessage) {
    useWeston();
    startPortal({"--refuse"}, "portal.log");
    startProgram();
    // The window's title is the program's name for a moment at start, so the box is looked for
    // once the refusal has been given.
    ASSERT_TRUE(portalSays("Start refused")) << portalLog_->text() << fileText(log());
    EXPECT_TRUE(messageBoxShown()) << "no message box\n" << fileText(log());
    EXPECT_NE(fileText(log()).find("FERN-BADGER-PULSEWARD: The Num Lock key press could not be "
                                   "sent, so the pulse has stopped. The user did not allow"),
              std::string::npos)
        << "the box's reason is on stderr too\n"
        << fileText(log());
    EXPECT_TRUE(run_->running()) << fileText(log());
    EXPECT_EQ(portalSaid("keysym"), 0u) << portalLog_->text();
}

// The window is red only while presses reach the desktop: while the desktop asks its user, it is
// black, and it turns red, with the pulse starting afresh, once the user allows the presses.
TEST_F(PulseThroughPortal, WhileTheDesktopAsksTheWindowIsBlackAndTurnsRedOnceAllowed) {
    useWeston();
    startPortal({"--answer-after", "3000"}, "portal.log");
    startProgram();
    ASSERT_TRUE(portalSays("asking")) << portalLog_->text() << fileText(log());
    const auto window = mainWindow();
    ASSERT_TRUE(window);
    EXPECT_TRUE(backgroundTurns(*window, "#000000")) << backgroundColour(*window);
    ASSERT_TRUE(portalSays("Start granted")) << portalLog_->text();
    EXPECT_TRUE(backgroundTurns(*window, "#FF0000")) << backgroundColour(*window);
    ASSERT_TRUE(portalSays("keysym 65407 pressed")) << portalLog_->text();
    const auto lines = portalLog_->lines();
    const auto granted = std::find_if(lines.begin(), lines.end(), [](const std::string& line) {
        return line.starts_with("Start granted");
    });
    EXPECT_TRUE(std::none_of(lines.begin(), granted,
                             [](const std::string& line) { return line.starts_with("keysym"); }))
        << "a press while the desktop asked\n"
        << portalLog_->text();
}

// STOP while the desktop asks withdraws the question (its dialog goes) and stops the pulse.
TEST_F(PulseThroughPortal, StopWhileTheDesktopAsksWithdrawsTheQuestion) {
    useWestonWithWindowsOnXvfb();
    startPortal({"--answer-after", "-1"}, "portal.log");
    startProgram();
    ASSERT_TRUE(portalSays("asking")) << portalLog_->text() << fileText(log());
    const auto window = mainWindow();
    ASSERT_TRUE(window);
    const auto clicked = onWindowsDisplay(
        {"xdotool", "mousemove", "--window", std::to_string(*window), "60", "12", "click", "1"});
    ASSERT_EQ(clicked.status, 0) << clicked.output;
    EXPECT_TRUE(portalSays("Close request=")) << portalLog_->text() << fileText(log());
    EXPECT_TRUE(portalSays("Close session=")) << portalLog_->text();
    EXPECT_EQ(backgroundColour(*window), "#000000");
    EXPECT_TRUE(run_->running()) << fileText(log());
    EXPECT_EQ(fileText(log()).find("could not be sent"), std::string::npos)
        << "withdrawing the question is no failure\n"
        << fileText(log());
}

// The user leaves the desktop's dialog unanswered and the program ends (a logout, say): the
// question is withdrawn, so the dialog goes with the program.
TEST_F(PulseThroughPortal, TheProgramEndingWhileTheDesktopAsksWithdrawsTheQuestion) {
    useWeston();
    startPortal({"--answer-after", "-1"}, "portal.log");
    startProgram();
    ASSERT_TRUE(portalSays("asking")) << portalLog_->text() << fileText(log());
    const int status = run_->stop();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << desktop_test::describeStatus(status);
    EXPECT_TRUE(portalSays("Close request=")) << portalLog_->text() << fileText(log());
    EXPECT_TRUE(portalSays("Close session=")) << portalLog_->text() << fileText(log());
}

TEST_F(PulseThroughPortal, TheDesktopClosingTheSessionMidRunStopsThePulseWithAMessage) {
    useWeston();
    startPortal({"--close-after", "3"}, "portal.log");
    startProgram();
    ASSERT_TRUE(portalSays("Closed")) << portalLog_->text() << fileText(log());
    EXPECT_TRUE(messageBoxShown()) << "no message box\n" << fileText(log());
    EXPECT_TRUE(run_->running()) << fileText(log());
    // Stopped: nothing more is sent.
    const std::size_t keys = portalSaid("key");
    std::this_thread::sleep_for(1600ms);
    EXPECT_EQ(portalSaid("key"), keys) << portalLog_->text();
    EXPECT_EQ(portalSaid("keysym 65407 pressed"), 3u) << portalLog_->text();
}

// The portal relays to a real mutter's own remote desktop; the program speaks only the portal.
TEST_F(PulseThroughPortal, ARealMutterCountsEachPressAsActivity) {
    useMutter();
    startPortal({"--relay-mutter"}, "portal.log");
    ASSERT_TRUE(waitUntil([&] { return mutterIdleTime().value_or(0) >= 1500; }, 10s))
        << "mutter's idle time does not grow on its own";
    startProgram();
    ASSERT_TRUE(portalSays("mutter NotifyKeyboardKeysym")) << portalLog_->text() << fileText(log());
    // The window being worked in, opened after the program's, which mutter gives the focus.
    KeyClientRun client(*session_, folder_ / "key-client.log");
    ASSERT_TRUE(client.waitFor("enter", 10s)) << client.output().text();
    const auto keysBefore = client.keyCount(numLockKey, true);
    // Sampled over four phases of the pulse: never as long as two phases.
    std::uint64_t longest = 0;
    for (int i = 0; i < 12; ++i) {
        const auto idle = mutterIdleTime();
        ASSERT_TRUE(idle);
        longest = std::max(longest, *idle);
        std::this_thread::sleep_for(250ms);
    }
    EXPECT_LT(longest, 1500u) << "mutter did not count the presses\n" << portalLog_->text();
    EXPECT_GE(client.keyCount(numLockKey, true) - keysBefore, 3u) << client.output().text();
    EXPECT_EQ(portalSaid("mutter refused"), 0u) << portalLog_->text();
    EXPECT_EQ(portalSaid("mutter Start"), 1u) << portalLog_->text();

    // Once the pulse is gone, the idle time grows again.
    run_->stop();
    EXPECT_TRUE(waitUntil([&] { return mutterIdleTime().value_or(0) >= 1500; }, 10s));
}

}  // namespace
}  // namespace wayland_test
