#pragma once

#include <functional>
#include <string_view>

namespace toolkit {

constexpr int vbCritical = 16;
constexpr int vbExclamation = 48;

// A modal message box titled with the program's name; events go on while it is open. Once the
// program is asked to end, the text goes to a warning line instead.
void MsgBox(std::string_view prompt, int style = vbExclamation);

// Tests replace the box to read what it would have shown.
using MessageSink = std::function<void(std::string_view prompt, int style)>;
void setMessageSink(MessageSink sink);

}  // namespace toolkit
