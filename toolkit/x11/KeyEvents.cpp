#include "KeyEvents.h"

#include <xcb/xcb.h>

#include <cstdint>
#include <cstdlib>
#include <memory>

#include "../RuntimeError.h"
#include "Connection.h"
#include "XcbXkb.h"

namespace toolkit::x11 {

namespace {

constexpr std::uint8_t sentEventFlag = 0x80;

bool isKeyEvent(const xcb_generic_event_t* event) {
    const int type = event->response_type & ~sentEventFlag;
    return type == XCB_KEY_PRESS || type == XCB_KEY_RELEASE;
}

}  // namespace

bool isNumLockKeyEvent(const void* xcbEvent) {
    const auto* event = static_cast<const xcb_generic_event_t*>(xcbEvent);
    if (!isKeyEvent(event)) {
        return false;
    }
    // Press and release events have the same layout.
    const auto* key = static_cast<const xcb_key_press_event_t*>(xcbEvent);
    try {
        return key->detail != 0 && key->detail == Connection::numLockKeyCode();
    } catch (const RuntimeError&) {
        return false;
    }
}

bool hearGroupChangesOnly(void* xcbConnection) {
    auto* connection = static_cast<xcb_connection_t*>(xcbConnection);
    const xcb_query_extension_reply_t* xkb = xcb_get_extension_data(connection, &xcb_xkb_id);
    if (!xkb || !xkb->present) {
        return false;
    }
    xcb_xkb_select_events_details_t details{};
    details.affectState = 0x3FFF;  // every state part: the ones not named below are turned off
    details.stateDetails = XCB_XKB_STATE_PART_GROUP_STATE | XCB_XKB_STATE_PART_GROUP_BASE |
                           XCB_XKB_STATE_PART_GROUP_LATCH | XCB_XKB_STATE_PART_GROUP_LOCK;
    const xcb_void_cookie_t cookie = xcb_xkb_select_events_aux_checked(
        connection, XCB_XKB_ID_USE_CORE_KBD, XCB_XKB_EVENT_TYPE_STATE_NOTIFY, 0, 0, 0, 0, &details);
    std::unique_ptr<xcb_generic_error_t, decltype(&std::free)> error(
        xcb_request_check(connection, cookie), &std::free);
    return !error;
}

void markKeyEventSelfContained(void* xcbEvent) {
    auto* event = static_cast<xcb_generic_event_t*>(xcbEvent);
    if (isKeyEvent(event)) {
        event->response_type |= sentEventFlag;
    }
}

}  // namespace toolkit::x11
