#pragma once

#include <string_view>

namespace toolkit {

// One line for whoever looks into why the program behaved as it did: a value it could not use,
// a store it could not read. The program goes on. On Linux the line goes to stderr; on Windows
// to the debug output (DebugView, a debugger).
void Warn(std::string_view line);

}  // namespace toolkit
