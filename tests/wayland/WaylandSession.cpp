#include "tests/wayland/WaylandSession.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "tests/desktop/WaitUntil.h"

namespace wayland_test {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using desktop_test::environmentWith;
using desktop_test::SpawnOptions;
using desktop_test::waitUntil;

namespace {

constexpr auto startLimit = 20s;

void handToUser(const fs::path& path, mode_t mode) {
    if (chown(path.c_str(), WaylandSession::user(), WaylandSession::user()) != 0 ||
        chmod(path.c_str(), mode) != 0) {
        throw std::runtime_error("cannot hand " + path.string() +
                                 " to the test user: " + std::strerror(errno));
    }
}

bool acceptsConnections(const fs::path& socketPath) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string text = socketPath.string();
    if (text.size() >= sizeof address.sun_path) {
        return false;
    }
    std::memcpy(address.sun_path, text.c_str(), text.size() + 1);
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return false;
    }
    const bool connected = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    return connected;
}

pid_t parentOf(long pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(in, line);
    // "pid (name) state ppid ...": the name may hold spaces, so read after its last ')'.
    const auto end = line.rfind(')');
    std::istringstream rest(end == std::string::npos ? std::string() : line.substr(end + 1));
    char state = 0;
    pid_t parent = 0;
    rest >> state >> parent;
    return parent;
}

// The X display whose lock file names the process or a child of it: XWayland's sockets are
// opened by the compositor, which writes its own pid there. mutter holds a second one in
// reserve; the lowest is XWayland's.
std::string xDisplayOwnedBy(pid_t pid) {
    std::error_code error;
    std::string lowest;
    for (const auto& entry : fs::directory_iterator("/tmp", error)) {
        const std::string name = entry.path().filename().string();
        if (!name.starts_with(".X") || !name.ends_with("-lock")) {
            continue;
        }
        std::ifstream in(entry.path());
        long owner = 0;
        if (in >> owner && (owner == pid || parentOf(owner) == pid)) {
            // Appended rather than ":" + substr, which GCC 12 at -O3 wrongly flags (restrict).
            std::string display = ":";
            display.append(name, 2, name.size() - 2 - 5);
            if (lowest.empty() || std::stoi(display.substr(1)) < std::stoi(lowest.substr(1))) {
                lowest = display;
            }
        }
    }
    return lowest;
}

}  // namespace

WaylandSession::~WaylandSession() {
    if (compositor_) {
        const pid_t group = compositor_->pid();
        compositor_->stop();
        // stop() waits for the compositor alone; its XWayland, signalled too, may end a moment
        // later: the next test must not meet it.
        if (!waitUntil([&] { return kill(-group, 0) != 0; }, 3s)) {
            kill(-group, SIGKILL);
        }
    }
    if (bus_) {
        bus_->stop();
    }
    if (systemBus_) {
        systemBus_->stop();
    }
}

void WaylandSession::startBus(const desktop_test::BusServices& services) {
    const fs::path socket = runtime_ / "bus";
    busAddress_ = "unix:path=" + socket.string();
    bus_ = std::make_unique<ChildProcess>(SpawnOptions{
        asUser(desktop_test::privateBusCommand(folder_ / "bus.conf", busAddress_, services)),
        clientEnvironment(), folder_ / "dbus-daemon.log"});
    if (!waitUntil([&] { return fs::exists(socket) || !bus_->running(); }, startLimit) ||
        !bus_->running()) {
        throw std::runtime_error("the session bus did not start; see " + folder_.string());
    }
}

// Empty: nothing can be started on it, so no service of the machine's takes part.
void WaylandSession::startSystemBus() {
    const fs::path socket = runtime_ / "system-bus";
    systemBusAddress_ = "unix:path=" + socket.string();
    systemBus_ = std::make_unique<ChildProcess>(SpawnOptions{
        asUser(desktop_test::privateBusCommand(folder_ / "system-bus.conf", systemBusAddress_)),
        clientEnvironment(), folder_ / "system-bus.log"});
    if (!waitUntil([&] { return fs::exists(socket) || !systemBus_->running(); }, startLimit) ||
        !systemBus_->running()) {
        throw std::runtime_error("the system bus did not start; see " + folder_.string());
    }
}

void WaylandSession::setActivationEnvironment(const std::string& desktop) {
    std::string variables =
        "dict:string:string:XDG_CURRENT_DESKTOP," + desktop + ",WAYLAND_DISPLAY," + waylandDisplay_;
    if (!xDisplay_.empty()) {
        variables += ",DISPLAY," + xDisplay_;
    }
    if (!xAuthority_.empty()) {
        variables += ",XAUTHORITY," + xAuthority_;
    }
    const auto result = run({"dbus-send", "--session", "--print-reply",
                             "--dest=org.freedesktop.DBus", "/org/freedesktop/DBus",
                             "org.freedesktop.DBus.UpdateActivationEnvironment", variables});
    if (result.status != 0) {
        throw std::runtime_error("the session bus did not take the activation environment: " +
                                 result.output);
    }
}

void WaylandSession::prepareFolders(const fs::path& folder) {
    folder_ = folder;
    runtime_ = folder / "runtime";
    home_ = folder / "home";
    // Room for "/sway-ipc.<uid>.<pid>.sock" in a socket address (108 bytes).
    if (runtime_.string().size() > 72) {
        throw std::runtime_error("the runtime folder's path is too long for its sockets: " +
                                 runtime_.string() + " (set TMPDIR to a shorter folder)");
    }
    fs::create_directories(runtime_);
    fs::create_directories(home_);
    handToUser(folder_, 0755);
    handToUser(home_, 0755);
    handToUser(runtime_, 0700);
}

