#include "tests/wayland/GnomeShell.h"

#include <cstdlib>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace wayland_test {

using namespace std::chrono_literals;

namespace {

constexpr const char* allWindows = "global.get_window_actors().map(a => a.meta_window)";

std::string quoted(const std::string& text) {
    return "'" + text + "'";
}

}  // namespace

std::optional<std::string> gnomeEval(const WaylandSession& session, const std::string& code) {
    const auto result =
        session.run({"dbus-send", "--session", "--print-reply", "--dest=org.gnome.Shell",
                     "/org/gnome/Shell", "org.gnome.Shell.Eval", "string:" + code},
                    5s);
    // dbus-send prints the string as it is, between quotes.
    const auto ok = result.output.find("boolean true");
    const auto start = result.output.find("string \"", ok == std::string::npos ? 0 : ok);
    const auto end = result.output.rfind('"');
    if (result.status != 0 || ok == std::string::npos || start == std::string::npos ||
        end <= start + 8) {
        return std::nullopt;
    }
    return result.output.substr(start + 8, end - start - 8);
}

std::vector<GnomeWindow> gnomeWindows(const WaylandSession& session) {
    const auto text =
        gnomeEval(session, std::string(allWindows) +
                               ".map(w => [w.get_title(), w.has_focus(), w.get_transient_for() ? "
                               "w.get_transient_for().get_title() : ''].join('|')).join(';')");
    std::vector<GnomeWindow> windows;
    if (!text || text->size() < 2) {
        return windows;
    }
    // A JSON string: its quotes go.
    std::istringstream list(text->substr(1, text->size() - 2));
    for (std::string entry; std::getline(list, entry, ';');) {
        std::istringstream fields(entry);
        GnomeWindow window;
        std::string focused;
        std::getline(fields, window.title, '|');
        std::getline(fields, focused, '|');
        std::getline(fields, window.transientFor, '|');
        window.focused = focused == "true";
        windows.push_back(window);
    }
    return windows;
}

bool gnomeShows(const WaylandSession& session, const std::string& title) {
    for (const auto& window : gnomeWindows(session)) {
        if (window.title == title) {
            return true;
        }
    }
    return false;
}

bool focusGnomeWindow(const WaylandSession& session, const std::string& title) {
    const auto count = gnomeEval(
        session, std::string(allWindows) + ".filter(w => w.get_title() == " + quoted(title) +
                     ").map(w => w.activate(global.get_current_time())).length");
    return count && *count != "0";
}

bool clickGnomeWindow(const WaylandSession& session, const std::string& title) {
    // A pointer of the shell's own, kept for the session. A new device's first events are lost
    // while the shell is still taking it in, so it is made a moment before it is used.
    const std::string pointer = "global._pulsewardPointer";
    const std::string makePointer =
        pointer + " = " + pointer +
        " || imports.gi.Clutter.get_default_backend().get_default_seat()"
        ".create_virtual_device(imports.gi.Clutter.InputDeviceType.POINTER_DEVICE)";
    if (gnomeEval(session, pointer + " ? 'kept' : (" + makePointer + ", 'new')") == "\"new\"") {
        std::this_thread::sleep_for(200ms);
    }
    const auto clicked = gnomeEval(
        session,
        "(() => { const C = imports.gi.Clutter; const w = " + std::string(allWindows) +
            ".find(w => w.get_title() == " + quoted(title) +
            "); if (!w) return false;"
            " const r = w.frame_rect_to_client_rect(w.get_frame_rect());"
            " const x = r.x + r.width / 2, y = r.y + r.height / 2;"
            " const p = " +
            makePointer +
            "; p.notify_absolute_motion(0, x, y);"
            " p.notify_button(0, C.BUTTON_PRIMARY, C.ButtonState.PRESSED);"
            " p.notify_button(0, C.BUTTON_PRIMARY, C.ButtonState.RELEASED); return true; })()");
    return clicked == "true";
}

bool typeOnGnome(const WaylandSession& session, const std::vector<std::string>& keys) {
    const char* program = std::getenv("PULSEWARD_MUTTER_KEYS");
    if (!program || !*program) {
        throw std::runtime_error("PULSEWARD_MUTTER_KEYS must name pulseward_mutter_keys");
    }
    std::vector<std::string> argv = {program};
    argv.insert(argv.end(), keys.begin(), keys.end());
    return session.run(argv, 10s).status == 0;
}

std::optional<std::uint64_t> mutterIdleTime(const WaylandSession& session) {
    const auto result =
        session.run({"gdbus", "call", "--session", "--dest", "org.gnome.Mutter.IdleMonitor",
                     "--object-path", "/org/gnome/Mutter/IdleMonitor/Core", "--method",
                     "org.gnome.Mutter.IdleMonitor.GetIdletime"});
    const auto at = result.output.find("uint64 ");
    if (result.status != 0 || at == std::string::npos) {
        return std::nullopt;
    }
    return std::stoull(result.output.substr(at + 7));
}

}  // namespace wayland_test
