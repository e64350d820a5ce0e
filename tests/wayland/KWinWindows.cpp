#include "tests/wayland/KWinWindows.h"

#include <sys/stat.h>

#include <fstream>
#include <stdexcept>

#include "tests/wayland/OutputLines.h"

namespace wayland_test {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

std::string field(const std::string& line, const std::string& name) {
    const auto start = line.find(" " + name + "=");
    if (start == std::string::npos) {
        return {};
    }
    const auto value = start + name.size() + 2;
    return line.substr(value, line.find(' ', value) - value);
}

CommandResult scripting(const WaylandSession& session, const std::string& object,
                        const std::vector<std::string>& call) {
    std::vector<std::string> argv = {"dbus-send", "--session", "--print-reply",
                                     "--dest=org.kde.KWin", object};
    argv.insert(argv.end(), call.begin(), call.end());
    return session.run(argv, 5s);
}

}  // namespace

std::vector<KWinWindow> kwinWindows(const WaylandSession& session) {
    // Each script has a name of its own: KWin refuses to load a name it holds, and the lines
    // of earlier scripts stay in the log.
    static int scripts = 0;
    const std::string name = "pulseward-windows-" + std::to_string(++scripts);
    const fs::path script = session.logFolder() / (name + ".js");
    std::ofstream(script) << "var all = workspace.clientList();\n"
                             "for (var i = 0; i < all.length; ++i) {\n"
                             "    var w = all[i];\n"
                             "    print('"
                          << name
                          << " window stacking=' + w.stackingOrder + ' above=' + w.keepAbove +\n"
                             "          ' active=' + w.active + ' class=' + w.resourceClass);\n"
                             "}\n"
                             "print('"
                          << name << " end');\n";
    chmod(script.c_str(), 0644);

    const OutputLines log(session.logFolder() / "kwin.log");
    const auto from = log.lines().size();
    const bool ran = scripting(session, "/Scripting",
                               {"org.kde.kwin.Scripting.loadScript", "string:" + script.string(),
                                "string:" + name})
                             .status == 0 &&
                     scripting(session, "/Scripting", {"org.kde.kwin.Scripting.start"}).status == 0;
    const auto end = ran ? log.waitFor(
                               [&](const std::string& line) {
                                   return line.find(name + " end") != std::string::npos;
                               },
                               5s, from)
                         : std::nullopt;
    scripting(session, "/Scripting", {"org.kde.kwin.Scripting.unloadScript", "string:" + name});
    if (!end) {
        throw std::runtime_error("KWin did not run the script " + script.string() + "; see " +
                                 log.file().string());
    }

    std::vector<KWinWindow> windows;
    const auto lines = log.lines();
    const std::size_t last = end.value_or(from);
    for (auto i = from; i < last; ++i) {
        const auto& line = lines[i];
        const auto at = line.find(name + " window ");
        if (at == std::string::npos) {
            continue;
        }
        const auto classAt = line.find(" class=", at);
        windows.push_back({classAt == std::string::npos ? std::string() : line.substr(classAt + 7),
                           std::stoi(field(line, "stacking")), field(line, "above") == "true",
                           field(line, "active") == "true"});
    }
    return windows;
}

}  // namespace wayland_test
