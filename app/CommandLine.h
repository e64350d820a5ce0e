#pragma once

#include <optional>

namespace pulseward::CommandLine {

// The program's options, read before anything opens a window or needs a display. Returns the
// status the program ends with at once (--help, --version, an option it does not know), or
// nothing when it is to start.
std::optional<int> read(int argc, char** argv);

}  // namespace pulseward::CommandLine
