#pragma once

#include <memory>
#include <string_view>

#include "../Peers.h"
#include "Widgets.h"

namespace toolkit::win32 {

class WindowPeerImpl;

// The window class of picture boxes, and its window procedure.
inline constexpr wchar_t pictureClass[] = L"PulsewardPicture";
LRESULT CALLBACK pictureProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

class ControlPeerImpl : public ControlPeer {
  public:
    ControlPeerImpl(ControlKind kind, HWND window, WindowPeerImpl& owner)
        : kind_(kind), window_(window), owner_(owner) {}

    // Makes the control's child window of the form with the given id and font, a picture box's
    // picture decoded and the box sized to it. Not for a Line, which has no window.
    static std::unique_ptr<ControlPeerImpl> create(const ControlDescription& description,
                                                   WindowPeerImpl& owner, HWND parent, int id,
                                                   HFONT font);

    ~ControlPeerImpl() override;

    void setVisible(bool visible) override;
    void setCaption(std::string_view caption) override;
    void setValue(int value) override;

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

    void report(bool twice);

  private:
    ControlKind kind_;
    HWND window_;
    WindowPeerImpl& owner_;
    bool visible_ = true;
};

}  // namespace toolkit::win32
