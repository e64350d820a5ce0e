// pulseward_key_client: the focused Wayland window of the Wayland tests. It maps one toplevel
// (a plain grey shm buffer) and prints one line per event to stdout, flushed at once:
//   capabilities keyboard=0|1
//   configured / mapped
//   keymap hash=<FNV-1a 64 of the keymap text, hex> size=<bytes> numlock=<Num Lock mask>
//   enter / leave
//   key time=<ms> code=<evdev code> state=pressed|released arrived=<ns>
//     (time is the sender's stamp, passed on by the compositor; arrived is CLOCK_MONOTONIC when
//     the event reached us)
//   modifiers depressed=<mask> latched=<mask> locked=<mask> group=<n>
//   disconnected (the compositor went away) / ended (SIGTERM or SIGINT)
// It asks for the keyboard only while the seat has one: wlroots refuses get_keyboard otherwise.

#include <fcntl.h>
#include <poll.h>
#include <sys/mman.h>
#include <sys/signalfd.h>
#include <time.h>
#include <unistd.h>
#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "xdg-shell-client-protocol.h"

namespace {

constexpr int width = 160;
constexpr int height = 120;

struct Client {
    wl_display* display = nullptr;
    wl_compositor* compositor = nullptr;
    wl_shm* shm = nullptr;
    xdg_wm_base* wmBase = nullptr;
    wl_seat* seat = nullptr;
    std::uint32_t seatVersion = 0;
    wl_keyboard* keyboard = nullptr;
    wl_surface* surface = nullptr;
    xdg_surface* xdgSurface = nullptr;
    xdg_toplevel* toplevel = nullptr;
    wl_buffer* buffer = nullptr;
    bool mapped = false;
    xkb_context* xkb = nullptr;
};

void line(const char* format, auto... values) {
    std::printf(format, values...);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

std::uint64_t fnv1a(std::string_view text) {
    std::uint64_t hash = 0xcbf29ce484222325ull;
    for (const char c : text) {
        hash = (hash ^ std::uint8_t(c)) * 0x100000001b3ull;
    }
    return hash;
}

wl_buffer* greyBuffer(wl_shm* shm) {
    const int stride = width * 4;
    const int size = stride * height;
    const int fd = memfd_create("pulseward-key-client", MFD_CLOEXEC);
    if (fd < 0 || ftruncate(fd, size) != 0) {
        return nullptr;
    }
    void* pixels = mmap(nullptr, std::size_t(size), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (pixels == MAP_FAILED) {
        close(fd);
        return nullptr;
    }
    std::memset(pixels, 0x80, std::size_t(size));
    munmap(pixels, std::size_t(size));
    wl_shm_pool* pool = wl_shm_create_pool(shm, fd, size);
    wl_buffer* buffer =
        wl_shm_pool_create_buffer(pool, 0, width, height, stride, WL_SHM_FORMAT_XRGB8888);
    wl_shm_pool_destroy(pool);
    close(fd);
    return buffer;
}

// Keyboard -----------------------------------------------------------------------------------

void onKeymap(void* data, wl_keyboard*, std::uint32_t format, int fd, std::uint32_t size) {
    auto* client = static_cast<Client*>(data);
    if (format != WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1 || size == 0) {
        line("keymap hash=0 size=0 numlock=0");
        close(fd);
        return;
    }
    void* text = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    close(fd);
    if (text == MAP_FAILED) {
        line("keymap hash=0 size=%u numlock=0", size);
        return;
    }
    const std::string_view keymapText(static_cast<const char*>(text),
                                      strnlen(static_cast<const char*>(text), size));
    std::uint32_t numLock = 0;
    xkb_keymap* keymap =
        xkb_keymap_new_from_buffer(client->xkb, keymapText.data(), keymapText.size(),
                                   XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS);
    if (keymap) {
        const xkb_mod_index_t index = xkb_keymap_mod_get_index(keymap, XKB_MOD_NAME_NUM);
        numLock = index == XKB_MOD_INVALID ? 0 : 1u << index;
        xkb_keymap_unref(keymap);
    }
    line("keymap hash=%016llx size=%zu numlock=%u",
         static_cast<unsigned long long>(fnv1a(keymapText)), keymapText.size(), numLock);
    munmap(text, size);
}

void onEnter(void*, wl_keyboard*, std::uint32_t, wl_surface*, wl_array*) {
    line("enter");
}

void onLeave(void*, wl_keyboard*, std::uint32_t, wl_surface*) {
    line("leave");
}

void onKey(void*, wl_keyboard*, std::uint32_t, std::uint32_t time, std::uint32_t key,
           std::uint32_t state) {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    line("key time=%u code=%u state=%s arrived=%lld", time, key,
         state == WL_KEYBOARD_KEY_STATE_PRESSED ? "pressed" : "released",
         static_cast<long long>(now.tv_sec) * 1'000'000'000LL + now.tv_nsec);
}

void onModifiers(void*, wl_keyboard*, std::uint32_t, std::uint32_t depressed, std::uint32_t latched,
                 std::uint32_t locked, std::uint32_t group) {
    line("modifiers depressed=%u latched=%u locked=%u group=%u", depressed, latched, locked, group);
}

void onRepeatInfo(void*, wl_keyboard*, std::int32_t, std::int32_t) {
}

const wl_keyboard_listener keyboardListener = {onKeymap, onEnter,     onLeave,
                                               onKey,    onModifiers, onRepeatInfo};

// Seat, shell and registry -------------------------------------------------------------------

void onCapabilities(void* data, wl_seat* seat, std::uint32_t capabilities) {
    auto* client = static_cast<Client*>(data);
    const bool hasKeyboard = capabilities & WL_SEAT_CAPABILITY_KEYBOARD;
    line("capabilities keyboard=%d", hasKeyboard ? 1 : 0);
    if (hasKeyboard && !client->keyboard) {
        client->keyboard = wl_seat_get_keyboard(seat);
        wl_keyboard_add_listener(client->keyboard, &keyboardListener, client);
    } else if (!hasKeyboard && client->keyboard) {
        if (client->seatVersion >= WL_KEYBOARD_RELEASE_SINCE_VERSION) {
            wl_keyboard_release(client->keyboard);
        } else {
            wl_keyboard_destroy(client->keyboard);
        }
        client->keyboard = nullptr;
    }
}

void onSeatName(void*, wl_seat*, const char*) {
}

const wl_seat_listener seatListener = {onCapabilities, onSeatName};

void onPing(void*, xdg_wm_base* wmBase, std::uint32_t serial) {
    xdg_wm_base_pong(wmBase, serial);
}

const xdg_wm_base_listener wmBaseListener = {onPing};

void onSurfaceConfigure(void* data, xdg_surface* xdgSurface, std::uint32_t serial) {
    auto* client = static_cast<Client*>(data);
    xdg_surface_ack_configure(xdgSurface, serial);
    line("configured");
    const bool first = !client->mapped;
    if (first) {
        client->buffer = greyBuffer(client->shm);
        wl_surface_attach(client->surface, client->buffer, 0, 0);
        wl_surface_damage(client->surface, 0, 0, width, height);
        client->mapped = true;
    }
    wl_surface_commit(client->surface);
    if (first) {
        line("mapped");
    }
}

const xdg_surface_listener xdgSurfaceListener = {onSurfaceConfigure};

void onToplevelConfigure(void*, xdg_toplevel*, std::int32_t, std::int32_t, wl_array*) {
}
void onToplevelClose(void*, xdg_toplevel*) {
}
void onToplevelBounds(void*, xdg_toplevel*, std::int32_t, std::int32_t) {
}
void onToplevelCapabilities(void*, xdg_toplevel*, wl_array*) {
}

const xdg_toplevel_listener toplevelListener = {onToplevelConfigure, onToplevelClose,
                                                onToplevelBounds, onToplevelCapabilities};

void onGlobal(void* data, wl_registry* registry, std::uint32_t name, const char* interface,
              std::uint32_t version) {
    auto* client = static_cast<Client*>(data);
    const std::string_view which = interface;
    if (which == wl_compositor_interface.name) {
        client->compositor = static_cast<wl_compositor*>(
            wl_registry_bind(registry, name, &wl_compositor_interface, 1));
    } else if (which == wl_shm_interface.name) {
        client->shm = static_cast<wl_shm*>(wl_registry_bind(registry, name, &wl_shm_interface, 1));
    } else if (which == xdg_wm_base_interface.name) {
        client->wmBase =
            static_cast<xdg_wm_base*>(wl_registry_bind(registry, name, &xdg_wm_base_interface, 1));
        xdg_wm_base_add_listener(client->wmBase, &wmBaseListener, client);
    } else if (which == wl_seat_interface.name && !client->seat) {
        client->seatVersion = version < 5 ? version : 5;
        client->seat = static_cast<wl_seat*>(
            wl_registry_bind(registry, name, &wl_seat_interface, client->seatVersion));
        wl_seat_add_listener(client->seat, &seatListener, client);
    }
}

void onGlobalRemove(void*, wl_registry*, std::uint32_t) {
}

const wl_registry_listener registryListener = {onGlobal, onGlobalRemove};

int signalDescriptor() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGINT);
    sigprocmask(SIG_BLOCK, &signals, nullptr);
    return signalfd(-1, &signals, SFD_CLOEXEC);
}

// Until a signal comes or the compositor goes away.
int eventLoop(Client& client, int signals) {
    for (;;) {
        while (wl_display_prepare_read(client.display) != 0) {
            wl_display_dispatch_pending(client.display);
        }
        wl_display_flush(client.display);
        pollfd fds[2] = {{wl_display_get_fd(client.display), POLLIN, 0}, {signals, POLLIN, 0}};
        if (poll(fds, 2, -1) < 0) {
            wl_display_cancel_read(client.display);
            continue;
        }
        if (fds[1].revents & POLLIN) {
            wl_display_cancel_read(client.display);
            line("ended");
            return 0;
        }
        if (fds[0].revents & POLLIN) {
            if (wl_display_read_events(client.display) != 0) {
                break;
            }
        } else {
            wl_display_cancel_read(client.display);
            if (fds[0].revents & (POLLHUP | POLLERR)) {
                break;
            }
        }
        if (wl_display_dispatch_pending(client.display) < 0) {
            break;
        }
    }
    line("disconnected");
    return 1;
}

}  // namespace

int main() {
    const int signals = signalDescriptor();
    Client client;
    client.xkb = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    client.display = wl_display_connect(nullptr);
    if (!client.display || !client.xkb) {
        std::fprintf(stderr, "pulseward_key_client: cannot connect to the Wayland display\n");
        return 2;
    }
    wl_registry* registry = wl_display_get_registry(client.display);
    wl_registry_add_listener(registry, &registryListener, &client);
    wl_display_roundtrip(client.display);
    if (!client.compositor || !client.shm || !client.wmBase) {
        std::fprintf(stderr, "pulseward_key_client: the compositor lacks xdg_wm_base or wl_shm\n");
        return 2;
    }
    client.surface = wl_compositor_create_surface(client.compositor);
    client.xdgSurface = xdg_wm_base_get_xdg_surface(client.wmBase, client.surface);
    xdg_surface_add_listener(client.xdgSurface, &xdgSurfaceListener, &client);
    client.toplevel = xdg_surface_get_toplevel(client.xdgSurface);
    xdg_toplevel_add_listener(client.toplevel, &toplevelListener, &client);
    xdg_toplevel_set_title(client.toplevel, "pulseward key client");
    xdg_toplevel_set_app_id(client.toplevel, "pulseward_key_client");
    wl_surface_commit(client.surface);
    const int status = eventLoop(client, signals);
    wl_display_disconnect(client.display);
    xkb_context_unref(client.xkb);
    return status;
}
