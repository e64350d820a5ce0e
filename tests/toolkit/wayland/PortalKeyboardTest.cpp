// The desktop portal's key route against a portal of our own (pulseward_fake_portal) on a
// private session bus: the calls it makes, the Num Lock presses it sends once the desktop has
// granted them, the restore token it keeps and hands back, and how a refusal, a session the
// desktop closes and a portal that goes away reach the pulse.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <QCoreApplication>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tests/desktop/ChildProcess.h"
#include "tests/desktop/PrivateBus.h"
#include "tests/desktop/WaitUntil.h"
#include "tests/wayland/OutputLines.h"
#include "toolkit/RuntimeError.h"
#include "toolkit/ShellObject.h"
#include "toolkit/wayland/PortalKeyboard.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using desktop_test::ChildProcess;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using toolkit::Key;
using toolkit::RuntimeError;
using toolkit::wayland::PortalKeyboard;
using wayland_test::OutputLines;

const std::string numLockPressed = "keysym 65407 pressed";
const std::string numLockReleased = "keysym 65407 released";

fs::path testFolder;
const std::string parentWindow = "x11:4a00007";

// Lets the route's D-Bus traffic through until the condition holds or the limit passes.
template <typename Condition>
bool pumpUntil(Condition condition, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= end) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

std::string firstLine(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    return line;
}

class PortalKeyboardTest : public ::testing::Test {
  protected:
    void SetUp() override {
        toolkit::OnKeysRefusedLater(
            [this](const RuntimeError& refusal) { refusals_.push_back(refusal.what()); });
        folder_ = testFolder / ::testing::UnitTest::GetInstance()->current_test_info()->name();
        // A repeated run starts afresh: the portal's log is appended to.
        fs::remove_all(folder_);
        fs::create_directories(folder_);
        tokenFile_ = folder_ / "state" / "remote-desktop-token";
    }

    void TearDown() override {
        route_.reset();
        QCoreApplication::processEvents();
        toolkit::OnKeysRefusedLater(nullptr);
        if (portal_) {
            portal_->stop();
        }
    }

    void startPortal(std::vector<std::string> arguments = {}) {
        const char* program = std::getenv("PULSEWARD_FAKE_PORTAL");
        ASSERT_TRUE(program && *program) << "PULSEWARD_FAKE_PORTAL must name the fake portal";
        arguments.insert(arguments.begin(), program);
        log_.emplace(folder_ / "portal.log");
        portal_ = std::make_unique<ChildProcess>(
            desktop_test::SpawnOptions{arguments, desktop_test::environmentWith({}), log_->file()});
        ASSERT_TRUE(portalSays("ready")) << log_->text();
    }

    std::size_t portalSaid(const std::string& text) const {
        return log_->count([&](const std::string& line) { return line.starts_with(text); });
    }

    bool portalSays(const std::string& text) {
        return pumpUntil([&] { return portalSaid(text) > 0; }, 5s);
    }

    std::vector<std::string> keyLines() const {
        std::vector<std::string> keys;
        for (const auto& line : log_->lines()) {
            if (line.starts_with("keysym")) {
                keys.push_back(line);
            }
        }
        return keys;
    }

    PortalKeyboard& route() {
        if (!route_) {
            route_ = std::make_unique<PortalKeyboard>(tokenFile_, [] { return parentWindow; });
        }
        return *route_;
    }

    // Presses at each turn, as the pulse does, until a press has reached the portal: the desktop
    // grants the session some time after open(), and presses before that are not sent. Ends
    // with that press and its release seen, so that the test counts from there.
    bool pressUntilGranted() {
        const bool granted = pumpUntil(
            [&] {
                route().pressAndRelease(Key::NumLock);
                pumpUntil([&] { return !keyLines().empty() || !route().ready(); }, 300ms);
                return !keyLines().empty() || !route().ready();
            },
            5s);
        return granted && pumpUntil([&] { return keyLines().size() >= 2; }, 5s);
    }

