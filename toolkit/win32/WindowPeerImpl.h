#pragma once

#include <memory>
#include <utility>
#include <vector>

#include "../Peers.h"
#include "GdiObjects.h"
#include "Widgets.h"
#include "WindowTip.h"

namespace toolkit::win32 {

class ControlPeerImpl;

// The window class of forms, and its window procedure.
inline constexpr wchar_t formClass[] = L"PulsewardForm";
LRESULT CALLBACK formProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

class WindowPeerImpl : public WindowPeer {
  public:
    explicit WindowPeerImpl(const WindowDesign& design);
    ~WindowPeerImpl() override;

    // The live form peer whose window this is, or nullptr.
    static WindowPeerImpl* find(HWND window);

    HWND window() const { return window_; }

    std::unique_ptr<ControlPeer> createControl(const ControlDescription& description) override;
    void controlsCreated() override;

    void setBackColor(Colour colour) override;
    void moveFrame(int x, int y) override;
    void framePosition(int& x, int& y) const override;
    void resizeClient(int width, int height) override;
    void clientSize(int& width, int& height) const override;
    int windowState() const override;
    void setWindowState(int state) override;
    WindowHandle handle() override;
    void setModalOwner(WindowPeer& owner) override;
    void show() override;

    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    void requestClose();

    static constexpr DWORD style = WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_CLIPCHILDREN;

  private:
    HBRUSH brush() const;
    RECT outerRect() const;
    void rememberClientSize();
    void invalidate();
    void paintLines();
    ControlPeerImpl* controlOf(HWND child) const;
    LRESULT colourControl(HDC dc, HWND child);
    void command(HWND child, WORD notification);

    HWND window_ = nullptr;
    GdiObjects gdi_;
    HFONT defaultFont_ = nullptr;
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
    std::unique_ptr<WindowTip> tip_;

    friend class ControlPeerImpl;
};

}  // namespace toolkit::win32
