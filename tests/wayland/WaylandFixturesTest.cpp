// The Wayland test fixtures on real compositors: sway focuses our key client and its idle timer
// fires and resumes as swayidle reports; Weston maps the client; everything ends with the test.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

#include "tests/desktop/WaitUntil.h"
#include "tests/wayland/IdleWatcher.h"
#include "tests/wayland/KeyClientRun.h"
#include "tests/wayland/WaylandSession.h"

namespace wayland_test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

bool installed(const std::string& program) {
    return desktop_test::runCommand({"sh", "-c", "command -v " + program},
                                    {"PATH=/usr/sbin:/usr/bin:/sbin:/bin"})
               .status == 0;
}

// Whether sway's tree shows the window with the app id as the focused one. In sway's JSON a
// window's "focused" comes before its "app_id", with no other node in between.
bool swayFocuses(const WaylandSession& session, const std::string& appId) {
    const std::string tree = session.swaymsg({"-t", "get_tree"}).output;
    const auto app = tree.find("\"app_id\": \"" + appId + "\"");
    if (app == std::string::npos) {
        return false;
    }
    const auto focused = tree.rfind("\"focused\": ", app);
    return focused != std::string::npos && tree.compare(focused + 11, 4, "true") == 0;
}

// Processes of the group that have not ended. One that has ended stays a zombie until its
// parent reaps it, which for XWayland (wlroots forks it twice) is whoever adopted it.
std::size_t liveProcessesIn(pid_t group) {
    std::size_t count = 0;
    for (const auto& entry : fs::directory_iterator("/proc")) {
        std::ifstream in(entry.path() / "stat");
        std::string text;
        std::getline(in, text);
        // pid (command) state ppid pgrp ...; the command may hold spaces and parentheses.
        const auto close = text.rfind(')');
        if (close == std::string::npos) {
            continue;
        }
        std::istringstream fields(text.substr(close + 1));
        char state = 0;
        long parent = 0;
        long processGroup = 0;
        if (fields >> state >> parent >> processGroup && processGroup == group && state != 'Z' &&
            state != 'X') {
            ++count;
        }
    }
    return count;
}

class WaylandFixtures : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char* program : {"sway", "swayidle", "weston", "wtype", "setpriv"}) {
            if (!installed(program)) {
                GTEST_SKIP() << program << " is not installed (scripts/install-deps.sh)";
            }
        }
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/pulseward-wayland-XXXXXX";
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
        // The compositor's user must get through to its own folders.
        chmod(folder_.c_str(), 0755);
    }

    void TearDown() override {
        if (HasFailure()) {
            std::cout << "Logs are kept in " << folder_ << "\n";
        } else if (!folder_.empty()) {
            std::error_code ignored;
            fs::remove_all(folder_, ignored);
        }
    }

    // wtype's own virtual keyboard, with a keymap of its own, typing Num Lock twice.
    void typeNumLockTwice(WaylandSession& session) {
        const auto typed = session.run({"wtype", "-k", "Num_Lock", "-s", "50", "-k", "Num_Lock"});
        ASSERT_EQ(typed.status, 0) << "wtype: " << typed.output;
    }

    fs::path folder_;
};

TEST_F(WaylandFixtures, SwayFocusesTheKeyClientWhichSeesKeysWhileTheSeatHasAKeyboard) {
    auto session = WaylandSession::startSway(folder_ / "sway");
    EXPECT_TRUE(session->waylandDisplay().starts_with("wayland-"));
    EXPECT_TRUE(session->xDisplay().starts_with(":"));

    KeyClientRun client(*session, folder_ / "key-client.log");
    ASSERT_TRUE(client.waitFor("mapped", 10s)) << client.output().text();
    EXPECT_TRUE(swayFocuses(*session, "pulseward_key_client"));
    // Without input devices the seat has no keyboard, so no client gets one (nor an enter).
    const auto firstCapabilities = client.waitFor("capabilities", 5s);
    ASSERT_TRUE(firstCapabilities);
    EXPECT_EQ(client.events()[*firstCapabilities].number("keyboard"), 0u);

    // A virtual keyboard that stays gives the seat its keyboard: the client binds it and gets
    // the focus. Keys sent by a keyboard made at that moment would reach no client yet.
    auto seatKeyboard = session->startSeatKeyboard(folder_ / "seat-keyboard.log");
    const auto enter = client.waitFor("enter", 5s);
    ASSERT_TRUE(enter) << client.output().text();
    typeNumLockTwice(*session);
    std::optional<std::size_t> key = *enter;
    for (int i = 0; i < 4 && key; ++i) {
        key = client.waitFor("key", 5s, *key + 1);
    }
    ASSERT_TRUE(key) << client.output().text();
    // wtype gives the first key it types the first code of its keymap.
    EXPECT_EQ(client.keyCount(1, true), 2u) << client.output().text();
    EXPECT_EQ(client.keyCount(1, false), 2u) << client.output().text();
    for (const auto hash : client.keymapHashes()) {
        EXPECT_NE(hash, 0u) << "a keymap the client could not read";
    }

    seatKeyboard.reset();
    EXPECT_TRUE(client.waitFor("leave", 5s, *key)) << client.output().text();
}

