// The real program on a real GNOME: gnome-shell headless, with the desktop portal and GNOME's
// backend for it started by the session's bus as on a user's desktop. The desktop asks the user
// in its dialog "Remote desktop", attached to the program's window, which a simulated user answers
// with the keyboard (Tab to the switch "Allow remote interaction", space, Alt+S for Share; Escape
// declines) and a pointer; the shell's own view of its windows and its idle time tell what
// happened.

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "tests/desktop/WaitUntil.h"
#include "tests/wayland/GnomeShell.h"
#include "tests/wayland/OutputLines.h"
#include "tests/wayland/TestFolder.h"
#include "tests/wayland/WaylandSession.h"

namespace wayland_test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using desktop_test::waitUntil;

constexpr const char* dialog = "Remote desktop";
constexpr const char* mainWindow = "       PULSEWARD";
constexpr const char* messageBox = "FERN-BADGER-PULSEWARD";
constexpr const char* askingLine = "asking the desktop to allow key presses";
constexpr const char* routeLine =
    "key presses go to the compositor through org.freedesktop.portal.RemoteDesktop";

class PulseOnGnome : public ::testing::Test {
  protected:
    void SetUp() override {
        const char* program = std::getenv("PULSEWARD_PROGRAM");
        ASSERT_TRUE(program && *program) << "PULSEWARD_PROGRAM must name the program";
        program_ = program;
        testFolder_.writableByUser("config");
        session_ = WaylandSession::startGnomeShell(folder_ / "gnome");
    }

    void TearDown() override {
        if (HasFailure() && session_) {
            // What the screen showed, kept with the logs.
            session_->run({"gdbus", "call", "--session", "--dest", "org.gnome.Shell.Screenshot",
                           "--object-path", "/org/gnome/Shell/Screenshot", "--method",
                           "org.gnome.Shell.Screenshot.Screenshot", "false", "false",
                           (testFolder_.writableByUser("screen") / "at-failure.png").string()});
        }
        run_.reset();
        session_.reset();
    }

    void startProgram(const std::map<std::string, std::string>& extra = {}) {
        std::map<std::string, std::string> environment = {
            {"XDG_CONFIG_HOME", (folder_ / "config").string()}, {"QT_QPA_PLATFORM", "xcb"}};
        environment.insert(extra.begin(), extra.end());
        run_ = session_->startClient({program_.string()}, output_.file(), environment);
    }

    bool shown(const char* title, std::chrono::milliseconds limit = 10s) const {
        return waitUntil([&] { return gnomeShows(*session_, title); }, limit);
    }
    bool gone(const char* title, std::chrono::milliseconds limit = 5s) const {
        return waitUntil([&] { return !gnomeShows(*session_, title); }, limit);
    }
    bool says(const std::string& text, std::chrono::milliseconds limit = 10s) const {
        return output_
            .waitFor([&](const std::string& line) { return line.find(text) != line.npos; }, limit)
            .has_value();
    }
    std::size_t said(const std::string& text) const {
        return output_.count([&](const std::string& line) { return line.find(text) != line.npos; });
    }

    // The program asks once it starts; the dialog comes up, attached to the program's window,
    // and takes the keyboard.
    void startAndAsk(const std::map<std::string, std::string>& extra = {}) {
        startProgram(extra);
        ASSERT_TRUE(shown(dialog)) << "no dialog\n" << output_.text();
        ASSERT_TRUE(says(askingLine)) << output_.text();
        GnomeWindow asking;
        EXPECT_TRUE(waitUntil(
            [&] {
                for (const auto& window : gnomeWindows(*session_)) {
                    asking = window.title == dialog ? window : asking;
                }
                return asking.focused && asking.transientFor == mainWindow;
            },
            5s))
            << "the dialog is attached to \"" << asking.transientFor
            << "\", focused: " << asking.focused;
    }
    void answer(const std::vector<std::string>& keys) {
        ASSERT_TRUE(focusGnomeWindow(*session_, dialog));
        ASSERT_TRUE(typeOnGnome(*session_, keys));
    }
    void allow() { answer({"Tab", "space", "Alt_L+s"}); }

