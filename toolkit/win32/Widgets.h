#pragma once

// Plain Win32 windows behind the toolkit's window and control peers.
//
// Implemented: sizable tool windows (small caption, sizing frame, close box only, no taskbar
// entry), frame placement (outer rectangle) and client size in pixels, background colour
// (vbButtonFace: COLOR_BTNFACE under COLOR_BTNTEXT captions, looked up at each paint), icon,
// window state, HWND, modal showing above an owner with every other window of the program
// disabled; CommandButton (push button, never default), PictureBox (a JPEG or PNG
// resource decoded with WIC, in a 2-pixel sunken border, sized to the picture), CheckBox
// (three states, the toolkit decides what a click does), Label (colours, double-click),
// TextBox (read-only edit, multi-line with wrapping), Line (painted); fonts by name, point
// size and weight at the window's dpi, tab order by tab index with dialog keyboard navigation,
// first focus on the lowest tab index that takes focus; the window's double-click and close
// box; the session's end.
// Not implemented: rescaling fonts and controls when a window moves to a monitor of another
// dpi (the frame follows the system's suggested size), resizing events, drag and drop,
// control arrays, changing fonts at run time.

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <memory>
#include <string>
#include <string_view>

#include "../Peers.h"

namespace toolkit::win32 {

std::wstring widen(std::string_view text);
std::string narrow(std::wstring_view text);
// The system's text for an error code, without the trailing line break.
std::string systemMessage(DWORD error);

// A hidden window that only receives messages, of a class of its own with this procedure.
HWND createMessageWindow(const wchar_t* className, WNDPROC procedure, const wchar_t* title);

// The dots per inch of the monitor a window is on (of the primary monitor for nullptr).
UINT dpiOf(HWND window);

void registerWindowClasses();
std::unique_ptr<WindowPeer> createWindowPeer(const WindowDesign& design);

// The form window whose keyboard navigation (Tab, arrows) a message belongs to, or nullptr.
HWND navigationTarget(const MSG& message);
// Runs a close box request that a form window handed to the window system's messenger.
void deliverCloseRequest(HWND form);

// Provided by the window system: its hidden message window, and the session's end.
HWND messenger();
void sessionEnding();

// Sent to the messenger with the form's HWND as wParam.
constexpr UINT closeRequestMessage = WM_APP + 1;

}  // namespace toolkit::win32