    bool refusedLater() {
        return pumpUntil([&] { return !refusals_.empty(); }, 5s);
    }

    fs::path folder_;
    fs::path tokenFile_;
    std::optional<OutputLines> log_;
    std::unique_ptr<ChildProcess> portal_;
    std::unique_ptr<PortalKeyboard> route_;
    std::vector<std::string> refusals_;
};

TEST_F(PortalKeyboardTest, OnceGrantedEachPressGoesToTheDesktopAsANumLockPressAndRelease) {
    startPortal();
    int allowed = 0;
    toolkit::OnKeysAllowed([&allowed] { ++allowed; });
    route().open();
    EXPECT_TRUE(route().ready()) << "waiting for the user's answer counts as open";
    EXPECT_TRUE(route().asking());
    ::testing::internal::CaptureStderr();
    const bool granted = pressUntilGranted();
    const std::string said = ::testing::internal::GetCapturedStderr();
    toolkit::OnKeysAllowed(nullptr);
    ASSERT_TRUE(granted) << log_->text();
    EXPECT_EQ(allowed, 1) << "the pulse was not told";
    EXPECT_FALSE(route().asking());
    EXPECT_EQ(said,
              "key presses go to the compositor through org.freedesktop.portal.RemoteDesktop\n")
        << "the route is said to be in use once the desktop has allowed it";
    const std::size_t before = 2;
    for (int i = 0; i < 3; ++i) {
        route().pressAndRelease(Key::NumLock);
    }
    ASSERT_TRUE(pumpUntil([&] { return keyLines().size() >= before + 6; }, 5s)) << log_->text();
    const auto keys = keyLines();
    ASSERT_EQ(keys.size(), before + 6) << log_->text();
    for (std::size_t i = 0; i < keys.size(); ++i) {
        EXPECT_EQ(keys[i], i % 2 == 0 ? numLockPressed : numLockReleased) << log_->text();
    }
    // Asked for a keyboard only, once, kept until revoked.
    EXPECT_EQ(portalSaid("CreateSession"), 1u);
    EXPECT_EQ(portalSaid("SelectDevices types=1 persist_mode=2 restore_token=none"), 1u)
        << log_->text();
    EXPECT_EQ(portalSaid("Start"), 1u);
    EXPECT_EQ(portalSaid("Start granted restore_token=token-" + std::to_string(portal_->pid()) +
                         " parent_window=" + parentWindow),
              1u)
        << "the dialog belongs to the program's window\n"
        << log_->text();
    EXPECT_TRUE(refusals_.empty()) << refusals_.front();

    // The token for the next run is in the state folder, and closing ends the session.
    EXPECT_EQ(firstLine(tokenFile_), "token-" + std::to_string(portal_->pid()));
    EXPECT_EQ(fs::status(tokenFile_).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write)
        << "the token is for this user alone";
    route().close();
    EXPECT_TRUE(portalSays("Close session=")) << log_->text();
    EXPECT_FALSE(route().ready());
}

TEST_F(PortalKeyboardTest, TheStoredRestoreTokenIsHandedBackAndReplacedByTheNewOne) {
    fs::create_directories(tokenFile_.parent_path());
    std::ofstream(tokenFile_) << "token-earlier\n";
    startPortal();
    route().open();
    ASSERT_TRUE(pressUntilGranted()) << log_->text();
    EXPECT_EQ(portalSaid("SelectDevices types=1 persist_mode=2 restore_token=token-earlier"), 1u)
        << log_->text();
    EXPECT_EQ(firstLine(tokenFile_), "token-" + std::to_string(portal_->pid()));
}

TEST_F(PortalKeyboardTest, BeforeVersionTwoNothingIsAskedToPersistAndNoTokenIsKept) {
    fs::create_directories(tokenFile_.parent_path());
    std::ofstream(tokenFile_) << "token-earlier\n";
    startPortal({"--version", "1"});
    route().open();
    ASSERT_TRUE(pressUntilGranted()) << log_->text();
    EXPECT_EQ(portalSaid("SelectDevices types=1 persist_mode=none restore_token=none"), 1u)
        << log_->text();
    EXPECT_EQ(firstLine(tokenFile_), "token-earlier");
}

