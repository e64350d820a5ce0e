#pragma once

#include <cstdint>
#include <string>

#include "KeyRoute.h"

struct wl_seat;
struct zwp_virtual_keyboard_manager_v1;
struct zwp_virtual_keyboard_v1;
struct xkb_context;
struct xkb_keymap;
struct xkb_state;

namespace toolkit::wayland {

// Key presses through a virtual keyboard on the compositor's first seat
// (zwp_virtual_keyboard_manager_v1, offered by the wlroots compositors). The keyboard carries
// the seat's own keymap, since a virtual keyboard's keymap becomes the layout of whichever
// client has the focus; and, as the compositor does not work out modifiers from a virtual
// keyboard's keys, its modifier state (Num Lock's lock) is kept here and sent after each key.
class VirtualKeyboard : public KeyRoute {
  public:
    VirtualKeyboard() = default;
    ~VirtualKeyboard() override;
    VirtualKeyboard(const VirtualKeyboard&) = delete;
    VirtualKeyboard& operator=(const VirtualKeyboard&) = delete;

    std::string_view name() const override { return "zwp_virtual_keyboard_manager_v1"; }
    void open() override;
    bool ready() const override;
    void pressAndRelease(Key key) override;
    void close() override;

    // What the seat says of itself, for its listeners.
    struct SeatState {
        std::uint32_t capabilities = 0;
        bool capabilitiesKnown = false;
        std::string keymap;
    };

  private:
    void takeKeymap(SeatState& seat);
    void sendKey(std::uint32_t state);

    SeatState seatState_;
    wl_seat* seat_ = nullptr;
    zwp_virtual_keyboard_manager_v1* manager_ = nullptr;
    zwp_virtual_keyboard_v1* keyboard_ = nullptr;
    xkb_context* context_ = nullptr;
    xkb_keymap* keymap_ = nullptr;
    xkb_state* state_ = nullptr;
    std::uint32_t numLock_ = 0;  // evdev code
};

}  // namespace toolkit::wayland
