#pragma once

// Key events and keyboard state on the widgets' own X connection, reached through xcb.
//
// Every Num Lock press changes the keyboard's modifier state, and XKB tells every client that
// asked for it: left as it is, each pulse would wake the widgets' event thread and then their
// event loop, for a state they need only when a key event reaches them. So that connection is
// told of keyboard group (layout) changes only. Some Qt versions follow each key event's own
// state field, others only those notifications; a key event marked as one sent by another
// client is read by its own state field in both.

namespace toolkit::x11 {

// Whether an event (an xcb_generic_event_t) is a press or a release of the Num Lock key.
bool isNumLockKeyEvent(const void* xcbEvent);

// Narrows the connection's (an xcb_connection_t) XKB state notifications to group changes.
// False when the server refused, or the connection does not use XKB: then nothing changed.
bool hearGroupChangesOnly(void* xcbConnection);

// Marks a key press or release event as one whose state field is all its receiver may go by,
// as for an event sent by another client; leaves other events alone.
void markKeyEventSelfContained(void* xcbEvent);

}  // namespace toolkit::x11
