#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "tests/desktop/ChildProcess.h"
#include "tests/desktop/XDisplay.h"

namespace desktop_test {

// An X display with a window manager on it: either one that is already there, or an Xvfb with
// openbox started here and ended with this object.
class DesktopSession {
  public:
    // Uses the running display; fails unless a window manager runs on it.
    static std::unique_ptr<DesktopSession> attach(const std::string& displayName);
    // Starts Xvfb at 96 dpi on a free display number, with the extra server arguments, and
    // openbox on it; their logs go into the folder.
    static std::unique_ptr<DesktopSession> start(const std::filesystem::path& folder,
                                                 const std::vector<std::string>& serverArguments);
    // For a test program: the display PULSEWARD_TEST_DISPLAY names when it is set, otherwise a
    // new one started with its logs in the folder.
    static std::unique_ptr<DesktopSession> forTests(const std::filesystem::path& folder);
    ~DesktopSession();
    DesktopSession(const DesktopSession&) = delete;
    DesktopSession& operator=(const DesktopSession&) = delete;

    const std::string& displayName() const { return displayName_; }
    // Ends an X server started here, as a logout or a crash of the server would: x() is gone.
    void endServer();
    bool serverRunning() const { return display_ != nullptr; }
    XDisplay& x() { return *display_; }

  private:
    DesktopSession() = default;
    void connectAndWaitForWindowManager();

    std::string displayName_;
    std::unique_ptr<ChildProcess> server_;
    std::unique_ptr<ChildProcess> windowManager_;
    std::unique_ptr<XDisplay> display_;
};

}  // namespace desktop_test