void WaylandSession::startCompositor(const std::vector<std::string>& argv,
                                     const std::string& logName,
                                     const std::map<std::string, std::string>& extra) {
    const fs::path log = folder_ / logName;
    std::map<std::string, std::string> variables = {
        {"WLR_BACKENDS", "headless"}, {"WLR_LIBINPUT_NO_DEVICES", "1"}, {"WLR_RENDERER", "pixman"}};
    variables.insert(extra.begin(), extra.end());
    compositor_ = std::make_unique<ChildProcess>(
        SpawnOptions{asUser(argv), clientEnvironment(variables), log});
}

void WaylandSession::waitForSocket(const std::string& fixedName) {
    const bool found = waitUntil(
        [&] {
            if (!compositor_->running()) {
                return true;
            }
            std::error_code error;
            for (const auto& entry : fs::directory_iterator(runtime_, error)) {
                const std::string name = entry.path().filename().string();
                const bool candidate =
                    fixedName.empty() ? name.starts_with("wayland-") && !name.ends_with(".lock")
                                      : name == fixedName;
                if (candidate && entry.is_socket() && acceptsConnections(entry.path())) {
                    waylandDisplay_ = name;
                    return true;
                }
            }
            return false;
        },
        startLimit);
    if (!found || waylandDisplay_.empty()) {
        throw std::runtime_error("the compositor did not open its Wayland socket; see " +
                                 folder_.string());
    }
}

void WaylandSession::waitForSway() {
    const std::string prefix =
        "sway-ipc." + std::to_string(user()) + "." + std::to_string(compositor_->pid()) + ".sock";
    const bool answered = waitUntil(
        [&] {
            if (!compositor_->running()) {
                return true;
            }
            if (!fs::exists(runtime_ / prefix)) {
                return false;
            }
            swaySocket_ = (runtime_ / prefix).string();
            return swaymsg({"-t", "get_version"}).status == 0;
        },
        startLimit);
    if (!answered || !compositor_->running()) {
        swaySocket_.clear();
        throw std::runtime_error("sway did not answer on its IPC socket; see " + folder_.string());
    }
}

void WaylandSession::findXDisplay() {
    if (!waitUntil([&] { return !(xDisplay_ = xDisplayOwnedBy(compositor_->pid())).empty(); },
                   startLimit)) {
        throw std::runtime_error("the compositor opened no X display for XWayland; see " +
                                 folder_.string());
    }
}

// mutter's XWayland lets in only the clients that bring the cookie it leaves there.
void WaylandSession::findXAuthority() {
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(runtime_, error)) {
        if (entry.path().filename().string().starts_with(".mutter-Xwaylandauth.")) {
            xAuthority_ = entry.path().string();
        }
    }
}

std::vector<std::string> WaylandSession::clientEnvironment(
    const std::map<std::string, std::string>& extra) const {
    std::map<std::string, std::string> set = {{"HOME", home_.string()},
                                              {"XDG_RUNTIME_DIR", runtime_.string()},
                                              {"XDG_SESSION_TYPE", "wayland"}};
    if (!waylandDisplay_.empty()) {
        set["WAYLAND_DISPLAY"] = waylandDisplay_;
    }
    if (!xDisplay_.empty()) {
        set["DISPLAY"] = xDisplay_;
    }
    if (!swaySocket_.empty()) {
        set["SWAYSOCK"] = swaySocket_;
    }
    if (!xAuthority_.empty()) {
        set["XAUTHORITY"] = xAuthority_;
    }
    if (!busAddress_.empty()) {
        set["DBUS_SESSION_BUS_ADDRESS"] = busAddress_;
    }
    if (!systemBusAddress_.empty()) {
        set["DBUS_SYSTEM_BUS_ADDRESS"] = systemBusAddress_;
    }
    for (const auto& [name, value] : extra) {
        set[name] = value;
    }
    return environmentWith(
        set, {"WAYLAND_", "DISPLAY", "XDG_", "SWAYSOCK", "I3SOCK", "WLR_", "XAUTHORITY",
              "DBUS_SESSION_BUS_ADDRESS", "DBUS_SYSTEM_BUS_ADDRESS"});
}

uid_t WaylandSession::user() {
    return geteuid() == 0 ? 65534 : geteuid();
}

std::vector<std::string> WaylandSession::asUser(const std::vector<std::string>& argv) {
    if (geteuid() != 0) {
        return argv;
    }
    // Changing the user clears the parent-death signal; setpriv sets it again afterwards.
    std::vector<std::string> result = {"setpriv",
                                       "--reuid=" + std::to_string(user()),
                                       "--regid=" + std::to_string(user()),
                                       "--clear-groups",
                                       "--pdeathsig=SIGKILL",
                                       "--"};
    result.insert(result.end(), argv.begin(), argv.end());
    return result;
}

std::unique_ptr<ChildProcess> WaylandSession::startClient(
    const std::vector<std::string>& argv, const fs::path& log,
    const std::map<std::string, std::string>& extra) {
    return std::make_unique<ChildProcess>(
        SpawnOptions{asUser(argv), clientEnvironment(extra), log});
}

std::unique_ptr<ChildProcess> WaylandSession::startSeatKeyboard(const fs::path& log) {
    return startClient({"wtype", "-s", "3600000"}, log);
}

CommandResult WaylandSession::run(const std::vector<std::string>& argv,
                                  std::chrono::milliseconds limit) const {
    return desktop_test::runCommand(asUser(argv), clientEnvironment(), limit);
}

CommandResult WaylandSession::swaymsg(const std::vector<std::string>& arguments) const {
    std::vector<std::string> argv = {"swaymsg", "--raw"};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return run(argv, 5s);
}

}  // namespace wayland_test
