// The real program on Wayland compositors, watched from outside: on sway its key presses reach
// the compositor (the idle timer never fires while the pulse runs) and the focused Wayland
// window; on a compositor that offers no way to send keys, the pulse stops with a message.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "tests/desktop/WaitUntil.h"
#include "tests/wayland/IdleWatcher.h"
#include "tests/wayland/KeyClientRun.h"
#include "tests/wayland/OutputLines.h"
#include "tests/wayland/TestFolder.h"
#include "tests/wayland/WaylandSession.h"

namespace wayland_test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr std::uint64_t numLockKey = 69;  // KEY_NUMLOCK

std::string fileText(const fs::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class PulseOnWayland : public ::testing::Test {
  protected:
    void SetUp() override {
        const char* program = std::getenv("PULSEWARD_PROGRAM");
        ASSERT_TRUE(program && *program) << "PULSEWARD_PROGRAM must name the program";
        program_ = program;
        testFolder_.writableByUser("config");
    }

    void TearDown() override { run_.reset(); }

    void startProgram(WaylandSession& session) {
        run_ = session.startClient(
            {program_.string()}, log(),
            {{"XDG_CONFIG_HOME", (folder_ / "config").string()}, {"QT_QPA_PLATFORM", "xcb"}});
    }

    fs::path log() const { return folder_ / "program.log"; }

    // The program keeps the session from going idle, naming the route at start, and the focused
    // Wayland window sees each press and the Num Lock lock flip, its keymap unchanged; once the
    // program has gone, the session goes idle again.
    void expectAwakeWithEachPressSeen(WaylandSession& session, const std::string& route) {
        IdleWatcher idle(session, folder_ / "swayidle.log");
        const auto firstIdle = idle.waitForIdle(10s);
        ASSERT_TRUE(firstIdle) << "the idle timer does not fire on its own";

        startProgram(session);
        const auto resumed = idle.waitForResumed(5s, *firstIdle);
        ASSERT_TRUE(resumed) << "no key press reached the compositor\n" << fileText(log());
        EXPECT_NE(fileText(log()).find("through " + route), std::string::npos)
            << "the route in use is said at start\n"
            << fileText(log());

        // The window being worked in, opened after the program's, gets the focus.
        KeyClientRun client(session, folder_ / "key-client.log");
        const auto enter = client.waitFor("enter", 10s);
        ASSERT_TRUE(enter) << client.output().text();
        const auto keysBefore = client.keyCount(numLockKey, true);
        // Six phases of the pulse: two 2-second idle timeouts would have fired by now.
        std::this_thread::sleep_for(4500ms);
        EXPECT_TRUE(run_->running()) << fileText(log());
        EXPECT_EQ(idle.idleCount(), 1u) << "the idle timer fired while the pulse ran\n"
                                        << idle.output().text();
        EXPECT_GE(client.keyCount(numLockKey, true) - keysBefore, 5u) << client.output().text();
        EXPECT_GE(client.keyCount(numLockKey, false), client.keyCount(numLockKey, true) - 1)
            << "each press is released\n"
            << client.output().text();
        const auto locks = client.numLockStates();
        std::size_t flips = 0;
        for (std::size_t i = 1; i < locks.size(); ++i) {
            flips += locks[i] != locks[i - 1];
        }
        EXPECT_GE(flips, 4u) << "the Num Lock lock did not flip with the presses\n"
                             << client.output().text();
        const auto keymaps = client.keymapHashes();
        ASSERT_FALSE(keymaps.empty());
        for (const auto hash : keymaps) {
            EXPECT_EQ(hash, keymaps.front()) << "the focused window's keymap changed";
        }

        run_->stop();
        EXPECT_TRUE(idle.waitForIdle(5s, *resumed)) << idle.output().text();
    }

    // The program shows its message box and keeps running, and never presses through XWayland.
    void expectStoppedWithAMessage(WaylandSession& session) {
        const auto boxShown = [&] {
            const auto tree = session.run({"xwininfo", "-root", "-tree"});
            // A window of that name with a class: the message box (Qt's hidden group leader has
            // none).
            return tree.output.find("\"FERN-BADGER-PULSEWARD\": (\"") != std::string::npos;
        };
        EXPECT_TRUE(desktop_test::waitUntil(boxShown, 10s)) << "no message box\n"
                                                            << fileText(log());
        EXPECT_TRUE(run_->running()) << fileText(log());
        EXPECT_EQ(fileText(log()).find("XTest"), std::string::npos)
            << "XTest through XWayland counted as a pulse\n"
            << fileText(log());
        EXPECT_EQ(fileText(log()).find("key presses go to the compositor"), std::string::npos)
            << fileText(log());
    }

    TestFolder testFolder_{"pulseward-onwl"};
    const fs::path folder_ = testFolder_.path();
    fs::path program_;
    std::unique_ptr<ChildProcess> run_;
};

TEST_F(PulseOnWayland, OnSwayTheSessionStaysAwakeAndTheFocusedWindowSeesEachPress) {
    auto session = WaylandSession::startSway(folder_ / "sway");
    expectAwakeWithEachPressSeen(*session, "zwp_virtual_keyboard_manager_v1");
}

// KWin counts fake input as the seat's own keys and works out the Num Lock lock itself.
TEST_F(PulseOnWayland,
       OnKWinWithItsDesktopFileTheSessionStaysAwakeAndTheFocusedWindowSeesEachPress) {
    auto session = WaylandSession::startKWin(folder_ / "kwin", {program_});
    expectAwakeWithEachPressSeen(*session, "org_kde_kwin_fake_input");
}

TEST_F(PulseOnWayland, OnKWinWithoutItsDesktopFileThePulseStopsWithAMessage) {
    auto session = WaylandSession::startKWin(folder_ / "kwin");
    startProgram(*session);
    expectStoppedWithAMessage(*session);
}

// The topmost keeper on sway: wlroots' window manager for XWayland leaves _NET_ACTIVE_WINDOW
// empty while a Wayland window has the keyboard and ignores _NET_WM_STATE_ABOVE. The keeper's
// requests must do no harm there: no focus taken, no error.
TEST_F(PulseOnWayland, OnSwayTheTopmostKeeperLeavesTheKeyboardWithTheFocusedWindow) {
    auto session = WaylandSession::startSway(folder_ / "sway");
    const fs::path settings = folder_ / "config" / "FERN-BADGER-PULSEWARD.ini";
    std::ofstream(settings) << "[Settings]\nAlways_On_Top_TICKBOX=1\n";
    ASSERT_EQ(chown(settings.c_str(), WaylandSession::user(), gid_t(-1)), 0);
    startProgram(*session);
    const OutputLines programLines(log());
    ASSERT_TRUE(programLines.waitFor(
        [](const std::string& line) { return line.find("go to the compositor") != line.npos; },
        10s))
        << programLines.text();

    KeyClientRun client(*session, folder_ / "key-client.log");
    const auto enter = client.waitFor("enter", 10s);
    ASSERT_TRUE(enter) << client.output().text();
    const auto keysBefore = client.keyCount(numLockKey, true);
    // The keeper looks once a second: three looks and more while our window has the keyboard.
    std::this_thread::sleep_for(3500ms);
    EXPECT_FALSE(client.waitFor("leave", 0ms, *enter))
        << "the keeper took the keyboard from the focused window\n"
        << client.output().text();
    EXPECT_GE(client.keyCount(numLockKey, true) - keysBefore, 3u) << client.output().text();
    EXPECT_TRUE(run_->running());
    EXPECT_EQ(programLines.lines().size(), 1u) << "only the route is said\n" << programLines.text();
}

TEST_F(PulseOnWayland, OnACompositorWithNoWayToSendKeysThePulseStopsWithAMessage) {
    auto session = WaylandSession::startWeston(folder_ / "weston", true);
    startProgram(*session);
    expectStoppedWithAMessage(*session);
}

}  // namespace
}  // namespace wayland_test

int main(int argc, char** argv) {
    desktop_test::installChildCleanup();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
