#include "tests/desktop/DesktopSession.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <stdexcept>
#include <thread>

namespace desktop_test {

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// The display number Xvfb writes to its -displayfd once it accepts connections.
std::string readDisplayNumber(int fd, std::chrono::milliseconds limit) {
    std::string text;
    const auto end = Clock::now() + limit;
    while (text.find('\n') == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
        if (left.count() <= 0) {
            return {};
        }
        pollfd poller{fd, POLLIN, 0};
        if (poll(&poller, 1, int(left.count())) <= 0) {
            continue;
        }
        char buffer[32];
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0) {
            return {};
        }
        text.append(buffer, std::size_t(n));
    }
    return text.substr(0, text.find('\n'));
}

}  // namespace

std::unique_ptr<DesktopSession> DesktopSession::attach(const std::string& displayName) {
    std::unique_ptr<DesktopSession> session(new DesktopSession);
    session->displayName_ = displayName;
    session->connectAndWaitForWindowManager();
    return session;
}

std::unique_ptr<DesktopSession> DesktopSession::forTests(const std::filesystem::path& folder) {
    const char* display = std::getenv("PULSEWARD_TEST_DISPLAY");
    return display && *display ? attach(display) : start(folder, {});
}

std::unique_ptr<DesktopSession> DesktopSession::start(
    const std::filesystem::path& folder, const std::vector<std::string>& serverArguments) {
    std::unique_ptr<DesktopSession> session(new DesktopSession);
    std::filesystem::create_directories(folder);

    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        throw std::runtime_error("no pipe for Xvfb's display number");
    }
    std::vector<std::string> argv = {"Xvfb",      "-displayfd", std::to_string(fds[1]),
                                     "-screen",   "0",          "1280x1024x24",
                                     "-dpi",      "96",         "-noreset",
                                     "-nolisten", "tcp"};
    argv.insert(argv.end(), serverArguments.begin(), serverArguments.end());
    try {
        session->server_ = std::make_unique<ChildProcess>(
            SpawnOptions{argv, environmentWith({}), folder / "Xvfb.log", fds[1]});
    } catch (...) {
        close(fds[0]);
        close(fds[1]);
        throw;
    }
    close(fds[1]);
    const std::string number = readDisplayNumber(fds[0], 15s);
    close(fds[0]);
    if (number.empty()) {
        throw std::runtime_error("Xvfb did not report a display number; see " +
                                 (folder / "Xvfb.log").string());
    }
    session->displayName_ = ":" + number;

    // openbox with its system-wide configuration rather than the user's.
    const auto openboxConfig = folder / "openbox-config";
    std::filesystem::create_directories(openboxConfig);
    session->windowManager_ = std::make_unique<ChildProcess>(
        SpawnOptions{{"openbox"},
                     environmentWith({{"DISPLAY", session->displayName_},
                                      {"XDG_CONFIG_HOME", openboxConfig.string()}}),
                     folder / "openbox.log"});
    session->connectAndWaitForWindowManager();
    return session;
}

void DesktopSession::connectAndWaitForWindowManager() {
    const auto end = Clock::now() + 15s;
    while (!display_) {
        try {
            display_ = std::make_unique<XDisplay>(displayName_);
        } catch (const std::runtime_error&) {
            if (Clock::now() >= end) {
                throw;
            }
            std::this_thread::sleep_for(50ms);
        }
    }
    while (!display_->windowManagerRunning() || !display_->windowManagerManagesNewWindow(500ms)) {
        if (Clock::now() >= end || (windowManager_ && !windowManager_->running())) {
            throw std::runtime_error("no window manager came up on " + displayName_);
        }
        std::this_thread::sleep_for(20ms);
    }
}

void DesktopSession::endServer() {
    display_.reset();
    if (server_) {
        server_->stop();
    }
    if (windowManager_) {
        windowManager_->stop();
    }
}

DesktopSession::~DesktopSession() {
    display_.reset();
    if (windowManager_) {
        windowManager_->stop();
    }
    if (server_) {
        server_->stop();
    }
}

}  // namespace desktop_test
