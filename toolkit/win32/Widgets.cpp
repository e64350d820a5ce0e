// Plain Win32 windows behind the toolkit's window and control peers; what is and is not
// implemented is listed in Widgets.h.

#include "Widgets.h"

#include <commctrl.h>
#include <objbase.h>
#include <wincodec.h>

#include <algorithm>
#include <cwctype>
#include <functional>
#include <utility>
#include <vector>

#include "../Form.h"

namespace toolkit::win32 {

namespace {

constexpr wchar_t formClass[] = L"PulsewardForm";
constexpr wchar_t pictureClass[] = L"PulsewardPicture";
// Clear of IDOK and IDCANCEL, which dialog navigation sends for Enter and Escape.
constexpr int firstControlId = 100;

HINSTANCE instance() {
    return GetModuleHandleW(nullptr);
}

// A system colour is looked up each time it is drawn, so a change of the desktop's theme shows
// at the next paint.
COLORREF toColorRef(Colour colour) {
    if (isSystemColour(colour)) {
        return GetSysColor(static_cast<int>(colour & 0xFF));
    }
    return RGB(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
}

// A picture the forms call "heart24.jpg" is the resource HEART24_JPG.
std::wstring resourceName(std::string_view file) {
    std::wstring name = widen(file);
    for (wchar_t& c : name) {
        c = c == L'.' ? L'_' : static_cast<wchar_t>(std::towupper(c));
    }
    return name;
}

template <typename Interface>
class ComRef {
  public:
    ComRef() = default;
    ~ComRef() {
        if (p_) {
            p_->Release();
        }
    }
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;
    Interface* operator->() const { return p_; }
    Interface* get() const { return p_; }
    Interface** put() { return &p_; }

  private:
    Interface* p_ = nullptr;
};

// Decodes an RCDATA picture into a 32-bit DIB section; nullptr when it is missing or broken.
HBITMAP loadPicture(std::string_view file, SIZE& size) {
    const std::wstring name = resourceName(file);
    HRSRC found = FindResourceW(instance(), name.c_str(), RT_RCDATA);
    HGLOBAL loaded = found ? LoadResource(instance(), found) : nullptr;
    void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data) {
        return nullptr;
    }
    const DWORD bytes = SizeofResource(instance(), found);

    ComRef<IWICImagingFactory> factory;
    ComRef<IWICStream> stream;
    ComRef<IWICBitmapDecoder> decoder;
    ComRef<IWICBitmapFrameDecode> frame;
    ComRef<IWICBitmapSource> converted;
    UINT width = 0, height = 0;
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IWICImagingFactory, reinterpret_cast<void**>(factory.put()))) ||
        FAILED(factory->CreateStream(stream.put())) ||
        FAILED(stream->InitializeFromMemory(static_cast<BYTE*>(data), bytes)) ||
        FAILED(factory->CreateDecoderFromStream(stream.get(), nullptr, WICDecodeMetadataCacheOnLoad,
                                                decoder.put())) ||
        FAILED(decoder->GetFrame(0, frame.put())) ||
        FAILED(WICConvertBitmapSource(GUID_WICPixelFormat32bppBGR, frame.get(), converted.put())) ||
        FAILED(converted->GetSize(&width, &height)) || width == 0 || height == 0) {
        return nullptr;
    }
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = static_cast<LONG>(width);
    info.bmiHeader.biHeight = -static_cast<LONG>(height);  // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap) {
        return nullptr;
    }
    if (FAILED(converted->CopyPixels(nullptr, width * 4, width * height * 4,
                                     static_cast<BYTE*>(bits)))) {
        DeleteObject(bitmap);
        return nullptr;
    }
    size = {static_cast<LONG>(width), static_cast<LONG>(height)};
    return bitmap;
}

HFONT createFont(const wchar_t* face, float points, int weight, UINT dpi) {
    const int height = -MulDiv(static_cast<int>(points * 10 + 0.5f), static_cast<int>(dpi), 720);
    return CreateFontW(height, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY,
                       DEFAULT_PITCH | FF_SWISS, face);
}

class WindowPeerImpl;
std::vector<WindowPeerImpl*> liveWindows;

