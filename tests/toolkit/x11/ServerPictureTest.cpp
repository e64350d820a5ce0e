// Pictures the X server draws by itself, in a window of another client.

#include <gtest/gtest.h>

#include <X11/Xlib.h>

#include "tests/toolkit/x11/X11BackendFixture.h"
#include "toolkit/x11/ServerPicture.h"

namespace x11_test {
namespace {

using desktop_test::Rgb;
using toolkit::x11::Connection;
using toolkit::x11::ErrorTrap;
using toolkit::x11::ServerPicture;

TEST_F(X11Backend, PictureShowsPixelForPixelAndHidesToItsColourWithoutExposingTheParent) {
    openParent(40, 30, 0x202020);
    const toolkit::PixelRect rect{5, 7, 4, 3};
    const std::vector<std::uint32_t> pixels = {
        0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF,  //
        0x123456, 0xABCDEF, 0x000000, 0x808080,  //
        0xFFFF00, 0x00FFFF, 0xFF00FF, 0x010203,
    };
    auto picture = ServerPicture::create(parent_, rect, pixels.data(), 4, 0xCC0000, true);
    ASSERT_TRUE(picture);
    EXPECT_EQ(shown(rect).pixels, rgbOf(pixels));
    EXPECT_EQ(shown({rect.x - 1, rect.y, 1, 1}).pixels, std::vector<Rgb>{rgbOf(0x202020)})
        << "the picture spills over its left edge";
    exposures();

    for (int blink = 0; blink < 3; ++blink) {
        picture->setShown(false);
        EXPECT_EQ(shown(rect).pixels, std::vector<Rgb>(12, rgbOf(0xCC0000)));
        picture->setShown(true);
        EXPECT_EQ(shown(rect).pixels, rgbOf(pixels));
    }
    EXPECT_EQ(exposures(), 0) << "the parent had to draw again";

    picture.reset();
    EXPECT_EQ(shown(rect).pixels, std::vector<Rgb>(12, rgbOf(0x202020)))
        << "the picture stayed after it was destroyed";
}

TEST_F(X11Backend, PictureStartsHiddenAndRowsMayBeWiderThanThePicture) {
    openParent(20, 20, 0x000000);
    const toolkit::PixelRect rect{0, 0, 2, 2};
    const std::vector<std::uint32_t> rows = {0x112233, 0x445566, 0xFFFFFF,  //
                                             0x778899, 0xAABBCC, 0xFFFFFF};
    auto picture = ServerPicture::create(parent_, rect, rows.data(), 3, 0x00FF00, false);
    ASSERT_TRUE(picture);
    EXPECT_EQ(shown(rect).pixels, std::vector<Rgb>(4, rgbOf(0x00FF00)));
    picture->setShown(true);
    EXPECT_EQ(shown(rect).pixels, rgbOf({0x112233, 0x445566, 0x778899, 0xAABBCC}));
}

TEST_F(X11Backend, PictureOutlivingItsParentCausesNoErrorLater) {
    openParent(20, 20, 0x000000);
    const std::uint32_t pixel = 0xFFFFFF;
    auto picture = ServerPicture::create(parent_, {0, 0, 1, 1}, &pixel, 1, 0, true);
    ASSERT_TRUE(picture);
    XDestroyWindow(other_, parent_);
    XSync(other_, False);
    parent_ = 0;

    picture->setShown(false);
    picture.reset();
    Connection::flush();
    Display* display = Connection::display();
    ErrorTrap trap(display);
    XNoOp(display);
    EXPECT_FALSE(trap.failed());
}

TEST_F(X11Backend, NoPictureForAParentThatIsGoneOrAnEmptyRect) {
    const std::uint32_t pixel = 0;
    EXPECT_FALSE(ServerPicture::create(0, {0, 0, 1, 1}, &pixel, 1, 0, true));
    openParent(10, 10, 0);
    EXPECT_FALSE(ServerPicture::create(parent_, {0, 0, 0, 1}, &pixel, 1, 0, true));
    XDestroyWindow(other_, parent_);
    XSync(other_, False);
    EXPECT_FALSE(ServerPicture::create(parent_, {0, 0, 1, 1}, &pixel, 1, 0, true));
    parent_ = 0;
}

}  // namespace
}  // namespace x11_test
