#pragma once

// What the Win32 tests ask the system about the forms' windows and controls. Include it after
// the toolkit's headers: <windows.h> defines macros named like toolkit/Desktop.h's stacking
// constants.

#include <string>
#include <vector>

#include "toolkit/Form.h"

#include <windows.h>

namespace win32_test {

HWND hwndOf(const toolkit::Form& form);
std::wstring textOf(HWND window);
std::wstring classOf(HWND window);

// The form's child windows in z-order (which is the tab order).
std::vector<HWND> childrenOf(HWND parent);
HWND childWithText(HWND parent, const std::wstring& text);
std::vector<HWND> childrenOfClass(HWND parent, const std::wstring& name);

SIZE clientSizeOf(HWND window);

// What the window shows at a client point, once it has painted.
COLORREF pixelAt(HWND window, int x, int y);

void expectSizableToolWindow(HWND window);

}  // namespace win32_test