class ControlPeerImpl : public ControlPeer {
  public:
    ControlPeerImpl(ControlKind kind, HWND window, WindowPeerImpl& owner)
        : kind_(kind), window_(window), owner_(owner) {}

    ~ControlPeerImpl() override;

    void setVisible(bool visible) override;

    void setCaption(std::string_view caption) override {
        if (window_) {
            SetWindowTextW(window_, widen(caption).c_str());
        }
    }

    void setValue(int value) override {
        if (kind_ == ControlKind::CheckBox) {
            const WPARAM state = value == 1   ? BST_CHECKED
                                 : value == 2 ? BST_INDETERMINATE
                                              : BST_UNCHECKED;
            SendMessageW(window_, BM_SETCHECK, state, 0);
        }
    }

    ControlKind kind() const { return kind_; }
    HWND window() const { return window_; }
    bool visible() const { return visible_; }

    bool hasColours = false;
    Colour foreColor = 0;
    Colour backColor = 0;
    HBRUSH backBrush = nullptr;
    PixelRect line;  // a Line's end points, as (x, y) and (x + width, y + height)

    HBITMAP bitmap = nullptr;
    SIZE bitmapSize{};

    void report(bool twice) {
        const auto& callback = twice ? doubleClicked : clicked;
        if (callback) {
            const auto copy = callback;  // the handler may destroy this peer
            copy();
        }
    }

  private:
    ControlKind kind_;
    HWND window_;
    WindowPeerImpl& owner_;
    bool visible_ = true;
};

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

LRESULT CALLBACK formProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

class WindowPeerImpl : public WindowPeer {
  public:
    explicit WindowPeerImpl(const WindowDesign& design) {
        liveWindows.push_back(this);
        window_ = CreateWindowExW(WS_EX_TOOLWINDOW, formClass, widen(design.caption).c_str(), style,
                                  CW_USEDEFAULT, CW_USEDEFAULT, 200, 200, nullptr, nullptr,
                                  instance(), this);
        const UINT dpi = dpiOf(window_);
        defaultFont_ = createFont(L"MS Sans Serif", 8, FW_NORMAL, dpi);
        if (!design.icon.empty()) {
            const std::wstring name = resourceName(design.icon);
            for (auto [which, metric] :
                 {std::pair{ICON_SMALL, SM_CXSMICON}, std::pair{ICON_BIG, SM_CXICON}}) {
                const int size = GetSystemMetrics(metric);
                auto icon = static_cast<HICON>(
                    LoadImageW(instance(), name.c_str(), IMAGE_ICON, size, size, 0));
                if (icon) {
                    icons_.push_back(icon);
                    SendMessageW(window_, WM_SETICON, which, reinterpret_cast<LPARAM>(icon));
                }
            }
        }
    }

    ~WindowPeerImpl() override {
        // The owner must be enabled again before this window goes, or the system activates
        // some other program's window.
        for (HWND other : disabled_) {
            if (IsWindow(other)) {
                EnableWindow(other, TRUE);
            }
        }
        std::erase(liveWindows, this);
        controls_.clear();
        SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
        DestroyWindow(window_);
        for (HFONT font : fonts_) {
            DeleteObject(font);
        }
        DeleteObject(defaultFont_);
        for (HBRUSH brush : brushes_) {
            DeleteObject(brush);
        }
        if (backBrush_) {
            DeleteObject(backBrush_);
        }
        for (HICON icon : icons_) {
            DestroyIcon(icon);
        }
    }

    HWND window() const { return window_; }

    std::unique_ptr<ControlPeer> createControl(const ControlDescription& description) override {
        const PixelRect& r = description.rect;
        if (description.kind == ControlKind::Line) {
            auto peer = std::make_unique<ControlPeerImpl>(ControlKind::Line, nullptr, *this);
            peer->line = r;
            lines_.push_back(peer.get());
            invalidate();
            return peer;
        }

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
                styleBits |=
                    WS_TABSTOP | ES_LEFT | (description.locked ? ES_READONLY : 0) |
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

        const int id = firstControlId + static_cast<int>(controls_.size());
        HWND child = CreateWindowExW(
            exStyle, windowClass, text.c_str(), styleBits, r.x, r.y, width, height, window_,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance(), nullptr);
        HFONT font = defaultFont_;
        if (description.font.name) {
            font = createFont(widen(description.font.name).c_str(), description.font.points,
                              description.font.weight, dpiOf(window_));
            fonts_.push_back(font);
        }
        SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);

