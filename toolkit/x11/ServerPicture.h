#pragma once

// A picture that the X server keeps and draws by itself: a child window of a client's window,
// whose background is either the picture or a plain colour. Showing or hiding it is two small
// requests; the client draws nothing and the window underneath gets no exposure. The requests
// wait in the connection's buffer for its next round trip or Connection::flush(), so that
// a blink and the key pulse after it reach the server together.

#include <cstdint>
#include <memory>

#include "../Geometry.h"

namespace toolkit::x11 {

class ServerPicture {
  public:
    // pixels: rect.width x rect.height, 0xRRGGBB each, row after row, rowPixels apart.
    // Empty where the server cannot take it: no connection, a parent that is gone, or a visual
    // other than true colour.
    static std::unique_ptr<ServerPicture> create(WindowHandle parent, const PixelRect& rect,
                                                 const std::uint32_t* pixels, int rowPixels,
                                                 std::uint32_t hiddenColour, bool shown);
    ~ServerPicture();
    ServerPicture(const ServerPicture&) = delete;
    ServerPicture& operator=(const ServerPicture&) = delete;

    void setShown(bool shown);
    WindowHandle parent() const { return parent_; }

  private:
    struct Format;
    ServerPicture(WindowHandle parent, std::unique_ptr<Format> format);
    void showBackground();

    WindowHandle parent_;
    std::unique_ptr<Format> format_;
    unsigned long window_ = 0;
    unsigned long pixmap_ = 0;
    unsigned long hiddenPixel_ = 0;
    bool shown_ = true;
};

}  // namespace toolkit::x11