    std::uint64_t idleTime() const {
        const auto idle = mutterIdleTime(*session_);
        return idle.value_or(0);
    }
    bool idleClimbsTo(std::uint64_t ms) const {
        return waitUntil([&] { return idleTime() >= ms; }, std::chrono::milliseconds(ms) + 5s);
    }

    TestFolder testFolder_{"pulseward-gnome"};
    const fs::path folder_ = testFolder_.path();
    fs::path program_;
    std::unique_ptr<WaylandSession> session_;
    OutputLines output_{folder_ / "program.log"};
    std::unique_ptr<ChildProcess> run_;
};

TEST_F(PulseOnGnome, AllowedThePulseKeepsTheShellAwakeUntilStop) {
    startAndAsk();
    allow();
    ASSERT_TRUE(says(routeLine)) << output_.text();
    EXPECT_TRUE(gone(dialog));
    // From the first press on (750 ms after the answer), sampled over four phases of the pulse.
    ASSERT_TRUE(waitUntil([&] { return idleTime() < 500; }, 3s)) << "no press counted";
    std::uint64_t longest = 0;
    for (int i = 0; i < 12; ++i) {
        longest = std::max(longest, idleTime());
        std::this_thread::sleep_for(250ms);
    }
    RecordProperty("longest_idle_ms_while_pulsing", std::to_string(longest));
    EXPECT_LT(longest, 1000u) << "the shell did not count the presses";

    ASSERT_TRUE(clickGnomeWindow(*session_, mainWindow));  // STOP
    EXPECT_TRUE(idleClimbsTo(2000)) << "presses went on after STOP";
    EXPECT_TRUE(run_->running()) << output_.text();
    EXPECT_EQ(said(askingLine), 1u) << output_.text();
}

TEST_F(PulseOnGnome, DeclinedTheBoxSaysWhyNoPressIsSentAndStartAsksAgain) {
    startAndAsk();
    answer({"Escape"});
    EXPECT_TRUE(shown(messageBox)) << output_.text();
    EXPECT_TRUE(says("declined")) << "the reason is not on stderr\n" << output_.text();
    EXPECT_TRUE(idleClimbsTo(2000)) << "a press went out";
    EXPECT_EQ(said(routeLine), 0u) << output_.text();

    ASSERT_TRUE(focusGnomeWindow(*session_, messageBox));
    ASSERT_TRUE(typeOnGnome(*session_, {"Return"}));
    ASSERT_TRUE(gone(messageBox));
    ASSERT_TRUE(clickGnomeWindow(*session_, mainWindow));  // Start
    EXPECT_TRUE(shown(dialog)) << "Start did not ask again\n" << output_.text();
    EXPECT_EQ(said(askingLine), 2u) << output_.text();
}

TEST_F(PulseOnGnome, EndingWhileTheDesktopAsksTakesTheDialogAway) {
    startAndAsk();
    kill(run_->pid(), SIGTERM);
    EXPECT_TRUE(run_->waitForExit(5s)) << output_.text();
    EXPECT_TRUE(gone(dialog)) << output_.text();
}

TEST_F(PulseOnGnome, NobodyAnsweringTheProgramGivesUpAndTakesTheDialogAway) {
    startAndAsk({{"PULSEWARD_PORTAL_ANSWER_LIMIT_MS", "5000"}});
    EXPECT_TRUE(shown(messageBox)) << output_.text();
    EXPECT_TRUE(gone(dialog)) << output_.text();
    EXPECT_TRUE(says("Nobody allowed the program")) << output_.text();
    EXPECT_EQ(said(routeLine), 0u) << output_.text();
}

}  // namespace
}  // namespace wayland_test
