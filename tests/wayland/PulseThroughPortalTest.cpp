// The real program on a compositor that offers it no Wayland route (Weston headless), with a
// desktop portal of ours (pulseward_fake_portal) on the session's own bus: each phase of the
// pulse goes through the portal as a Num Lock press and release, the restore token is kept in
// the state folder and handed back at the next run, and a refusal or a session the desktop
// closes mid-run stops the pulse with a message.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/desktop/WaitUntil.h"
#include "tests/wayland/OutputLines.h"
#include "tests/wayland/WaylandSession.h"

namespace wayland_test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using desktop_test::waitUntil;

std::string fileText(const fs::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
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
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/pulseward-portal-XXXXXX";
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
        chmod(folder_.c_str(), 0755);
        for (const char* writable : {"config", "state"}) {
            fs::create_directories(folder_ / writable);
            ASSERT_EQ(chown((folder_ / writable).c_str(), WaylandSession::user(), gid_t(-1)), 0);
        }
        session_ = WaylandSession::startWeston(folder_ / "weston", true);
        // The session's own bus, as its user, where libdbus looks for it.
        busAddress_ = "unix:path=" + (session_->runtimeFolder() / "bus").string();
        bus_ = session_->startClient(
            {"dbus-daemon", "--session", "--nofork", "--nopidfile", "--address=" + busAddress_},
            folder_ / "dbus-daemon.log");
        ASSERT_TRUE(waitUntil([&] { return fs::exists(session_->runtimeFolder() / "bus"); }, 10s))
            << fileText(folder_ / "dbus-daemon.log");
    }

    void TearDown() override {
        run_.reset();
        portal_.reset();
        bus_.reset();
        session_.reset();
        if (HasFailure()) {
            std::cout << "Logs are kept in " << folder_ << "\n";
        } else if (!folder_.empty()) {
            std::error_code ignored;
            fs::remove_all(folder_, ignored);
        }
    }

    std::map<std::string, std::string> busEnvironment() const {
        return {{"DBUS_SESSION_BUS_ADDRESS", busAddress_}};
    }

    void startPortal(std::vector<std::string> arguments, const std::string& logName) {
        portal_.reset();
        arguments.insert(arguments.begin(), fakePortal_);
        portalLog_.emplace(folder_ / logName);
        portal_ = session_->startClient(arguments, portalLog_->file(), busEnvironment());
        ASSERT_TRUE(
            portalLog_->waitFor([](const std::string& line) { return line == "ready"; }, 10s))
            << portalLog_->text();
    }

    void startProgram() {
        auto environment = busEnvironment();
        environment["XDG_CONFIG_HOME"] = (folder_ / "config").string();
        environment["XDG_STATE_HOME"] = (folder_ / "state").string();
        environment["QT_QPA_PLATFORM"] = "xcb";
        run_ = session_->startClient({program_}, log(), environment);
    }

    std::size_t portalSaid(const std::string& start) const {
        return portalLog_->count([&](const std::string& line) { return line.starts_with(start); });
    }

    bool messageBoxShown() {
        return waitUntil(
            [&] {
                const auto tree = session_->run({"xwininfo", "-root", "-tree"});
                return tree.output.find("\"FERN-BADGER-PULSEWARD\": (\"") != std::string::npos;
            },
            10s);
    }

    fs::path log() const { return folder_ / "program.log"; }
    fs::path tokenFile() const {
        return folder_ / "state" / "FERN-BADGER-PULSEWARD" / "remote-desktop-token";
    }

    std::string program_;
    std::string fakePortal_;
    fs::path folder_;
    std::string busAddress_;
    std::unique_ptr<WaylandSession> session_;
    std::unique_ptr<ChildProcess> bus_;
    std::unique_ptr<ChildProcess> portal_;
    std::optional<OutputLines> portalLog_;
    std::unique_ptr<ChildProcess> run_;
};

TEST_F(PulseThroughPortal, EachPhaseGoesThroughThePortalAndTheTokenComesBackAtTheNextRun) {
    startPortal({}, "portal.log");
    startProgram();
    ASSERT_TRUE(portalLog_->waitFor(
        [](const std::string& line) { return line.starts_with("keysym"); }, 10s))
        << portalLog_->text() << fileText(log());
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

    // The next run hands the token back.
    run_->stop();
    startPortal({}, "portal-again.log");
    startProgram();
    ASSERT_TRUE(portalLog_->waitFor(
        [](const std::string& line) { return line.starts_with("keysym"); }, 10s))
        << portalLog_->text() << fileText(log());
    EXPECT_EQ(portalSaid("SelectDevices types=1 persist_mode=2 restore_token=" + token), 1u)
        << portalLog_->text();
}

TEST_F(PulseThroughPortal, TheUserRefusingStopsThePulseWithAMessage) {
    startPortal({"--refuse"}, "portal.log");
    startProgram();
    EXPECT_TRUE(messageBoxShown()) << "no message box\n" << fileText(log());
    EXPECT_TRUE(run_->running()) << fileText(log());
    EXPECT_EQ(portalSaid("Start refused"), 1u) << portalLog_->text();
    EXPECT_EQ(portalSaid("keysym"), 0u) << portalLog_->text();
}

TEST_F(PulseThroughPortal, TheDesktopClosingTheSessionMidRunStopsThePulseWithAMessage) {
    startPortal({"--close-after", "3"}, "portal.log");
    startProgram();
    EXPECT_TRUE(messageBoxShown()) << "no message box\n" << fileText(log());
    EXPECT_TRUE(run_->running()) << fileText(log());
    EXPECT_EQ(portalSaid("Closed"), 1u) << portalLog_->text();
    // Stopped: nothing more is sent.
    const std::size_t keys = portalSaid("key");
    std::this_thread::sleep_for(1600ms);
    EXPECT_EQ(portalSaid("key"), keys) << portalLog_->text();
    EXPECT_EQ(portalSaid("keysym 65407 pressed"), 3u) << portalLog_->text();
}

}  // namespace
}  // namespace wayland_test

int main(int argc, char** argv) {
    desktop_test::installChildCleanup();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