TEST_F(WaylandFixtures, SwayIdleTimerFiresWithoutInputAndResumesAtAKeyPress) {
    auto session = WaylandSession::startSway(folder_ / "sway");
    IdleWatcher idle(*session, folder_ / "swayidle.log");
    const auto firstIdle = idle.waitForIdle(10s);
    ASSERT_TRUE(firstIdle) << idle.output().text();
    EXPECT_EQ(idle.resumedCount(), 0u);

    typeNumLockTwice(*session);
    const auto resumed = idle.waitForResumed(5s, *firstIdle);
    ASSERT_TRUE(resumed) << idle.output().text();
    EXPECT_TRUE(idle.waitForIdle(10s, *resumed)) << "the timer did not start again";
}

TEST_F(WaylandFixtures, SwayEndsWithXWaylandAndItsClients) {
    auto session = WaylandSession::startSway(folder_ / "sway");
    const auto x = session->run({"xdpyinfo"});
    EXPECT_EQ(x.status, 0) << "XWayland on " << session->xDisplay() << ": " << x.output;
    KeyClientRun client(*session, folder_ / "key-client.log");
    ASSERT_TRUE(client.waitFor("mapped", 10s));

    const pid_t group = session->compositorPid();
    session.reset();
    EXPECT_TRUE(desktop_test::waitUntil([&] { return liveProcessesIn(group) == 0; }, 5s))
        << "something sway started outlived it";
    EXPECT_TRUE(client.waitFor("disconnected", 5s) || !client.process().running())
        << client.output().text();
}

TEST_F(WaylandFixtures, WestonMapsTheKeyClientAndRunsXWayland) {
    auto session = WaylandSession::startWeston(folder_ / "weston", true);
    KeyClientRun client(*session, folder_ / "key-client.log");
    ASSERT_TRUE(client.waitFor("mapped", 10s)) << client.output().text();
    EXPECT_TRUE(client.process().running());
    const auto x = session->run({"xdpyinfo"});
    EXPECT_EQ(x.status, 0) << "XWayland on " << session->xDisplay() << ": " << x.output;
    // The compositor the program finds no route on: no virtual keyboard.
    const auto typed = session->run({"wtype", "-k", "Num_Lock"});
    EXPECT_NE(typed.status, 0) << typed.output;
}

// A service installed on the machine (a real desktop portal, say) must not start on a test's bus
// and take the names of the test's own fakes; the tests that mean to start one say so.
TEST_F(WaylandFixtures, TheSessionBusStartsOnlyTheServicesATestNames) {
    auto session = WaylandSession::startWeston(folder_ / "weston");
    const fs::path services = folder_ / "services";
    fs::create_directories(services);
    std::ofstream(services / "org.example.PulsewardTest.service")
        << "[D-BUS Service]\nName=org.example.PulsewardTest\nExec=/bin/true\n";
    session->startBus({.folders = {services}});
    const auto names = session->run({"gdbus", "call", "--session", "--dest", "org.freedesktop.DBus",
                                     "--object-path", "/org/freedesktop/DBus", "--method",
                                     "org.freedesktop.DBus.ListActivatableNames"});
    ASSERT_EQ(names.status, 0) << names.output;
    EXPECT_EQ(names.output, "(['org.freedesktop.DBus', 'org.example.PulsewardTest'],)\n");
}

}  // namespace
}  // namespace wayland_test