TEST_F(PortalKeyboardTest, ARefusalReachesThePulseLaterAndNoKeyIsSent) {
    startPortal({"--refuse"});
    route().open();
    route().pressAndRelease(Key::NumLock);
    ASSERT_TRUE(refusedLater()) << log_->text();
    EXPECT_THAT(refusals_, ElementsAre(HasSubstr("did not allow")));
    EXPECT_FALSE(route().ready());
    EXPECT_THROW(route().pressAndRelease(Key::NumLock), RuntimeError);
    QCoreApplication::processEvents();
    EXPECT_TRUE(keyLines().empty()) << log_->text();
    EXPECT_FALSE(fs::exists(tokenFile_));
}

TEST_F(PortalKeyboardTest, ASessionTheDesktopClosesMidRunStopsThePulseOnce) {
    startPortal({"--close-after", "2"});
    route().open();
    ASSERT_TRUE(pressUntilGranted()) << log_->text();
    route().pressAndRelease(Key::NumLock);
    ASSERT_TRUE(refusedLater()) << log_->text();
    EXPECT_THAT(refusals_, ElementsAre(HasSubstr("closed the program's remote desktop session")));
    EXPECT_FALSE(route().ready());
    EXPECT_THAT(keyLines(),
                ElementsAre(numLockPressed, numLockReleased, numLockPressed, numLockReleased));
    EXPECT_THROW(route().pressAndRelease(Key::NumLock), RuntimeError);
    QCoreApplication::processEvents();
    EXPECT_EQ(refusals_.size(), 1u);
}

TEST_F(PortalKeyboardTest, APortalThatGoesAwayMidRunStopsThePulse) {
    startPortal();
    route().open();
    ASSERT_TRUE(pressUntilGranted()) << log_->text();
    portal_->stop();
    ASSERT_TRUE(refusedLater());
    EXPECT_THAT(refusals_, ElementsAre(HasSubstr("portal has gone away")));
    EXPECT_FALSE(route().ready());
}

// Each way of giving up while the desktop's dialog is up: the request is withdrawn (which closes
// the dialog) along with the session, and only the time-out is reported, as the user's silence.
enum class GivingUp { TimeOut, Stop, ProgramEnds };

class GivingUpWhileAsking : public PortalKeyboardTest,
                            public ::testing::WithParamInterface<GivingUp> {
  protected:
    void TearDown() override {
        unsetenv("PULSEWARD_PORTAL_ANSWER_LIMIT_MS");
        PortalKeyboardTest::TearDown();
    }
};

TEST_P(GivingUpWhileAsking, WithdrawsTheQuestionAndClosesTheSession) {
    if (GetParam() == GivingUp::TimeOut) {
        setenv("PULSEWARD_PORTAL_ANSWER_LIMIT_MS", "300", 1);
    }
    startPortal({"--answer-after", "-1"});
    route().open();
    ASSERT_TRUE(portalSays("asking")) << log_->text();
    EXPECT_TRUE(route().asking());
    switch (GetParam()) {
        case GivingUp::TimeOut:
            ASSERT_TRUE(refusedLater()) << log_->text();
            EXPECT_THAT(refusals_, ElementsAre(HasSubstr("Nobody allowed the program")));
            EXPECT_THAT(refusals_.front(), ::testing::Not(HasSubstr("did not answer")));
            break;
        case GivingUp::Stop:
            route().pulseStopped();
            break;
        case GivingUp::ProgramEnds:
            route_.reset();
            break;
    }
    EXPECT_TRUE(portalSays("Close request=/org/freedesktop/portal/desktop/request/"))
        << log_->text();
    EXPECT_TRUE(portalSays("Close session=")) << log_->text();
    if (GetParam() != GivingUp::TimeOut) {
        QCoreApplication::processEvents();
        EXPECT_TRUE(refusals_.empty()) << "giving up is not a refusal";
    }
    EXPECT_TRUE(keyLines().empty()) << log_->text();
}

