// The window is Qt's, so is its surface, and the export must be asked for on Qt's own
// connection; its events are read on a queue of ours, so that Qt's dispatching never sees them.

#include "ParentWindow.h"

#include <qpa/qplatformnativeinterface.h>
#include <wayland-client.h>
#include <QGuiApplication>
#include <QWindow>
#include <cstdio>
#include <cstring>

#include "../Forms.h"
#include "xdg-foreign-unstable-v2-client-protocol.h"

namespace toolkit::wayland {

namespace {

// The handle is the compositor's for as long as the exported object lives: the last one is kept
// until the next export.
struct Export {
    wl_event_queue* queue = nullptr;
    zxdg_exported_v2* exported = nullptr;
    std::string handle;

    void release() {
        if (exported) {
            zxdg_exported_v2_destroy(exported);
            exported = nullptr;
        }
        if (queue) {
            wl_event_queue_destroy(queue);
            queue = nullptr;
        }
        handle.clear();
    }
};
Export last;

void global(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t) {
    if (std::strcmp(interface, zxdg_exporter_v2_interface.name) == 0) {
        *static_cast<zxdg_exporter_v2**>(data) = static_cast<zxdg_exporter_v2*>(
            wl_registry_bind(registry, name, &zxdg_exporter_v2_interface, 1));
    }
}
void globalRemoved(void*, wl_registry*, uint32_t) {
}
const wl_registry_listener registryListener = {global, globalRemoved};

void handleGiven(void* data, zxdg_exported_v2*, const char* handle) {
    *static_cast<std::string*>(data) = handle;
}
const zxdg_exported_v2_listener exportedListener = {handleGiven};

QWindow* programWindow() {
    if (QWindow* focused = QGuiApplication::focusWindow()) {
        return focused;
    }
    for (QWindow* window : QGuiApplication::topLevelWindows()) {
        if (window->isVisible()) {
            return window;
        }
    }
    return nullptr;
}

std::string waylandParentWindow() {
    QPlatformNativeInterface* native = QGuiApplication::platformNativeInterface();
    QWindow* window = programWindow();
    if (!native || !window) {
        return {};
    }
    auto* display = static_cast<wl_display*>(native->nativeResourceForIntegration("wl_display"));
    auto* surface = static_cast<wl_surface*>(native->nativeResourceForWindow("surface", window));
    if (!display || !surface) {
        return {};
    }
    last.release();
    last.queue = wl_display_create_queue(display);
    auto* wrapped = static_cast<wl_display*>(wl_proxy_create_wrapper(display));
    wl_proxy_set_queue(reinterpret_cast<wl_proxy*>(wrapped), last.queue);
    wl_registry* registry = wl_display_get_registry(wrapped);
    zxdg_exporter_v2* exporter = nullptr;
    wl_registry_add_listener(registry, &registryListener, &exporter);
    wl_display_roundtrip_queue(display, last.queue);
    if (exporter) {
        last.exported = zxdg_exporter_v2_export_toplevel(exporter, surface);
        zxdg_exported_v2_add_listener(last.exported, &exportedListener, &last.handle);
        wl_display_roundtrip_queue(display, last.queue);
        zxdg_exporter_v2_destroy(exporter);
    }
    wl_registry_destroy(registry);
    wl_proxy_wrapper_destroy(wrapped);
    if (last.handle.empty()) {
        last.release();
        return {};
    }
    return "wayland:" + last.handle;
}

}  // namespace

std::string portalParentWindow() {
    if (QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) {
        return waylandParentWindow();
    }
    if (Forms.Count() == 0) {
        return {};
    }
    // The windows are on XWayland.
    const WindowHandle window = Forms(0).hWnd();
    return window ? x11ParentWindow(window) : std::string();
}

std::string x11ParentWindow(WindowHandle window) {
    char text[32];
    std::snprintf(text, sizeof text, "x11:%llx", static_cast<unsigned long long>(window));
    return text;
}

}  // namespace toolkit::wayland