        auto peer = std::make_unique<ControlPeerImpl>(description.kind, child, *this);
        peer->bitmap = bitmap;
        peer->bitmapSize = bitmapSize;
        if (description.kind == ControlKind::PictureBox) {
            SetWindowLongPtrW(child, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(peer.get()));
        }
        if (description.hasColours) {
            peer->hasColours = true;
            peer->foreColor = description.foreColor;
            peer->backColor = description.backColor;
            peer->backBrush = CreateSolidBrush(toColorRef(description.backColor));
            brushes_.push_back(peer->backBrush);
        }
        peer->setValue(description.value);
        if (description.tabIndex >= 0) {
            tabOrder_.push_back({description.tabIndex, child});
        }
        controls_.push_back(peer.get());
        return peer;
    }

    void controlsCreated() override {
        std::stable_sort(tabOrder_.begin(), tabOrder_.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        // Dialog navigation follows the z-order: put the controls in tab order.
        for (const auto& [index, child] : tabOrder_) {
            ::SetWindowPos(child, HWND_BOTTOM, 0, 0, 0, 0,
                           SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
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
    }

    void setBackColor(Colour colour) override {
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

    void moveFrame(int x, int y) override {
        ::SetWindowPos(window_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }

    void framePosition(int& x, int& y) const override {
        RECT r = outerRect();
        x = r.left;
        y = r.top;
    }

    void resizeClient(int width, int height) override {
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
            placement.rcNormalPosition.bottom =
                placement.rcNormalPosition.top + height + frameHeight;
            SetWindowPlacement(window_, &placement);
            clientWidth_ = width;
            clientHeight_ = height;
            return;
        }
        ::SetWindowPos(window_, nullptr, 0, 0, width + frameWidth, height + frameHeight,
                       SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        rememberClientSize();
    }

    void clientSize(int& width, int& height) const override {
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

    int windowState() const override {
        if (IsIconic(window_)) {
            return vbMinimized;
        }
        return IsZoomed(window_) ? vbMaximized : vbNormal;
    }

    void setWindowState(int state) override {
        ShowWindow(window_, state == vbMinimized   ? SW_MINIMIZE
                            : state == vbMaximized ? SW_MAXIMIZE
                                                   : SW_RESTORE);
    }

    WindowHandle handle() override { return reinterpret_cast<WindowHandle>(window_); }

    void setModalOwner(WindowPeer& owner) override {
        auto& ownerImpl = static_cast<WindowPeerImpl&>(owner);
        SetWindowLongPtrW(window_, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(ownerImpl.window_));
        modal_ = true;
    }

    void show() override {
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

    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam) {
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
            case WM_LBUTTONDBLCLK:
                if (doubleClicked) {
                    const auto handler = doubleClicked;  // may destroy this peer
                    handler();
                }
                return 0;
            case WM_CLOSE:
                // The toolkit decides whether and how the window goes, and may destroy it:
                // it hears of the request once this message is over.
                PostMessageW(messenger(), closeRequestMessage, reinterpret_cast<WPARAM>(window_),
                             0);
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
                               suggested->right - suggested->left,
                               suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
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

    void requestClose() {
        if (closeRequested) {
            const auto handler = closeRequested;  // may destroy this peer
            handler();
        }
    }

    static constexpr DWORD style = WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_CLIPCHILDREN;

  private:
    // The system's brushes are its own, and Wine makes a new one when a colour changes.
    HBRUSH brush() const {
        return backBrush_ ? backBrush_ : GetSysColorBrush(static_cast<int>(backColor_ & 0xFF));
    }

    RECT outerRect() const {
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

    void rememberClientSize() {
        RECT client;
        GetClientRect(window_, &client);
        clientWidth_ = client.right;
        clientHeight_ = client.bottom;
    }

    void invalidate() { InvalidateRect(window_, nullptr, TRUE); }

    void paintLines() {
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

    ControlPeerImpl* controlOf(HWND child) const {
        for (ControlPeerImpl* control : controls_) {
            if (control->window() == child) {
                return control;
            }
        }
        return nullptr;
    }

    LRESULT colourControl(HDC dc, HWND child) {
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

    void command(HWND child, WORD notification) {
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

    HWND window_ = nullptr;
    HFONT defaultFont_ = nullptr;
    std::vector<HFONT> fonts_;
    std::vector<HBRUSH> brushes_;
    std::vector<HICON> icons_;
    HBRUSH backBrush_ = nullptr;  // for a fixed colour
    Colour backColor_ = vbButtonFace;
    std::vector<ControlPeerImpl*> controls_;
    std::vector<ControlPeerImpl*> lines_;
    std::vector<std::pair<int, HWND>> tabOrder_;
    HWND focus_ = nullptr;
    bool modal_ = false;
    std::vector<HWND> disabled_;
    int clientWidth_ = 0;
    int clientHeight_ = 0;

    friend class ControlPeerImpl;
    friend HWND toolkit::win32::navigationTarget(const MSG& message);
    friend void toolkit::win32::deliverCloseRequest(HWND form);
};

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

}  // namespace

std::wstring widen(std::string_view text) {
    if (text.empty()) {
        return {};
    }
    const int size = static_cast<int>(text.size());
    const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
    std::wstring result(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), size, result.data(), length);
    return result;
}

std::string narrow(std::wstring_view text) {
    if (text.empty()) {
        return {};
    }
    const int size = static_cast<int>(text.size());
    const int length =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), size, result.data(), length, nullptr, nullptr);
    return result;
}

std::string systemMessage(DWORD error) {
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text = length ? std::wstring(buffer, length) : std::wstring();
    if (buffer) {
        LocalFree(buffer);
    }
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ')) {
        text.pop_back();
    }
    if (text.empty()) {
        return "system error " + std::to_string(error);
    }
    return narrow(text);
}

UINT dpiOf(HWND window) {
    // Looked up at run time: the per-monitor calls exist from Windows 10 (1607) on.
    using ForWindow = UINT(WINAPI*)(HWND);
    static const auto forWindow = reinterpret_cast<ForWindow>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    if (window && forWindow) {
        if (const UINT dpi = forWindow(window)) {
            return dpi;
        }
    }
    using ForMonitor = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
    static HMODULE shcore = LoadLibraryW(L"shcore.dll");
    static const auto forMonitor = reinterpret_cast<ForMonitor>(
        reinterpret_cast<void*>(shcore ? GetProcAddress(shcore, "GetDpiForMonitor") : nullptr));
    if (forMonitor) {
        HMONITOR monitor = window ? MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY)
                                  : MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY);
        UINT x = 0, y = 0;
        if (SUCCEEDED(forMonitor(monitor, 0 /* MDT_EFFECTIVE_DPI */, &x, &y)) && y > 0) {
            return y;
        }
    }
    HDC screen = GetDC(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen) {
        ReleaseDC(nullptr, screen);
    }
    return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

void registerWindowClasses() {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);

    const auto registerClass = [](const wchar_t* name, WNDPROC procedure) {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.style = CS_DBLCLKS;
        windowClass.lpfnWndProc = procedure;
        windowClass.hInstance = instance();
        windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
        windowClass.lpszClassName = name;
        RegisterClassExW(&windowClass);
    };
    registerClass(formClass, formProc);
    registerClass(pictureClass, pictureProc);
}

std::unique_ptr<WindowPeer> createWindowPeer(const WindowDesign& design) {
    return std::make_unique<WindowPeerImpl>(design);
}

HWND navigationTarget(const MSG& message) {
    if (!message.hwnd) {
        return nullptr;
    }
    HWND root = GetAncestor(message.hwnd, GA_ROOT);
    for (WindowPeerImpl* peer : liveWindows) {
        if (peer->window_ == root) {
            return root;
        }
    }
    return nullptr;
}

void deliverCloseRequest(HWND form) {
    for (WindowPeerImpl* peer : liveWindows) {
        if (peer->window_ == form) {
            peer->requestClose();
            return;
        }
    }
}

}  // namespace toolkit::win32
