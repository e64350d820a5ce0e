#include "WindowTip.h"

#include <commctrl.h>

#include <utility>

namespace toolkit::win32 {

namespace {

// Wide enough for a sentence on one line; longer tips wrap.
constexpr int tipWidth = 400;

}  // namespace

WindowTip::WindowTip(HWND window, std::function<std::string()> text)
    : window_(window), text_(std::move(text)) {
    tip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                           WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT,
                           CW_USEDEFAULT, CW_USEDEFAULT, window, nullptr, GetModuleHandleW(nullptr),
                           nullptr);
    if (!tip_) {
        return;
    }
    SendMessageW(tip_, TTM_SETMAXTIPWIDTH, 0, tipWidth);
    add(window);
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        add(child);
    }
}

WindowTip::~WindowTip() {
    if (tip_) {
        DestroyWindow(tip_);
    }
}

void WindowTip::add(HWND tool) {
    TOOLINFOW info{};
    // The size every version of the common controls takes.
    info.cbSize = TTTOOLINFOW_V2_SIZE;
    info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    info.hwnd = window_;
    info.uId = reinterpret_cast<UINT_PTR>(tool);
    info.lpszText = LPSTR_TEXTCALLBACKW;
    SendMessageW(tip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
}

bool WindowTip::answer(NMHDR& header) {
    if (!tip_ || header.hwndFrom != tip_ || header.code != TTN_GETDISPINFOW) {
        return false;
    }
    auto& request = reinterpret_cast<NMTTDISPINFOW&>(header);
    shown_ = text_ ? widen(text_()) : std::wstring();
    request.lpszText = shown_.data();
    request.hinst = nullptr;
    return true;
}

}  // namespace toolkit::win32
