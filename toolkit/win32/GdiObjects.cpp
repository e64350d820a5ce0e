#include "GdiObjects.h"

namespace toolkit::win32 {

COLORREF toColorRef(Colour colour) {
    if (isSystemColour(colour)) {
        return GetSysColor(static_cast<int>(colour & 0xFF));
    }
    return RGB(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
}

GdiObjects::~GdiObjects() {
    for (HGDIOBJ object : objects_) {
        DeleteObject(object);
    }
    for (HICON icon : icons_) {
        DestroyIcon(icon);
    }
}

HFONT GdiObjects::font(const wchar_t* face, float points, int weight, UINT dpi) {
    const int height = -MulDiv(static_cast<int>(points * 10 + 0.5f), static_cast<int>(dpi), 720);
    HFONT font = CreateFontW(height, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                             OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY,
                             DEFAULT_PITCH | FF_SWISS, face);
    objects_.push_back(font);
    return font;
}

HBRUSH GdiObjects::solidBrush(Colour colour) {
    HBRUSH brush = CreateSolidBrush(toColorRef(colour));
    objects_.push_back(brush);
    return brush;
}

void GdiObjects::keep(HICON icon) {
    icons_.push_back(icon);
}

}  // namespace toolkit::win32
