#pragma once

#include <functional>
#include <string>

#include "Widgets.h"

namespace toolkit::win32 {

// The tip of a form window, shown wherever the pointer rests on it, its controls included (they
// have no tips of their own). Its text is asked for each time it is about to show; an empty text
// shows no tip.
class WindowTip {
  public:
    // Once the window's controls exist.
    WindowTip(HWND window, std::function<std::string()> text);
    ~WindowTip();
    WindowTip(const WindowTip&) = delete;
    WindowTip& operator=(const WindowTip&) = delete;

    // From the window's WM_NOTIFY: whether it was the tip asking for its text, now answered.
    bool answer(NMHDR& header);

  private:
    void add(HWND tool);

    HWND window_;
    HWND tip_ = nullptr;
    std::function<std::string()> text_;
    std::wstring shown_;
};

}  // namespace toolkit::win32
