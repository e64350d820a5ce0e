#pragma once

// The program's own module and the pictures and icons built into it.

#include <string>
#include <string_view>

#include "Widgets.h"

namespace toolkit::win32 {

HINSTANCE instance();

// A picture the forms call "heart24.jpg" is the resource HEART24_JPG.
std::wstring resourceName(std::string_view file);

// An icon resource in the size nearest to size x size pixels; nullptr when it is missing.
HICON loadIcon(std::string_view file, int size);

// Decodes an RCDATA picture into a 32-bit DIB section; nullptr when it is missing or broken.
HBITMAP loadPicture(std::string_view file, SIZE& size);

}  // namespace toolkit::win32
