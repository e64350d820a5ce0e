#include "tests/win32/WindowQueries.h"

#include <gtest/gtest.h>

namespace win32_test {

HWND hwndOf(const toolkit::Form& form) {
    return reinterpret_cast<HWND>(form.hWnd());
}

std::wstring textOf(HWND window) {
    wchar_t text[256] = {};
    GetWindowTextW(window, text, 256);
    return text;
}

std::wstring classOf(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

std::vector<HWND> childrenOf(HWND parent) {
    std::vector<HWND> children;
    for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        children.push_back(child);
    }
    return children;
}

HWND childWithText(HWND parent, const std::wstring& text) {
    for (HWND child : childrenOf(parent)) {
        if (textOf(child) == text) {
            return child;
        }
    }
    return nullptr;
}

std::vector<HWND> childrenOfClass(HWND parent, const std::wstring& name) {
    std::vector<HWND> found;
    for (HWND child : childrenOf(parent)) {
        if (classOf(child) == name) {
            found.push_back(child);
        }
    }
    return found;
}

SIZE clientSizeOf(HWND window) {
    RECT r;
    GetClientRect(window, &r);
    return {r.right, r.bottom};
}

COLORREF pixelAt(HWND window, int x, int y) {
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    UpdateWindow(window);
    HDC dc = GetDC(window);
    const COLORREF colour = GetPixel(dc, x, y);
    ReleaseDC(window, dc);
    return colour;
}

void expectSizableToolWindow(HWND window) {
    const LONG_PTR style = GetWindowLongPtrW(window, GWL_STYLE);
    const LONG_PTR exStyle = GetWindowLongPtrW(window, GWL_EXSTYLE);
    EXPECT_TRUE(exStyle & WS_EX_TOOLWINDOW) << "a small caption and no taskbar entry";
    EXPECT_FALSE(exStyle & WS_EX_APPWINDOW);
    EXPECT_EQ(style & WS_CAPTION, WS_CAPTION);
    EXPECT_TRUE(style & WS_SYSMENU) << "the close box";
    EXPECT_TRUE(style & WS_THICKFRAME) << "a sizing frame";
    EXPECT_FALSE(style & WS_MINIMIZEBOX);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
}

}  // namespace win32_test