INSTANTIATE_TEST_SUITE_P(Ways, GivingUpWhileAsking,
                         ::testing::Values(GivingUp::TimeOut, GivingUp::Stop,
                                           GivingUp::ProgramEnds));

// The session while the pulse is stopped: closed where opening it again asks nobody (a kept
// grant, or a desktop that granted at once without a dialog), kept where the user would be asked
// again (a dialog answered, with no grant kept).
struct StoppedCase {
    std::vector<std::string> portal;
    bool closed;
};

class SessionWhileStopped : public PortalKeyboardTest,
                            public ::testing::WithParamInterface<StoppedCase> {};

TEST_P(SessionWhileStopped, IsClosedOnlyWhereOpeningItAgainAsksNobody) {
    startPortal(GetParam().portal);
    route().open();
    ASSERT_TRUE(pressUntilGranted()) << log_->text();
    route().pulseStopped();
    if (GetParam().closed) {
        EXPECT_TRUE(portalSays("Close session=")) << log_->text();
        EXPECT_FALSE(route().ready());
        return;
    }
    pumpUntil([] { return false; }, 300ms);
    EXPECT_EQ(portalSaid("Close"), 0u) << log_->text();
    // The next start presses through the same session, without asking.
    route().pressAndRelease(Key::NumLock);
    EXPECT_TRUE(pumpUntil([&] { return keyLines().size() >= 4; }, 5s)) << log_->text();
    EXPECT_EQ(portalSaid("CreateSession"), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Desktops, SessionWhileStopped,
    ::testing::Values(StoppedCase{{}, true},                  // a grant kept
                      StoppedCase{{"--version", "1"}, true},  // granted unasked
                      StoppedCase{{"--version", "1", "--answer-after", "1500"}, false}));

TEST_F(PortalKeyboardTest, WithoutAPortalOrItsKeyboardTheRouteIsNotOffered) {
    try {
        route().open();
        ADD_FAILURE() << "opened with no portal on the bus";
    } catch (const RuntimeError& refusal) {
        EXPECT_THAT(refusal.what(), HasSubstr("does not offer it"));
    }
    startPortal({"--no-keyboard"});
    try {
        route().open();
        ADD_FAILURE() << "opened on a portal without a keyboard";
    } catch (const RuntimeError& refusal) {
        EXPECT_THAT(refusal.what(), HasSubstr("no keyboard"));
    }
    EXPECT_FALSE(route().ready());
    EXPECT_EQ(portalSaid("CreateSession"), 0u);
    EXPECT_TRUE(refusals_.empty());
}

}  // namespace

// One private session bus for every case, as the route keeps the session bus for the run. It
// starts no service installed on the machine: a real portal would take the fake one's name.
int main(int argc, char** argv) {
    desktop_test::installChildCleanup();
    ::testing::InitGoogleTest(&argc, argv);
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/pulseward-portal-XXXXXX";
    if (!mkdtemp(pattern.data())) {
        return 1;
    }
    testFolder = pattern;
    const fs::path socket = testFolder / "bus";
    ChildProcess bus(
        {desktop_test::privateBusCommand(testFolder / "bus.conf", "unix:path=" + socket.string()),
         desktop_test::environmentWith({}), testFolder / "dbus-daemon.log"});
    if (!desktop_test::waitUntil([&] { return fs::exists(socket) || !bus.running(); }, 10s) ||
        !bus.running()) {
        std::fprintf(stderr, "no private session bus (dbus-daemon)\n");
        return 1;
    }
    setenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + socket.string()).c_str(), 1);
    QCoreApplication app(argc, argv);
    const int result = RUN_ALL_TESTS();
    std::error_code ignored;
    if (result == 0) {
        fs::remove_all(testFolder, ignored);
    }
    return result;
}
