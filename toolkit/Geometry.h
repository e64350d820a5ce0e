#pragma once

#include <cstdint>

namespace toolkit {

// 0x00BBGGRR.
using Colour = std::uint32_t;

constexpr Colour rgb(unsigned red, unsigned green, unsigned blue) {
    return (blue & 0xFFu) << 16 | (green & 0xFFu) << 8 | (red & 0xFFu);
}

// A colour of the desktop's theme rather than a fixed one: the high bit set and the system's
// colour index below, resolved by the backend whenever it draws.
constexpr Colour vbButtonFace = 0x8000000F;

constexpr bool isSystemColour(Colour colour) {
    return (colour & 0x80000000u) != 0;
}

// A native window handle, opaque to portable code (an X window id, an HWND).
using WindowHandle = std::uintptr_t;

struct TwipsRect {
    float left = 0;
    float top = 0;
    float width = 0;
    float height = 0;
};

struct PixelRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;

    bool intersects(const PixelRect& other) const {
        return x < other.x + other.width && other.x < x + width && y < other.y + other.height &&
               other.y < y + height;
    }
};

struct Font {
    const char* name = nullptr;  // nullptr: the toolkit's default font
    float points = 0;
    int weight = 400;
};

}  // namespace toolkit
