#include "Screen.h"

#include <algorithm>
#include <limits>
#include <vector>

#include "Peers.h"

namespace toolkit {

namespace {

struct Extent {
    int width = 0;
    int height = 0;
};

Extent virtualExtent() {
    const std::vector<PixelRect> screens = windowSystem().screens();
    if (screens.empty()) {
        return {};
    }
    int left = screens[0].x, top = screens[0].y;
    int right = left + screens[0].width, bottom = top + screens[0].height;
    for (const PixelRect& screen : screens) {
        left = std::min(left, screen.x);
        top = std::min(top, screen.y);
        right = std::max(right, screen.x + screen.width);
        bottom = std::max(bottom, screen.y + screen.height);
    }
    return {right - left, bottom - top};
}

float inTwips(int pixels, double twipsPerPixel) {
    return pixels > 0 ? static_cast<float>(pixels * twipsPerPixel)
                      : std::numeric_limits<float>::infinity();
}

}  // namespace

float Screen::VirtualWidth() {
    return inTwips(virtualExtent().width, windowSystem().twipsPerPixelX());
}

float Screen::VirtualHeight() {
    return inTwips(virtualExtent().height, windowSystem().twipsPerPixelY());
}

}  // namespace toolkit
