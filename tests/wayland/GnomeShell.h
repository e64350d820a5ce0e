#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tests/wayland/WaylandSession.h"

namespace wayland_test {

// A window as gnome-shell sees it.
struct GnomeWindow {
    std::string title;
    bool focused = false;
    std::string transientFor;  // the title of the window it is attached to, if any
};

// gnome-shell sessions only (WaylandSession::startGnomeShell), asked over the session's bus.
// What the JavaScript's value is as JSON, through org.gnome.Shell.Eval; nothing when it throws
// or the shell does not answer.
std::optional<std::string> gnomeEval(const WaylandSession& session, const std::string& code);
std::vector<GnomeWindow> gnomeWindows(const WaylandSession& session);
// Whether a window of the title is shown.
bool gnomeShows(const WaylandSession& session, const std::string& title);
// Gives the window of the title the keyboard; false when there is none.
bool focusGnomeWindow(const WaylandSession& session, const std::string& title);
// A click of the left button at the middle of the window's inside, as a user's pointer makes it;
// false when there is no such window.
bool clickGnomeWindow(const WaylandSession& session, const std::string& title);
// A simulated user's keys (XKB names, a chord joined by '+', as "Alt_L+s") to the window with
// the keyboard, through pulseward_mutter_keys, which PULSEWARD_MUTTER_KEYS names.
bool typeOnGnome(const WaylandSession& session, const std::vector<std::string>& keys);
// mutter's idle time in ms, as GNOME's screen saver reads it.
std::optional<std::uint64_t> mutterIdleTime(const WaylandSession& session);

}  // namespace wayland_test
