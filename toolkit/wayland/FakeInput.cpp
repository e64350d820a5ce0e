#include "FakeInput.h"

#include <linux/input-event-codes.h>
#include <wayland-client.h>

#include <cstdint>
#include <string>

#include "../RuntimeError.h"
#include "Connection.h"
#include "Globals.h"
#include "fake-input-client-protocol.h"

namespace toolkit::wayland {

FakeInput::~FakeInput() {
    close();
}

void FakeInput::open() {
    close();
    Globals globals;
    const auto offered = globals.find(org_kde_kwin_fake_input_interface);
    if (!offered) {
        throw RuntimeError(
            5,
            "The compositor does not offer it to this program. KWin offers it only to a "
            "program whose installed .desktop file says X-KDE-Wayland-Interfaces="
            "org_kde_kwin_fake_input, with Exec= the program's absolute path.");
    }
    constexpr std::uint32_t keysSince = ORG_KDE_KWIN_FAKE_INPUT_KEYBOARD_KEY_SINCE_VERSION;
    if (offered->version < keysSince) {
        throw RuntimeError(5, "The compositor offers version " + std::to_string(offered->version) +
                                  ", which has no key presses (version " +
                                  std::to_string(keysSince) + " has).");
    }
    input_ = static_cast<org_kde_kwin_fake_input*>(
        globals.bind(*offered, org_kde_kwin_fake_input_interface, keysSince));
    org_kde_kwin_fake_input_authenticate(input_, "FERN-BADGER-PULSEWARD",
                                         "Presses Num Lock every 750 ms to keep the session awake");
    // A compositor that does not trust the program says so now.
    Connection::roundTrip();
}

bool FakeInput::ready() const {
    return input_ && !Connection::broken();
}

void FakeInput::pressAndRelease(Key) {
    if (!ready()) {
        throw RuntimeError(5, "The program has no fake input on the compositor.");
    }
    Connection::readPending();
    org_kde_kwin_fake_input_keyboard_key(input_, KEY_NUMLOCK, WL_KEYBOARD_KEY_STATE_PRESSED);
    org_kde_kwin_fake_input_keyboard_key(input_, KEY_NUMLOCK, WL_KEYBOARD_KEY_STATE_RELEASED);
    Connection::send();
}

void FakeInput::close() {
    if (input_) {
        // The protocol has no destructor request: the object goes with the proxy.
        org_kde_kwin_fake_input_destroy(input_);
    }
    input_ = nullptr;
}

}  // namespace toolkit::wayland
