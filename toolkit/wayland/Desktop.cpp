// Desktop services on Linux, chosen at run time: on X11 the X11 desktop; on a Wayland session
// the windows stay on XWayland where it answers and the key pulse goes to the compositor; where
// only the compositor answers, the windows are its own (NativeWindows: no topmost band).
//
// Implemented on Wayland: key presses through a virtual keyboard
// (zwp_virtual_keyboard_manager_v1: sway, Hyprland, labwc, wayfire, river) or else KWin's fake
// input (org_kde_kwin_fake_input), on the program's own Wayland connection (Connection.h), else
// through the desktop portal's remote desktop (org.freedesktop.portal.RemoteDesktop on the
// session bus: GNOME, KDE), which may ask the user first; the foreground window and the topmost
// band through X11 on XWayland, as on X11; one line on stderr naming the route in use; a stopped
// pulse with a message naming the routes tried where none works, when the compositor goes away,
// or when the user or the desktop refuses the portal's session. XTest through XWayland is never
// used, as the compositor would not see it.

#include <QGuiApplication>
#include <cstdlib>
#include <memory>

#include "../x11/Desktop.h"
#include "KeyRoutes.h"
#include "NativeWindows.h"
#include "Session.h"
#include "WaylandDesktop.h"

namespace toolkit {

std::unique_ptr<Desktop> createDesktop() {
    if (QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) {
        return std::make_unique<wayland::WaylandDesktop>(std::make_unique<wayland::NativeWindows>(),
                                                         wayland::keyRoutes());
    }
    auto windows = x11::createDesktop();
    if (!wayland::isWaylandSession([](const char* name) { return std::getenv(name); })) {
        return windows;
    }
    return std::make_unique<wayland::WaylandDesktop>(std::move(windows), wayland::keyRoutes());
}

}  // namespace toolkit
