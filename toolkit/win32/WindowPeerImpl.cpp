#include "WindowPeerImpl.h"

#include <algorithm>
#include <string>

#include "../Form.h"
#include "ControlPeerImpl.h"
#include "Resources.h"

namespace toolkit::win32 {

namespace {

// Clear of IDOK and IDCANCEL, which dialog navigation sends for Enter and Escape.
constexpr int firstControlId = 100;

std::vector<WindowPeerImpl*> liveWindows;

}  // namespace

WindowPeerImpl::WindowPeerImpl(const WindowDesign& design) {
    liveWindows.push_back(this);
    window_ =
        CreateWindowExW(WS_EX_TOOLWINDOW, formClass, widen(design.caption).c_str(), style,
                        CW_USEDEFAULT, CW_USEDEFAULT, 200, 200, nullptr, nullptr, instance(), this);
    const UINT dpi = dpiOf(window_);
    defaultFont_ = gdi_.font(L"MS Sans Serif", 8, FW_NORMAL, dpi);
    if (!design.icon.empty()) {
        for (auto [which, metric] :
             {std::pair{ICON_SMALL, SM_CXSMICON}, std::pair{ICON_BIG, SM_CXICON}}) {
            if (HICON icon = loadIcon(design.icon, GetSystemMetrics(metric))) {
                gdi_.keep(icon);
                SendMessageW(window_, WM_SETICON, which, reinterpret_cast<LPARAM>(icon));
            }
        }
    }
}

WindowPeerImpl::~WindowPeerImpl() {
    // The owner must be enabled again before this window goes, or the system activates
    // some other program's window.
    for (HWND other : disabled_) {
        if (IsWindow(other)) {
            EnableWindow(other, TRUE);
        }
    }
    std::erase(liveWindows, this);
    tip_.reset();
    controls_.clear();
    SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
    DestroyWindow(window_);
    if (backBrush_) {
        DeleteObject(backBrush_);
    }
}

WindowPeerImpl* WindowPeerImpl::find(HWND window) {
    for (WindowPeerImpl* peer : liveWindows) {
        if (peer->window_ == window) {
            return peer;
        }
    }
    return nullptr;
}

std::unique_ptr<ControlPeer> WindowPeerImpl::createControl(const ControlDescription& description) {
    if (description.kind == ControlKind::Line) {
        auto peer = std::make_unique<ControlPeerImpl>(ControlKind::Line, nullptr, *this);
        peer->line = description.rect;
        lines_.push_back(peer.get());
        invalidate();
        return peer;
    }

    HFONT font = defaultFont_;
    if (description.font.name) {
        font = gdi_.font(widen(description.font.name).c_str(), description.font.points,
                         description.font.weight, dpiOf(window_));
    }
    const int id = firstControlId + static_cast<int>(controls_.size());
    auto peer = ControlPeerImpl::create(description, *this, window_, id, font);
    if (description.hasColours) {
        peer->hasColours = true;
        peer->foreColor = description.foreColor;
        peer->backColor = description.backColor;
        peer->backBrush = gdi_.solidBrush(description.backColor);
    }
    peer->setValue(description.value);
    if (description.tabIndex >= 0) {
        tabOrder_.push_back({description.tabIndex, peer->window()});
    }
    controls_.push_back(peer.get());
    return peer;
}

void WindowPeerImpl::controlsCreated() {
    std::stable_sort(tabOrder_.begin(), tabOrder_.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    // Dialog navigation follows the z-order: put the controls in tab order.
    for (const auto& [index, child] : tabOrder_) {
        ::SetWindowPos(child, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
    for (const auto& [index, child] : tabOrder_) {
        if (GetWindowLongW(child, GWL_STYLE) & WS_TABSTOP) {
            focus_ = child;
            break;
        }
    }
    if (focus_ && IsWindowVisible(window_)) {
        SetFocus(focus_);
    }
    tip_ = std::make_unique<WindowTip>(window_, [this] { return toolTip ? toolTip() : ""; });
}

void WindowPeerImpl::setBackColor(Colour colour) {
    if (colour == backColor_) {
        return;
    }
    if (backBrush_) {
        DeleteObject(backBrush_);
    }
    backColor_ = colour;
    backBrush_ = isSystemColour(colour) ? nullptr : CreateSolidBrush(toColorRef(colour));
    RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void WindowPeerImpl::moveFrame(int x, int y) {
    ::SetWindowPos(window_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void WindowPeerImpl::framePosition(int& x, int& y) const {
    RECT r = outerRect();
    x = r.left;
    y = r.top;
}

void WindowPeerImpl::resizeClient(int width, int height) {
    // The frame's own size, whatever the dpi and theme make it.
    RECT outer, client;
    GetWindowRect(window_, &outer);
    GetClientRect(window_, &client);
    int frameWidth = (outer.right - outer.left) - client.right;
    int frameHeight = (outer.bottom - outer.top) - client.bottom;
    if (IsIconic(window_)) {
        RECT adjusted{0, 0, 0, 0};
        AdjustWindowRectEx(&adjusted, style, FALSE, WS_EX_TOOLWINDOW);
        frameWidth = adjusted.right - adjusted.left;
        frameHeight = adjusted.bottom - adjusted.top;
        WINDOWPLACEMENT placement{};
        placement.length = sizeof placement;
        GetWindowPlacement(window_, &placement);
        placement.rcNormalPosition.right = placement.rcNormalPosition.left + width + frameWidth;
        placement.rcNormalPosition.bottom = placement.rcNormalPosition.top + height + frameHeight;
        SetWindowPlacement(window_, &placement);
        clientWidth_ = width;
        clientHeight_ = height;
        return;
    }
    ::SetWindowPos(window_, nullptr, 0, 0, width + frameWidth, height + frameHeight,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    rememberClientSize();
}

void WindowPeerImpl::clientSize(int& width, int& height) const {
    if (!IsIconic(window_)) {
        RECT client;
        GetClientRect(window_, &client);
        width = client.right;
        height = client.bottom;
        return;
    }
    width = clientWidth_;
    height = clientHeight_;
}

int WindowPeerImpl::windowState() const {
    if (IsIconic(window_)) {
        return vbMinimized;
    }
    return IsZoomed(window_) ? vbMaximized : vbNormal;
}

void WindowPeerImpl::setWindowState(int state) {
    ShowWindow(window_, state == vbMinimized   ? SW_MINIMIZE
                        : state == vbMaximized ? SW_MAXIMIZE
                                               : SW_RESTORE);
}

WindowHandle WindowPeerImpl::handle() {
    return reinterpret_cast<WindowHandle>(window_);
}

void WindowPeerImpl::setModalOwner(WindowPeer& owner) {
    auto& ownerImpl = static_cast<WindowPeerImpl&>(owner);
    SetWindowLongPtrW(window_, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(ownerImpl.window_));
    modal_ = true;
}

void WindowPeerImpl::show() {
    if (modal_ && disabled_.empty()) {
        for (WindowPeerImpl* other : liveWindows) {
            if (other != this && IsWindowEnabled(other->window_)) {
                EnableWindow(other->window_, FALSE);
                disabled_.push_back(other->window_);
            }
        }
    }
    ShowWindow(window_, SW_SHOW);
    SetForegroundWindow(window_);
    if (focus_) {
        SetFocus(focus_);
    }
}

LRESULT WindowPeerImpl::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_ERASEBKGND: {
            RECT client;
            GetClientRect(window_, &client);
            FillRect(reinterpret_cast<HDC>(wParam), &client, brush());
            return 1;
        }
        case WM_PAINT:
            paintLines();
            return 0;
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN:
            return colourControl(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
        case WM_COMMAND:
            if (lParam != 0) {
                command(reinterpret_cast<HWND>(lParam), HIWORD(wParam));
                return 0;
            }
            break;
        case WM_NOTIFY:
            if (tip_ && tip_->answer(*reinterpret_cast<NMHDR*>(lParam))) {
                return 0;
            }
            break;
        case WM_LBUTTONDBLCLK:
            if (doubleClicked) {
                const auto handler = doubleClicked;  // may destroy this peer
                handler();
            }
            return 0;
        case WM_CLOSE:
            // The toolkit decides whether and how the window goes, and may destroy it:
            // it hears of the request once this message is over.
            PostMessageW(messenger(), closeRequestMessage, reinterpret_cast<WPARAM>(window_), 0);
            return 0;
        case WM_GETMINMAXINFO: {
            // Small designed client areas must not be widened to the system's minimum.
            auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
            RECT frame{0, 0, 1, 1};
            AdjustWindowRectEx(&frame, style, FALSE, WS_EX_TOOLWINDOW);
            info->ptMinTrackSize = {frame.right - frame.left, frame.bottom - frame.top};
            return 0;
        }
        case WM_SIZE:
            if (wParam != SIZE_MINIMIZED) {
                clientWidth_ = LOWORD(lParam);
                clientHeight_ = HIWORD(lParam);
            }
            break;
        case WM_ACTIVATE:
            if (LOWORD(wParam) == WA_INACTIVE) {
                HWND focused = GetFocus();
                if (focused && IsChild(window_, focused)) {
                    focus_ = focused;
                }
            } else if (focus_ && IsWindow(focus_)) {
                SetFocus(focus_);
                return 0;
            }
            break;
        case 0x02E0: {  // WM_DPICHANGED: take the size and place the system suggests
            const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
            ::SetWindowPos(window_, nullptr, suggested->left, suggested->top,
                           suggested->right - suggested->left, suggested->bottom - suggested->top,
                           SWP_NOZORDER | SWP_NOACTIVATE);
            return 0;
        }
        case WM_QUERYENDSESSION:
            return TRUE;
        case WM_ENDSESSION:
            if (wParam) {
                sessionEnding();
            }
            return 0;
        default:
            break;
    }
    return DefWindowProcW(window_, message, wParam, lParam);
}

void WindowPeerImpl::requestClose() {
    if (closeRequested) {
        const auto handler = closeRequested;  // may destroy this peer
        handler();
    }
}

// The system's brushes are its own, and Wine makes a new one when a colour changes.
HBRUSH WindowPeerImpl::brush() const {
    return backBrush_ ? backBrush_ : GetSysColorBrush(static_cast<int>(backColor_ & 0xFF));
}

RECT WindowPeerImpl::outerRect() const {
    RECT r;
    if (IsIconic(window_)) {
        // A tool window's placement is in screen coordinates.
        WINDOWPLACEMENT placement{};
        placement.length = sizeof placement;
        GetWindowPlacement(window_, &placement);
        return placement.rcNormalPosition;
    }
    GetWindowRect(window_, &r);
    return r;
}

void WindowPeerImpl::rememberClientSize() {
    RECT client;
    GetClientRect(window_, &client);
    clientWidth_ = client.right;
    clientHeight_ = client.bottom;
}

void WindowPeerImpl::invalidate() {
    InvalidateRect(window_, nullptr, TRUE);
}

void WindowPeerImpl::paintLines() {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window_, &paint);
    HGDIOBJ oldPen = SelectObject(dc, GetStockObject(BLACK_PEN));
    for (const ControlPeerImpl* line : lines_) {
        if (line->visible()) {
            const PixelRect& r = line->line;
            MoveToEx(dc, r.x, r.y, nullptr);
            LineTo(dc, r.x + r.width, r.y + r.height);
            SetPixel(dc, r.x + r.width, r.y + r.height, RGB(0, 0, 0));
        }
    }
    SelectObject(dc, oldPen);
    EndPaint(window_, &paint);
}

ControlPeerImpl* WindowPeerImpl::controlOf(HWND child) const {
    for (ControlPeerImpl* control : controls_) {
        if (control->window() == child) {
            return control;
        }
    }
    return nullptr;
}

LRESULT WindowPeerImpl::colourControl(HDC dc, HWND child) {
    const ControlPeerImpl* control = controlOf(child);
    if (control && control->hasColours) {
        SetTextColor(dc, toColorRef(control->foreColor));
        SetBkColor(dc, toColorRef(control->backColor));
        return reinterpret_cast<LRESULT>(control->backBrush);
    }
    if (control && control->kind() == ControlKind::TextBox) {
        // A read-only box keeps the look of an editable one.
        SetBkColor(dc, GetSysColor(COLOR_WINDOW));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
    }
    SetBkColor(dc, toColorRef(backColor_));
    if (isSystemColour(backColor_)) {
        // The text colour of the theme that goes with its face; a control would draw black.
        SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    }
    return reinterpret_cast<LRESULT>(brush());
}

void WindowPeerImpl::command(HWND child, WORD notification) {
    ControlPeerImpl* control = controlOf(child);
    if (!control) {
        return;
    }
    if (notification == BN_CLICKED && (control->kind() == ControlKind::CommandButton ||
                                       control->kind() == ControlKind::CheckBox)) {
        control->report(false);
    } else if (notification == STN_DBLCLK && control->kind() == ControlKind::Label) {
        control->report(true);
    }
}

LRESULT CALLBACK formProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* peer = reinterpret_cast<WindowPeerImpl*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    // Messages during creation come before the peer knows its window.
    if (!peer || peer->window() != window) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    return peer->handle(message, wParam, lParam);
}

}  // namespace toolkit::win32
