#include "ServerPicture.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <bit>
#include <cstdlib>

#include "../RuntimeError.h"
#include "Connection.h"

namespace toolkit::x11 {

// How the parent's visual makes a pixel value out of red, green and blue.
struct ServerPicture::Format {
    Display* display = nullptr;
    Visual* visual = nullptr;
    int depth = 0;
    unsigned long masks[3] = {};   // red, green, blue
    unsigned long opaqueBits = 0;  // what a depth-32 visual keeps for alpha

    unsigned long pixel(std::uint32_t rgb) const {
        unsigned long value = opaqueBits;
        for (int i = 0; i < 3; ++i) {
            const unsigned long mask = masks[i];
            const int shift = std::countr_zero(mask);
            const unsigned long top = mask >> shift;
            const unsigned long component = (rgb >> (16 - 8 * i)) & 0xFF;
            value |= ((component * top + 127) / 255) << shift;
        }
        return value;
    }
};

std::unique_ptr<ServerPicture> ServerPicture::create(WindowHandle parent, const PixelRect& rect,
                                                     const std::uint32_t* pixels, int rowPixels,
                                                     std::uint32_t hiddenColour, bool shown) {
    if (parent == 0 || rect.width <= 0 || rect.height <= 0) {
        return nullptr;
    }
    auto format = std::make_unique<Format>();
    try {
        format->display = Connection::display();
    } catch (const RuntimeError&) {
        return nullptr;
    }
    Display* display = format->display;
    XWindowAttributes attributes{};
    {
        ErrorTrap trap(display);
        if (!XGetWindowAttributes(display, static_cast<Window>(parent), &attributes) ||
            trap.failed()) {
            return nullptr;
        }
    }
    Visual* visual = attributes.visual;
    if (!visual || visual->c_class != TrueColor || visual->red_mask == 0 ||
        visual->green_mask == 0 || visual->blue_mask == 0) {
        return nullptr;
    }
    format->visual = visual;
    format->depth = attributes.depth;
    format->masks[0] = visual->red_mask;
    format->masks[1] = visual->green_mask;
    format->masks[2] = visual->blue_mask;
    if (attributes.depth == 32) {
        format->opaqueBits =
            0xFFFFFFFFUL & ~(visual->red_mask | visual->green_mask | visual->blue_mask);
    }

    std::unique_ptr<ServerPicture> picture(new ServerPicture(parent, std::move(format)));
    const Format& f = *picture->format_;
    ErrorTrap trap(display);
    XSetWindowAttributes windowAttributes{};
    windowAttributes.background_pixel = f.pixel(hiddenColour);
    picture->window_ =
        XCreateWindow(display, static_cast<Window>(parent), rect.x, rect.y,
                      static_cast<unsigned>(rect.width), static_cast<unsigned>(rect.height), 0,
                      CopyFromParent, InputOutput, CopyFromParent, CWBackPixel, &windowAttributes);
    picture->pixmap_ =
        XCreatePixmap(display, picture->window_, static_cast<unsigned>(rect.width),
                      static_cast<unsigned>(rect.height), static_cast<unsigned>(f.depth));
    XImage* image =
        XCreateImage(display, f.visual, static_cast<unsigned>(f.depth), ZPixmap, 0, nullptr,
                     static_cast<unsigned>(rect.width), static_cast<unsigned>(rect.height), 32, 0);
    if (!image) {
        return nullptr;
    }
    image->data = static_cast<char*>(
        std::malloc(static_cast<std::size_t>(image->bytes_per_line) * image->height));
    if (!image->data) {
        XDestroyImage(image);
        return nullptr;
    }
    for (int y = 0; y < rect.height; ++y) {
        for (int x = 0; x < rect.width; ++x) {
            XPutPixel(image, x, y, f.pixel(pixels[y * rowPixels + x]));
        }
    }
    GC gc = XCreateGC(display, picture->pixmap_, 0, nullptr);
    XPutImage(display, picture->pixmap_, gc, image, 0, 0, 0, 0, static_cast<unsigned>(rect.width),
              static_cast<unsigned>(rect.height));
    XFreeGC(display, gc);
    XDestroyImage(image);

    picture->hiddenPixel_ = windowAttributes.background_pixel;
    picture->shown_ = shown;
    picture->showBackground();
    XMapWindow(display, picture->window_);
    if (trap.failed()) {
        return nullptr;
    }
    return picture;
}

ServerPicture::ServerPicture(WindowHandle parent, std::unique_ptr<Format> format)
    : parent_(parent), format_(std::move(format)) {
}

// The window may already be gone with its parent; the error that brings is dropped.
ServerPicture::~ServerPicture() {
    Display* display = format_->display;
    if (window_) {
        XDestroyWindow(display, window_);
    }
    if (pixmap_) {
        XFreePixmap(display, pixmap_);
    }
    Connection::flushLater();
}

void ServerPicture::setShown(bool shown) {
    if (shown == shown_) {
        return;
    }
    shown_ = shown;
    showBackground();
    Connection::flushLater();
}

void ServerPicture::showBackground() {
    Display* display = format_->display;
    if (shown_) {
        XSetWindowBackgroundPixmap(display, window_, pixmap_);
    } else {
        XSetWindowBackground(display, window_, hiddenPixel_);
    }
    XClearWindow(display, window_);
}

}  // namespace toolkit::x11
