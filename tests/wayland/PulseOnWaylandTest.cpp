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

    TestFolder testFolder_{"pulseward-onwl"};
    const fs::path folder_ = testFolder_.path();
    fs::path program_;
    std::unique_ptr<ChildProcess> run_;
};

TEST_F(PulseOnWayland, OnSwayTheSessionStaysAwakeAndTheFocusedWindowSeesEachPress) {
    auto session = WaylandSession::startSway(folder_ / "sway");
    IdleWatcher idle(*session, folder_ / "swayidle.log");
    const auto firstIdle = idle.waitForIdle(10s);
    ASSERT_TRUE(firstIdle) << "the idle timer does not fire on its own";

    startProgram(*session);
    const auto resumed = idle.waitForResumed(5s, *firstIdle);
    ASSERT_TRUE(resumed) << "no key press reached the compositor\n" << fileText(log());
    EXPECT_NE(fileText(log()).find("zwp_virtual_keyboard_manager_v1"), std::string::npos)
        << "the route in use is said at start\n"
        << fileText(log());

    // The window being worked in, opened after the program's: sway gives it the focus, and its
    // keyboard is the one the program's virtual keyboard gave the seat.
    KeyClientRun client(*session, folder_ / "key-client.log");
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

    // Once the pulse is gone, the session goes idle again.
    run_->stop();
    EXPECT_TRUE(idle.waitForIdle(5s, *resumed)) << idle.output().text();
}

TEST_F(PulseOnWayland, OnACompositorWithNoWayToSendKeysThePulseStopsWithAMessage) {
    auto session = WaylandSession::startWeston(folder_ / "weston", true);
    startProgram(*session);
    const auto boxShown = [&] {
        const auto tree = session->run({"xwininfo", "-root", "-tree"});
        // A window of that name with a class: the message box (Qt's hidden group leader has none).
        return tree.output.find("\"FERN-BADGER-PULSEWARD\": (\"") != std::string::npos;
    };
    EXPECT_TRUE(desktop_test::waitUntil(boxShown, 10s)) << "no message box\n" << fileText(log());
    EXPECT_TRUE(run_->running()) << fileText(log());
    EXPECT_EQ(fileText(log()).find("XTest"), std::string::npos)
        << "XTest through XWayland counted as a pulse\n"
        << fileText(log());
}

}  // namespace
}  // namespace wayland_test

int main(int argc, char** argv) {
    desktop_test::installChildCleanup();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
