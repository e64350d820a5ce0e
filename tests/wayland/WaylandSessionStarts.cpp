// How each compositor of the tests is started.

#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <stdexcept>

#include "tests/desktop/WaitUntil.h"
#include "tests/wayland/GnomeShell.h"
#include "tests/wayland/WaylandSession.h"

namespace wayland_test {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using desktop_test::waitUntil;

namespace {

constexpr auto startLimit = 20s;
// Now and then gnome-shell stops for good early in its start (after asking for polkit, before
// it starts ibus; twice in about twenty starts, on a busy machine): a fresh one is started then.
constexpr auto shellStartLimit = 30s;

// No bar, no background program, nothing sway would start in a session of its own (its `exec`
// children leave our process group). XWayland starts when its first client connects.
constexpr const char* swayConfig =
    R"(# The Wayland tests' sway: one headless output, XWayland (or none), nothing else.
xwayland %s
focus_follows_mouse no
)";
// mutter opens XWayland's sockets only in a folder anyone may create sockets in (sticky, 1777),
// as the system makes it; a server run as another user before may have left it otherwise.
void prepareX11SocketFolder() {
    const fs::path folder = "/tmp/.X11-unix";
    if (geteuid() == 0) {
        std::error_code error;
        fs::create_directory(folder, error);
        chmod(folder.c_str(), 01777);
    }
}

}  // namespace

std::unique_ptr<WaylandSession> WaylandSession::startSway(const fs::path& folder,
                                                          bool withXWayland) {
    std::unique_ptr<WaylandSession> session(new WaylandSession);
    session->prepareFolders(folder);
    const fs::path config = folder / "sway.config";
    std::string text = swayConfig;
    text.replace(text.find("%s"), 2, withXWayland ? "enable" : "disable");
    std::ofstream(config) << text;
    session->startCompositor({"sway", "--config", config.string()}, "sway.log");
    session->waitForSocket({});
    session->waitForSway();
    if (withXWayland) {
        session->findXDisplay();
    }
    return session;
}

std::unique_ptr<WaylandSession> WaylandSession::startWeston(const fs::path& folder,
                                                            bool withXWayland) {
    std::unique_ptr<WaylandSession> session(new WaylandSession);
    session->prepareFolders(folder);
    const std::string socket = "wayland-pulseward";
    std::vector<std::string> argv = {"weston", "--backend=headless-backend.so",
                                     "--socket=" + socket, "--no-config", "--idle-time=0"};
    if (withXWayland) {
        argv.push_back("--xwayland");
    }
    session->startCompositor(argv, "weston.log");
    session->waitForSocket(socket);
    if (withXWayland) {
        session->findXDisplay();
    }
    return session;
}

std::unique_ptr<WaylandSession> WaylandSession::startKWin(
    const fs::path& folder, const std::vector<fs::path>& fakeInputPrograms,
    const desktop_test::BusServices& services) {
    std::unique_ptr<WaylandSession> session(new WaylandSession);
    session->prepareFolders(folder);
    // The installed kwin_wayland carries cap_sys_resource, which these machines refuse to
    // execute; a copy has none and keeps the name KWin goes by.
    const fs::path kwin = folder / "bin" / "kwin_wayland";
    fs::create_directories(kwin.parent_path());
    fs::copy_file("/usr/bin/kwin_wayland", kwin, fs::copy_options::overwrite_existing);
    fs::permissions(kwin, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                              fs::perms::others_read | fs::perms::others_exec);
    const fs::path applications = folder / "data" / "applications";
    fs::create_directories(applications);
    for (const auto& program : fakeInputPrograms) {
        std::ofstream(applications / (program.filename().string() + ".desktop"))
            << "[Desktop Entry]\nType=Application\nName=" << program.filename().string()
            << "\nExec=" << program.string()
            << "\nX-KDE-Wayland-Interfaces=org_kde_kwin_fake_input\n";
    }
    const std::string socket = "wayland-pulseward";
    session->startBus(services);
    session->startCompositor({kwin.string(), "--virtual", "--xwayland", "--socket", socket,
                              "--no-lockscreen", "--no-global-shortcuts", "--no-kactivities"},
                             "kwin.log",
                             {{"XDG_DATA_HOME", (folder / "data").string()},
                              {"QT_LOGGING_RULES", "kwin_scripting.debug=true"}});
    session->waitForSocket(socket);
    session->findXDisplay();
    return session;
}

std::unique_ptr<WaylandSession> WaylandSession::startMutter(const fs::path& folder) {
    prepareX11SocketFolder();
    std::unique_ptr<WaylandSession> session(new WaylandSession);
    session->prepareFolders(folder);
    session->startBus();
    session->startCompositor(
        {"mutter", "--headless", "--virtual-monitor", "1280x1024", "--wayland"}, "mutter.log");
    session->waitForSocket({});
    session->findXDisplay();
    session->findXAuthority();
    return session;
}

std::unique_ptr<WaylandSession> WaylandSession::startGnomeShell(const fs::path& folder) {
    prepareX11SocketFolder();
    for (int attempt = 1;; ++attempt) {
        const fs::path attemptFolder =
            attempt == 1 ? folder : fs::path(folder.string() + "-" + std::to_string(attempt));
        std::unique_ptr<WaylandSession> session(new WaylandSession);
        session->prepareFolders(attemptFolder);
        // Without a system bus the shell gives up at start (logind); the session's services get
        // this one too, never the machine's.
        session->startSystemBus();
        session->startBus({.folders = {}, .installed = true});
        session->startCompositor({"gnome-shell", "--headless", "--wayland", "--virtual-monitor",
                                  "1280x1024", "--unsafe-mode"},
                                 "gnome-shell.log", {{"XDG_CURRENT_DESKTOP", "GNOME"}});
        session->waitForSocket({});
        session->findXDisplay();
        session->findXAuthority();
        session->setActivationEnvironment("GNOME");
        // The shell starts in its overview, whose search would take the keys.
        const bool started = waitUntil(
            [&] {
                return !session->running() ||
                       gnomeEval(*session,
                                 "Main.layoutManager._startingUp || Main.overview.hide() || "
                                 "Main.overview.visible") == "false";
            },
            shellStartLimit);
        if (started && session->running()) {
            return session;
        }
        if (attempt == 3) {
            throw std::runtime_error("gnome-shell did not start; see " + folder.string() + "*");
        }
    }
}

}  // namespace wayland_test
