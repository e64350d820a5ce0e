#include "VirtualKeyboard.h"

#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include <algorithm>
#include <chrono>
#include <cstring>

#include "../RuntimeError.h"
#include "Connection.h"
#include "Globals.h"
#include "virtual-keyboard-unstable-v1-client-protocol.h"

namespace toolkit::wayland {

namespace {

using SeatState = VirtualKeyboard::SeatState;

// xkb key codes are evdev codes plus 8.
constexpr std::uint32_t evdevOffset = 8;

void seatCapabilities(void* data, wl_seat*, std::uint32_t capabilities) {
    auto& seat = *static_cast<SeatState*>(data);
    seat.capabilities = capabilities;
    seat.capabilitiesKnown = true;
}

void seatName(void*, wl_seat*, const char*) {
}

const wl_seat_listener seatListener{seatCapabilities, seatName};

void keymapOffered(void* data, wl_keyboard*, std::uint32_t format, int fd, std::uint32_t size) {
    auto& seat = *static_cast<SeatState*>(data);
    if (format == WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1 && size > 0) {
        void* mapped = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
        if (mapped != MAP_FAILED) {
            const char* text = static_cast<const char*>(mapped);
            seat.keymap.assign(text, strnlen(text, size));
            munmap(mapped, size);
        }
    }
    ::close(fd);
}

void keyboardEnter(void*, wl_keyboard*, std::uint32_t, wl_surface*, wl_array*) {
}
void keyboardLeave(void*, wl_keyboard*, std::uint32_t, wl_surface*) {
}
void keyboardKey(void*, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t) {
}
void keyboardModifiers(void*, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t,
                       std::uint32_t, std::uint32_t) {
}
void keyboardRepeat(void*, wl_keyboard*, std::int32_t, std::int32_t) {
}

const wl_keyboard_listener keyboardListener{keymapOffered, keyboardEnter,     keyboardLeave,
                                            keyboardKey,   keyboardModifiers, keyboardRepeat};

// The first key whose first level in the first layout is Num Lock; 0 when none is.
std::uint32_t findNumLock(xkb_keymap* keymap) {
    for (xkb_keycode_t code = xkb_keymap_min_keycode(keymap);
         code <= xkb_keymap_max_keycode(keymap); ++code) {
        const xkb_keysym_t* symbols = nullptr;
        const int count = xkb_keymap_key_get_syms_by_level(keymap, code, 0, 0, &symbols);
        if (code >= evdevOffset &&
            std::find(symbols, symbols + count, XKB_KEY_Num_Lock) != symbols + count) {
            return code - evdevOffset;
        }
    }
    return 0;
}

}  // namespace

VirtualKeyboard::~VirtualKeyboard() {
    close();
}

void VirtualKeyboard::open() {
    close();
    Globals globals;
    const auto manager = globals.find(zwp_virtual_keyboard_manager_v1_interface);
    if (!manager) {
        throw RuntimeError(5, "The compositor does not offer it.");
    }
    const auto seat = globals.find(wl_seat_interface);
    if (!seat) {
        throw RuntimeError(5, "The compositor has no seat to put a keyboard on.");
    }
    seatState_ = {};
    seat_ =
        static_cast<wl_seat*>(globals.bind(*seat, wl_seat_interface, std::min(seat->version, 5u)));
    wl_seat_add_listener(seat_, &seatListener, &seatState_);
    manager_ = static_cast<zwp_virtual_keyboard_manager_v1*>(
        globals.bind(*manager, zwp_virtual_keyboard_manager_v1_interface, 1));
    Connection::roundTrip();
    takeKeymap(seatState_);
    numLock_ = findNumLock(keymap_);
    if (numLock_ == 0) {
        throw RuntimeError(5, "The keyboard map has no Num Lock key.");
    }
    state_ = xkb_state_new(keymap_);
    char* text = xkb_keymap_get_as_string(keymap_, XKB_KEYMAP_FORMAT_TEXT_V1);
    const int fd = text ? memfd_create("pulseward-keymap", MFD_CLOEXEC) : -1;
    const std::size_t size = text ? std::strlen(text) + 1 : 0;
    const bool written = fd >= 0 && write(fd, text, size) == static_cast<ssize_t>(size);
    std::free(text);
    if (!written || !state_) {
        if (fd >= 0) {
            ::close(fd);
        }
        throw RuntimeError(5, "The keyboard map could not be handed to the compositor.");
    }
    keyboard_ = zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(manager_, seat_);
    // libwayland sends a copy of the descriptor.
    zwp_virtual_keyboard_v1_keymap(keyboard_, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd,
                                   static_cast<std::uint32_t>(size));
    ::close(fd);
    // A compositor that does not trust the program says so now.
    Connection::roundTrip();
}

// Asked for only where the seat has a keyboard: wlroots ends the connection of a client that
// asks for a keyboard the seat does not have.
void VirtualKeyboard::takeKeymap(SeatState& seat) {
    if (seat.capabilitiesKnown && (seat.capabilities & WL_SEAT_CAPABILITY_KEYBOARD)) {
        wl_keyboard* keyboard = wl_seat_get_keyboard(seat_);
        wl_keyboard_add_listener(keyboard, &keyboardListener, &seat);
        Connection::roundTrip();
        if (wl_keyboard_get_version(keyboard) >= WL_KEYBOARD_RELEASE_SINCE_VERSION) {
            wl_keyboard_release(keyboard);
        } else {
            wl_keyboard_destroy(keyboard);
        }
    }
    context_ = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    if (!context_) {
        throw RuntimeError(5, "No keyboard map can be compiled (libxkbcommon).");
    }
    if (!seat.keymap.empty()) {
        keymap_ = xkb_keymap_new_from_string(
            context_, seat.keymap.c_str(), XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS);
    }
    if (!keymap_) {
        // The seat has no keyboard yet: the defaults of the environment (XKB_DEFAULT_LAYOUT
        // and the others), as a keyboard plugged in now would get.
        keymap_ = xkb_keymap_new_from_names(context_, nullptr, XKB_KEYMAP_COMPILE_NO_FLAGS);
    }
    if (!keymap_) {
        throw RuntimeError(5, "No keyboard map could be compiled (libxkbcommon).");
    }
}

bool VirtualKeyboard::ready() const {
    return keyboard_ && !Connection::broken();
}

void VirtualKeyboard::pressAndRelease(Key) {
    if (!ready()) {
        throw RuntimeError(5, "The program has no virtual keyboard on the compositor.");
    }
    // Whatever the compositor said since, first: a broken connection is reported now.
    Connection::readPending();
    sendKey(WL_KEYBOARD_KEY_STATE_PRESSED);
    sendKey(WL_KEYBOARD_KEY_STATE_RELEASED);
    Connection::send();
}

void VirtualKeyboard::sendKey(std::uint32_t state) {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    const auto time = static_cast<std::uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
    zwp_virtual_keyboard_v1_key(keyboard_, time, numLock_, state);
    xkb_state_update_key(state_, numLock_ + evdevOffset,
                         state == WL_KEYBOARD_KEY_STATE_PRESSED ? XKB_KEY_DOWN : XKB_KEY_UP);
    zwp_virtual_keyboard_v1_modifiers(
        keyboard_, xkb_state_serialize_mods(state_, XKB_STATE_MODS_DEPRESSED),
        xkb_state_serialize_mods(state_, XKB_STATE_MODS_LATCHED),
        xkb_state_serialize_mods(state_, XKB_STATE_MODS_LOCKED),
        xkb_state_serialize_layout(state_, XKB_STATE_LAYOUT_EFFECTIVE));
}

void VirtualKeyboard::close() {
    if (keyboard_) {
        zwp_virtual_keyboard_v1_destroy(keyboard_);
    }
    if (manager_) {
        zwp_virtual_keyboard_manager_v1_destroy(manager_);
    }
    if (seat_) {
        if (wl_seat_get_version(seat_) >= WL_SEAT_RELEASE_SINCE_VERSION) {
            wl_seat_release(seat_);
        } else {
            wl_seat_destroy(seat_);
        }
    }
    if ((keyboard_ || seat_) && !Connection::broken()) {
        try {
            Connection::send();
        } catch (const RuntimeError&) {
            // Nothing more to let go of there.
        }
    }
    keyboard_ = nullptr;
    manager_ = nullptr;
    seat_ = nullptr;
    xkb_state_unref(state_);
    xkb_keymap_unref(keymap_);
    xkb_context_unref(context_);
    state_ = nullptr;
    keymap_ = nullptr;
    context_ = nullptr;
}

}  // namespace toolkit::wayland
