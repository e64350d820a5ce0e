// The real program on Wayland compositors, watched from outside: on sway its key presses reach
// the compositor (the idle timer never fires while the pulse runs) and the focused Wayland
// window, with its window on XWayland or, where there is none, a Wayland window of its own; on a
// compositor that offers no way to send keys, the pulse stops with a message.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>

#include "tests/desktop/WaitUntil.h"
#include "tests/wayland/IdleWatcher.h"
#include "tests/wayland/KWinWindows.h"
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

// The desktop portal's sessions, by their object paths (.../session/<sender>/<token>).
std::vector<std::string> portalSessions(const WaylandSession& session) {
    const auto children = [&](const std::string& path) {
        const std::string xml = session
                                    .run({"dbus-send", "--session", "--print-reply",
                                          "--dest=org.freedesktop.portal.Desktop", path,
                                          "org.freedesktop.DBus.Introspectable.Introspect"})
                                    .output;
        std::vector<std::string> paths;
        for (auto at = xml.find("<node name=\""); at != std::string::npos;
             at = xml.find("<node name=\"", at + 1)) {
            const auto start = at + 12;
            paths.push_back(path + "/" + xml.substr(start, xml.find('"', start) - start));
        }
        return paths;
    };
    std::vector<std::string> sessions;
    for (const auto& sender : children("/org/freedesktop/portal/desktop/session")) {
        for (const auto& path : children(sender)) {
            sessions.push_back(path);
        }
    }
    return sessions;
}

// The program's message boxes on screen: windows of that name with a class (Qt's hidden group
// leader has none).
std::size_t messageBoxes(const WaylandSession& session) {
    const std::string tree = session.run({"xwininfo", "-root", "-tree"}).output;
    std::size_t count = 0;
    for (auto at = tree.find("\"FERN-BADGER-PULSEWARD\": (\""); at != std::string::npos;
         at = tree.find("\"FERN-BADGER-PULSEWARD\": (\"", at + 1)) {
        ++count;
    }
    return count;
}

// What a pulse test checks besides the presses.
struct Expect {
    bool lockFlips = true;  // whether the lock is checked too
    bool native = false;    // the program on the compositor's own platform, not XWayland
};

class PulseOnWayland : public ::testing::Test {
  protected:
    void SetUp() override {
        const char* program = std::getenv("PULSEWARD_PROGRAM");
        ASSERT_TRUE(program && *program) << "PULSEWARD_PROGRAM must name the program";
        program_ = program;
        testFolder_.writableByUser("config");
    }

    void TearDown() override { run_.reset(); }

    // On XWayland, or natively where the program picks its platform itself.
    void startProgram(WaylandSession& session, bool native = false) {
        run_ = session.startClient({program_.string()}, log(),
                                   {{"XDG_CONFIG_HOME", (folder_ / "config").string()},
                                    {"QT_QPA_PLATFORM", native ? "" : "xcb"}});
    }

    fs::path settingsFile() const { return folder_ / "config" / "FERN-BADGER-PULSEWARD.ini"; }

    void writeSettings(const std::string& text) {
        std::ofstream(settingsFile()) << text;
        ASSERT_EQ(chown(settingsFile().c_str(), WaylandSession::user(), gid_t(-1)), 0);
    }

    fs::path log() const { return folder_ / "program.log"; }

    // The program keeps the session from going idle, naming the route at start, and the focused
    // Wayland window sees each press and the Num Lock lock flip, its keymap unchanged; once the
    // program has gone (ending as it should on SIGTERM), the session goes idle again.
    void expectAwakeWithEachPressSeen(WaylandSession& session, const std::string& route,
                                      Expect expect = {}) {
        const bool lockFlips = expect.lockFlips;
        const bool native = expect.native;
        IdleWatcher idle(session, folder_ / "swayidle.log");
        const auto firstIdle = idle.waitForIdle(10s);
        ASSERT_TRUE(firstIdle) << "the idle timer does not fire on its own";

        startProgram(session, native);
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
        if (lockFlips) {
            const auto locks = client.numLockStates();
            std::size_t flips = 0;
            for (std::size_t i = 1; i < locks.size(); ++i) {
                flips += locks[i] != locks[i - 1];
            }
            EXPECT_GE(flips, 4u) << "the Num Lock lock did not flip with the presses\n"
                                 << client.output().text();
        }
        const auto keymaps = client.keymapHashes();
        ASSERT_FALSE(keymaps.empty());
        for (const auto hash : keymaps) {
            EXPECT_EQ(hash, keymaps.front()) << "the focused window's keymap changed";
        }

        const int status = run_->stop();
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
            << desktop_test::describeStatus(status);
        EXPECT_TRUE(idle.waitForIdle(5s, *resumed)) << idle.output().text();
    }

