#pragma once

#include <vector>

#include "../Geometry.h"
#include "Widgets.h"

namespace toolkit::win32 {

// A system colour is looked up each time it is drawn, so a change of the desktop's theme shows
// at the next paint.
COLORREF toColorRef(Colour colour);

// The fonts, brushes and icons a form's window draws with, deleted together once the window is
// gone.
class GdiObjects {
  public:
    GdiObjects() = default;
    ~GdiObjects();
    GdiObjects(const GdiObjects&) = delete;
    GdiObjects& operator=(const GdiObjects&) = delete;

    HFONT font(const wchar_t* face, float points, int weight, UINT dpi);
    HBRUSH solidBrush(Colour colour);
    void keep(HICON icon);

  private:
    std::vector<HGDIOBJ> objects_;
    std::vector<HICON> icons_;
};

}  // namespace toolkit::win32
