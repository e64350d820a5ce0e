#pragma once

#include <chrono>
#include <optional>

namespace pulseward::CommandLine {

enum class Command { None, Start, Stop, Toggle, Quit, Status };

// What this start of the program is asked to do, for the session's running copy or itself.
struct Request {
    Command command = Command::None;
    // A timed pulse (--for, --until): Start, ended after this long.
    std::optional<std::chrono::seconds> limit;
};

// The program's options, read before anything opens a window or needs a display. Returns the
// status the program ends with at once (--help, --version, an option it does not know, a time it
// cannot read), or nothing when it is to go on with the request.
std::optional<int> read(int argc, char** argv, Request& request);

}  // namespace pulseward::CommandLine
