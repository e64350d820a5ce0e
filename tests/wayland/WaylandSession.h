#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "tests/desktop/ChildProcess.h"
#include "tests/desktop/PrivateBus.h"

namespace wayland_test {

using desktop_test::ChildProcess;
using desktop_test::CommandResult;

// A real Wayland compositor for a test, started headless as an unprivileged user (sway refuses
// to run as root) and ended with this object, with everything it started.
class WaylandSession {
  public:
    // The user the compositor and its clients run as: nobody (65534) when the tests run as
    // root, otherwise the tests' own user.
    static uid_t user();

    // sway with XWayland (or, when told, without: its clients get no DISPLAY). Its config, log,
    // home and runtime folder go into the folder, which is handed to the user; the folder's
    // parents must let that user through.
    static std::unique_ptr<WaylandSession> startSway(const std::filesystem::path& folder,
                                                     bool withXWayland = true);
    // Weston's headless back-end with its desktop shell, optionally with XWayland.
    static std::unique_ptr<WaylandSession> startWeston(const std::filesystem::path& folder,
                                                       bool withXWayland = false);
    // KWin's virtual back-end with XWayland, on a session bus of its own at
    // runtimeFolder()/bus, which its clients are given too; what its scripts print goes to
    // kwin.log. Each program listed gets an installed .desktop file (under XDG_DATA_HOME, which
    // KWin reads) that lets it use KWin's fake input. KWin runs from a copy without the file
    // capability its binary carries. The bus starts the services named (KDE's own desktop
    // portal among the installed ones).
    static std::unique_ptr<WaylandSession> startKWin(
        const std::filesystem::path& folder,
        const std::vector<std::filesystem::path>& fakeInputPrograms = {},
        const desktop_test::BusServices& services = {});
    // mutter headless with XWayland (the portal's tests), on a session bus of its own at
    // runtimeFolder()/bus, which its clients are given too.
    static std::unique_ptr<WaylandSession> startMutter(const std::filesystem::path& folder);
    // gnome-shell headless with XWayland, in unsafe mode (org.gnome.Shell.Eval answers), on a
    // session bus of its own that starts the services installed on the machine (the desktop
    // portal and GNOME's backend for it among them), and an empty system bus of its own, without
    // which the shell does not start. Returned once the shell has started and left its overview.
    static std::unique_ptr<WaylandSession> startGnomeShell(const std::filesystem::path& folder);
    ~WaylandSession();
    WaylandSession(const WaylandSession&) = delete;
    WaylandSession& operator=(const WaylandSession&) = delete;

    // The socket's name in runtimeFolder(), as WAYLAND_DISPLAY gives it.
    const std::string& waylandDisplay() const { return waylandDisplay_; }
    // XWayland's display (":1"), or empty without XWayland. The server itself starts when its
    // first X client connects.
    const std::string& xDisplay() const { return xDisplay_; }
    const std::filesystem::path& runtimeFolder() const { return runtime_; }
    const std::filesystem::path& home() const { return home_; }
    const std::filesystem::path& logFolder() const { return folder_; }
    // A session bus of the session's own at runtimeFolder()/bus, run as its user; the clients
    // started from then on are given it. It starts only the services named (by default none).
    void startBus(const desktop_test::BusServices& services = {});
    // The session's own D-Bus address, empty without one.
    const std::string& busAddress() const { return busAddress_; }
    // Hands the session's displays and the desktop's name (XDG_CURRENT_DESKTOP) to the services
    // the session bus starts from then on, as a session manager does: the desktop portal picks
    // its backend by that name.
    void setActivationEnvironment(const std::string& desktop);
    bool running() { return compositor_ && compositor_->running(); }
    // Also the process group of everything the compositor starts itself (XWayland).
    pid_t compositorPid() const { return compositor_->pid(); }

    // A client's environment in this session: the test's own with the session's variables
    // (WAYLAND_DISPLAY, DISPLAY, XDG_RUNTIME_DIR, HOME, SWAYSOCK, XDG_SESSION_TYPE) replaced.
    std::vector<std::string> clientEnvironment(
        const std::map<std::string, std::string>& extra = {}) const;
    // The command line run as the session's user; it dies with the test program.
    static std::vector<std::string> asUser(const std::vector<std::string>& argv);
    // A client of this session, as its user, with its output appended to the log.
    std::unique_ptr<ChildProcess> startClient(const std::vector<std::string>& argv,
                                              const std::filesystem::path& log,
                                              const std::map<std::string, std::string>& extra = {});
    // A command run to its end as the session's user, e.g. swaymsg.
    CommandResult run(const std::vector<std::string>& argv,
                      std::chrono::milliseconds limit = std::chrono::milliseconds(10000)) const;
    // A keyboard for the seat, which has none without input devices: wtype's virtual keyboard
    // (with a keymap of wtype's own), kept until the process ends. A client's keyboard comes
    // once the client has seen the seat's new capability; keys sent before that reach no one.
    std::unique_ptr<ChildProcess> startSeatKeyboard(const std::filesystem::path& log);
    // swaymsg with the arguments; sway sessions only.
    CommandResult swaymsg(const std::vector<std::string>& arguments) const;

  private:
    WaylandSession() = default;
    void prepareFolders(const std::filesystem::path& folder);
    void startCompositor(const std::vector<std::string>& argv, const std::string& logName,
                         const std::map<std::string, std::string>& extra = {});
    void waitForSocket(const std::string& fixedName);
    void waitForSway();
    void findXDisplay();
    void findXAuthority();
    void startSystemBus();

    std::filesystem::path folder_;
    std::filesystem::path runtime_;
    std::filesystem::path home_;
    std::string waylandDisplay_;
    std::string xDisplay_;
    std::string swaySocket_;
    std::string xAuthority_;
    std::string busAddress_;
    std::unique_ptr<ChildProcess> bus_;
    std::string systemBusAddress_;
    std::unique_ptr<ChildProcess> systemBus_;
    std::unique_ptr<ChildProcess> compositor_;
};

}  // namespace wayland_test
