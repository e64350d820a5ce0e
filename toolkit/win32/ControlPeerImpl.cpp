#include "ControlPeerImpl.h"

#include <string>
#include <vector>

#include "Resources.h"
#include "WindowPeerImpl.h"

namespace toolkit::win32 {

std::unique_ptr<ControlPeerImpl> ControlPeerImpl::create(const ControlDescription& description,
                                                         WindowPeerImpl& owner, HWND parent, int id,
                                                         HFONT font) {
    const PixelRect& r = description.rect;
    const wchar_t* windowClass = L"BUTTON";
    DWORD styleBits = WS_CHILD | WS_CLIPSIBLINGS | (description.visible ? WS_VISIBLE : 0);
    DWORD exStyle = 0;
    int width = r.width, height = r.height;
    std::wstring text = widen(description.caption);
    switch (description.kind) {
        case ControlKind::CommandButton:
            styleBits |= BS_PUSHBUTTON | WS_TABSTOP;
            break;
        case ControlKind::CheckBox:
            styleBits |= BS_3STATE | WS_TABSTOP;
            break;
        case ControlKind::Label:
            windowClass = L"STATIC";
            styleBits |= SS_CENTER | SS_NOTIFY;
            break;
        case ControlKind::TextBox:
            windowClass = L"EDIT";
            exStyle = WS_EX_CLIENTEDGE;
            styleBits |= WS_TABSTOP | ES_LEFT | (description.locked ? ES_READONLY : 0) |
                         (description.multiLine ? ES_MULTILINE | ES_AUTOVSCROLL : ES_AUTOHSCROLL);
            if (description.multiLine) {
                // A multi-line edit control wants CR LF between lines.
                std::wstring crlf;
                for (wchar_t c : text) {
                    if (c == L'\n') {
                        crlf += L'\r';
                    }
                    crlf += c;
                }
                text = crlf;
            }
            break;
        case ControlKind::PictureBox:
            windowClass = pictureClass;
            exStyle = WS_EX_CLIENTEDGE;
            styleBits |= WS_TABSTOP;
            text.clear();
            break;
        case ControlKind::Line:
            break;
    }

    HBITMAP bitmap = nullptr;
    SIZE bitmapSize{};
    if (description.kind == ControlKind::PictureBox) {
        bitmap = loadPicture(description.picture, bitmapSize);
        if (bitmap) {
            RECT outer{0, 0, bitmapSize.cx, bitmapSize.cy};
            AdjustWindowRectEx(&outer, styleBits, FALSE, exStyle);
            width = outer.right - outer.left;
            height = outer.bottom - outer.top;
        }
    }

    HWND child = CreateWindowExW(exStyle, windowClass, text.c_str(), styleBits, r.x, r.y, width,
                                 height, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                 instance(), nullptr);
    SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);

    auto peer = std::make_unique<ControlPeerImpl>(description.kind, child, owner);
    peer->bitmap = bitmap;
    peer->bitmapSize = bitmapSize;
    if (description.kind == ControlKind::PictureBox) {
        SetWindowLongPtrW(child, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(peer.get()));
    }
    return peer;
}

ControlPeerImpl::~ControlPeerImpl() {
    std::erase(owner_.controls_, this);
    std::erase(owner_.lines_, this);
    std::erase_if(owner_.tabOrder_,
                  [this](const auto& entry) { return window_ && entry.second == window_; });
    if (owner_.focus_ == window_) {
        owner_.focus_ = nullptr;
    }
    if (window_) {
        DestroyWindow(window_);
    } else {
        owner_.invalidate();
    }
    if (bitmap) {
        DeleteObject(bitmap);
    }
}

void ControlPeerImpl::setVisible(bool visible) {
    visible_ = visible;
    if (window_) {
        ShowWindow(window_, visible ? SW_SHOWNA : SW_HIDE);
    } else {
        owner_.invalidate();
    }
}

void ControlPeerImpl::setCaption(std::string_view caption) {
    if (window_) {
        SetWindowTextW(window_, widen(caption).c_str());
    }
}

void ControlPeerImpl::setValue(int value) {
    if (kind_ == ControlKind::CheckBox) {
        const WPARAM state = value == 1   ? BST_CHECKED
                             : value == 2 ? BST_INDETERMINATE
                                          : BST_UNCHECKED;
        SendMessageW(window_, BM_SETCHECK, state, 0);
    }
}

void ControlPeerImpl::report(bool twice) {
    const auto& callback = twice ? doubleClicked : clicked;
    if (callback) {
        const auto copy = callback;  // the handler may destroy this peer
        copy();
    }
}

LRESULT CALLBACK pictureProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* peer = reinterpret_cast<ControlPeerImpl*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    switch (message) {
        case WM_PAINT: {
            PAINTSTRUCT paint;
            HDC dc = BeginPaint(window, &paint);
            if (peer && peer->bitmap) {
                HDC source = CreateCompatibleDC(dc);
                HGDIOBJ old = SelectObject(source, peer->bitmap);
                BitBlt(dc, 0, 0, peer->bitmapSize.cx, peer->bitmapSize.cy, source, 0, 0, SRCCOPY);
                SelectObject(source, old);
                DeleteDC(source);
            }
            EndPaint(window, &paint);
            return 0;
        }
        case WM_LBUTTONDBLCLK:
            if (peer) {
                peer->report(true);
            }
            return 0;
        default:
            return DefWindowProcW(window, message, wParam, lParam);
    }
}

}  // namespace toolkit::win32
