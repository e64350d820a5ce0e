#pragma once

#include <optional>

#include "app/CommandLine.h"

// Commands from other starts of the program, carried out by the session's running copy through
// the main window's own handlers, and the timed pulse's end.
namespace pulseward::RemoteControl {

// Before any window system is opened: gives the request to the copy that runs in this session.
// Returns the status to end with when that settles it (the copy took the command, --status
// answered, or nothing was to be done), nothing when this start is to run the program.
std::optional<int> handOver(const CommandLine::Request& request);

// Once the application object exists, before the main window: makes this start the session's
// running copy. Returns the status to end with when another copy was quicker and took the
// request instead.
std::optional<int> becomeRunningCopy(const CommandLine::Request& request);

// Once the main window is shown: carries out this start's own request.
void carryOut(const CommandLine::Request& request);

}  // namespace pulseward::RemoteControl
