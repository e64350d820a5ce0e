#pragma once

#include <functional>
#include <string_view>

namespace toolkit {

constexpr int vbCritical = 16;
constexpr int vbExclamation = 48;

// A modal message box titled with the program's name; events go on while it is open. Its text
// also goes to a warning line (the program's name, then the text as one line); once the program
// is asked to end, only to that line.
void MsgBox(std::string_view prompt, int style = vbExclamation);

// Tests replace the box to read what it would have shown.
using MessageSink = std::function<void(std::string_view prompt, int style)>;
void setMessageSink(MessageSink sink);

}  // namespace toolkit