    // The program shows its message box and keeps running, and never presses through XWayland.
    void expectStoppedWithAMessage(WaylandSession& session) {
        EXPECT_TRUE(desktop_test::waitUntil([&] { return messageBoxes(session) > 0; }, 10s))
            << "no message box\n"
            << fileText(log());
        EXPECT_TRUE(run_->running()) << fileText(log());
        EXPECT_EQ(fileText(log()).find("go to the X server through XTest"), std::string::npos)
            << "XTest through XWayland counted as a pulse\n"
            << fileText(log());
        EXPECT_EQ(fileText(log()).find("key presses go to the compositor"), std::string::npos)
            << fileText(log());
    }

    // The program with Always On Top, then a Wayland window of ours that gets the keyboard and
    // keeps it through three looks of the keeper and more (it looks once a second), while the
    // pulse's presses go on reaching it; the program says nothing but its route. Then
    // whileFocused looks at the session, the window still there.
    void expectKeeperLeavesTheKeyboard(WaylandSession& session,
                                       const std::function<void(KeyClientRun&)>& whileFocused) {
        writeSettings("[Settings]\nAlways_On_Top_TICKBOX=1\n");
        startProgram(session);
        const OutputLines programLines(log());
        ASSERT_TRUE(programLines.waitFor(
            [](const std::string& line) { return line.find("go to the compositor") != line.npos; },
            10s))
            << programLines.text();

        KeyClientRun client(session, folder_ / "key-client.log");
        const auto enter = client.waitFor("enter", 10s);
        ASSERT_TRUE(enter) << client.output().text();
        const auto keysBefore = client.keyCount(numLockKey, true);
        std::this_thread::sleep_for(3500ms);
        EXPECT_FALSE(client.waitFor("leave", 0ms, *enter))
            << "the keeper took the keyboard from the focused window\n"
            << client.output().text();
        EXPECT_GE(client.keyCount(numLockKey, true) - keysBefore, 3u) << client.output().text();
        EXPECT_TRUE(run_->running());
        EXPECT_EQ(programLines.lines().size(), 1u) << "only the route is said\n"
                                                   << programLines.text();
        whileFocused(client);
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

// Without XWayland the window is sway's own (xdg-shell); the presses take the same route. A
// Wayland window cannot know its place, so the stored places stay byte for byte, and Always On
// Top, still stored, does nothing there and says so once.
TEST_F(PulseOnWayland, OnSwayWithoutXWaylandTheProgramRunsNativelyAndLeavesThePlacesAsStored) {
    auto session = WaylandSession::startSway(folder_ / "sway", false);
    const std::string stored =
        "[Settings]\nMainLeft=1234.5\nMainTop=0777\nAboutLeft=2e3\nAboutTop=-15\n"
        "Always_On_Top_TICKBOX=1\n";
    writeSettings(stored);
    expectAwakeWithEachPressSeen(*session, "zwp_virtual_keyboard_manager_v1", {.native = true});
    EXPECT_EQ(fileText(settingsFile()), stored);
    const std::string said = fileText(log());
    EXPECT_EQ(said.find("XTest"), std::string::npos) << said;
    const auto keeperLine = said.find("Always On Top does nothing");
    EXPECT_NE(keeperLine, std::string::npos) << said;
    EXPECT_EQ(said.find("Always On Top", keeperLine + 1), std::string::npos) << "said once\n"
                                                                             << said;
}

// KWin counts fake input as the seat's own keys and works out the Num Lock lock itself.
TEST_F(PulseOnWayland,
       OnKWinWithItsDesktopFileTheSessionStaysAwakeAndTheFocusedWindowSeesEachPress) {
    auto session = WaylandSession::startKWin(folder_ / "kwin", {program_});
    expectAwakeWithEachPressSeen(*session, "org_kde_kwin_fake_input");
}

// The package's own desktop entry, found where KWin looks for installed ones, is what lets the
// installed program use fake input. Run by scripts/test-deb.sh with the package installed.
TEST_F(PulseOnWayland, OnKWinTheInstalledProgramIsAllowedByThePackagesDesktopEntry) {
    const char* installed = std::getenv("PULSEWARD_INSTALLED_PROGRAM");
    if (!installed || !*installed) {
        GTEST_SKIP() << "PULSEWARD_INSTALLED_PROGRAM does not name an installed program";
    }
    program_ = installed;
    auto session = WaylandSession::startKWin(folder_ / "kwin");
    expectAwakeWithEachPressSeen(*session, "org_kde_kwin_fake_input");
}

TEST_F(PulseOnWayland, OnKWinWithoutItsDesktopFileThePulseStopsWithAMessage) {
    auto session = WaylandSession::startKWin(folder_ / "kwin");
    startProgram(*session);
    expectStoppedWithAMessage(*session);
}

// Run from a build tree, the program may not use KWin's fake input; KDE's own portal, started by
// the session's bus, lets it send its presses through the desktop without asking anyone.
TEST_F(PulseOnWayland, OnKWinWithoutItsDesktopFileKDEsPortalLetsThePressesThrough) {
    auto session =
        WaylandSession::startKWin(folder_ / "kwin", {}, {.folders = {}, .installed = true});
    session->setActivationEnvironment("KDE");
    // The lock is KWin's to keep: through KDE's portal it took Num Lock as held rather than as a
    // lock in one run of three.
    expectAwakeWithEachPressSeen(*session, "org.freedesktop.portal.RemoteDesktop",
                                 {.lockFlips = false});
}

// The desktop ends the session from its side, as Plasma's tray item does: the pulse stops, with
// one message.
TEST_F(PulseOnWayland, OnKWinKDEsPortalEndingTheSessionStopsThePulseOnce) {
    auto session =
        WaylandSession::startKWin(folder_ / "kwin", {}, {.folders = {}, .installed = true});
    session->setActivationEnvironment("KDE");
    startProgram(*session);
    const OutputLines programLines(log());
    ASSERT_TRUE(programLines.waitFor(
        [](const std::string& line) { return line.find("go to the compositor") != line.npos; },
        10s))
        << programLines.text();
    // The window being worked in, opened after the program's, gets the focus.
    KeyClientRun client(*session, folder_ / "key-client.log");
    ASSERT_TRUE(desktop_test::waitUntil([&] { return client.keyCount(numLockKey, true) > 0; }, 10s))
        << client.output().text();
    const auto sessions = portalSessions(*session);
    ASSERT_EQ(sessions.size(), 1u);
    ASSERT_EQ(session
                  ->run({"dbus-send", "--session", "--print-reply",
                         "--dest=org.freedesktop.impl.portal.desktop.kde", sessions.front(),
                         "org.freedesktop.impl.portal.Session.Close"})
                  .status,
              0);
    EXPECT_TRUE(desktop_test::waitUntil([&] { return messageBoxes(*session) > 0; }, 10s))
        << "no message box\n"
        << fileText(log());
    const auto presses = client.keyCount(numLockKey, true);
    std::this_thread::sleep_for(2s);
    EXPECT_EQ(client.keyCount(numLockKey, true), presses) << "presses went on";
    EXPECT_EQ(messageBoxes(*session), 1u);
    EXPECT_TRUE(run_->running()) << fileText(log());
}

// The topmost keeper on sway: wlroots' window manager for XWayland leaves _NET_ACTIVE_WINDOW
// empty while a Wayland window has the keyboard and ignores _NET_WM_STATE_ABOVE. The keeper's
// requests must do no harm there: no focus taken, no error.
TEST_F(PulseOnWayland, OnSwayTheTopmostKeeperLeavesTheKeyboardWithTheFocusedWindow) {
    auto session = WaylandSession::startSway(folder_ / "sway");
    expectKeeperLeavesTheKeyboard(*session, [](KeyClientRun&) {});
}

// The topmost keeper on KWin: _NET_ACTIVE_WINDOW is None while a Wayland window has the
// keyboard, so the keeper asks every second; KWin takes _NET_WM_STATE_ABOVE as "keep above" and
// stacks the program over the Wayland window, which keeps the keyboard.
TEST_F(PulseOnWayland, OnKWinTheTopmostKeeperKeepsTheWindowAboveAndTheKeyboardWhereItIs) {
    auto session = WaylandSession::startKWin(folder_ / "kwin", {program_});
    expectKeeperLeavesTheKeyboard(*session, [&](KeyClientRun& client) {
        ASSERT_NE(session->run({"xprop", "-root", "_NET_ACTIVE_WINDOW"}).output.find("# 0x0\n"),
                  std::string::npos)
            << "KWin names an X11 window active while a Wayland one has the keyboard";
        const auto clientList = session->run({"xprop", "-root", "_NET_CLIENT_LIST"}).output;
        const auto idAt = clientList.find("# 0x");
        ASSERT_NE(idAt, std::string::npos) << clientList;
        const std::string programWindow =
            clientList.substr(idAt + 2, clientList.find_first_of(",\n", idAt) - idAt - 2);
        const auto state = session->run({"xprop", "-id", programWindow, "_NET_WM_STATE"}).output;
        EXPECT_NE(state.find("_NET_WM_STATE_ABOVE"), std::string::npos) << state;
        // KWin answers a raise it does not allow with a call for attention instead.
        EXPECT_EQ(state.find("_NET_WM_STATE_DEMANDS_ATTENTION"), std::string::npos) << state;

        const auto windows = kwinWindows(*session);
        const auto byClass = [&](const std::string& name) {
            return std::find_if(windows.begin(), windows.end(),
                                [&](const KWinWindow& w) { return w.resourceClass == name; });
        };
        const auto program = byClass("fern-badger-pulseward");
        const auto focused = byClass(KeyClientRun::program().filename().string());
        ASSERT_NE(program, windows.end());
        ASSERT_NE(focused, windows.end());
        EXPECT_TRUE(program->keepAbove);
        EXPECT_GT(program->stackingOrder, focused->stackingOrder);
        EXPECT_TRUE(focused->active) << client.output().text();
    });
}

TEST_F(PulseOnWayland, OnACompositorWithNoWayToSendKeysThePulseStopsWithAMessage) {
    auto session = WaylandSession::startWeston(folder_ / "weston", true);
    startProgram(*session);
    expectStoppedWithAMessage(*session);
}

}  // namespace
}  // namespace wayland_test
