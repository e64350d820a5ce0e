// Desktop services on Win32.
//
// Implemented: the key pulse as one SendInput batch (press and release) for the whole system;
// the foreground window; stacking in and out of the topmost band with SetWindowPos, never
// activating the window; no taskbar entry, which the tool-window style already gives.
// Not implemented: keys other than Num Lock.

// Before <windows.h>, whose macros share the names of the toolkit's stacking constants.
#include "../Desktop.h"
#include "../RuntimeError.h"

#include "Widgets.h"

namespace toolkit {

namespace {

class Win32Desktop : public Desktop {
  public:
    void pressAndRelease(Key) override {
        INPUT inputs[2] = {};
        for (INPUT& input : inputs) {
            input.type = INPUT_KEYBOARD;
            input.ki.wVk = VK_NUMLOCK;
            input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(VK_NUMLOCK, MAPVK_VK_TO_VSC));
            input.ki.dwFlags = KEYEVENTF_EXTENDEDKEY;
        }
        inputs[1].ki.dwFlags |= KEYEVENTF_KEYUP;
        SetLastError(ERROR_SUCCESS);
        if (SendInput(2, inputs, sizeof(INPUT)) < 2) {
            const DWORD error = GetLastError();
            throw RuntimeError(
                5, "The system refused the Num Lock key press: " +
                       (error == ERROR_SUCCESS ? std::string("another program blocks input.")
                                               : win32::systemMessage(error)));
        }
    }

    WindowHandle foregroundWindow() override {
        // Qualified: toolkit has functions of these names, for the forms.
        return reinterpret_cast<WindowHandle>(::GetForegroundWindow());
    }

    long setWindowPos(WindowHandle window, WindowHandle insertAfter, int x, int y, int cx, int cy,
                      unsigned flags) override {
        return ::SetWindowPos(reinterpret_cast<HWND>(window), reinterpret_cast<HWND>(insertAfter),
                              x, y, cx, cy, flags | SWP_NOACTIVATE)
                   ? 1
                   : 0;
    }

    void keepOffTaskbar(WindowHandle) override {}
};

}  // namespace

std::unique_ptr<Desktop> createDesktop() {
    return std::make_unique<Win32Desktop>();
}

}  // namespace toolkit
