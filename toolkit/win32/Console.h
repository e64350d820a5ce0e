#pragma once

#include <string_view>

// Where a Windows program without a console of its own answers whoever started it.
namespace toolkit::win32 {

enum class Stream { Out, Error };

// Writes the text to the standard handle when it is redirected, else to the console of the
// program that started this one (cmd, PowerShell), else in a message box with the title, since a
// program started from a shortcut has nowhere else to say it.
void tellStarter(Stream stream, std::string_view text, std::string_view title);

}  // namespace toolkit::win32
