#pragma once

#include <functional>
#include <optional>
#include <string_view>

// One running copy of the program per user session, which later starts hand their commands to.
namespace toolkit::SingleCopy {

struct State {
    bool running = false;        // whether the pulse runs
    long long secondsLeft = -1;  // until a timed pulse stops; -1: no limit
};

// What the running copy does for the commands of later starts. Each runs as an event handler.
struct Handlers {
    std::function<void()> raise;
    std::function<void()> start;
    std::function<void(long long seconds)> startFor;
    std::function<void()> stop;
    std::function<void()> toggle;
    std::function<void()> quit;
    std::function<State()> state;
};

enum class Command { Raise, Start, StartFor, Stop, Toggle, Quit };

enum class Reached {
    Done,       // the running copy has carried out the command
    NoCopy,     // no copy runs in this session
    NoSession,  // there is no session to find one in: no single-copy rule
};

// Usable before the window system is opened. `id` names the program in the session.
Reached send(std::string_view id, Command command, long long seconds = 0);
// The running copy's state, or nothing when no copy runs (or there is no session).
std::optional<State> query(std::string_view id);

enum class Claim {
    Ours,       // this copy is the session's running copy from now on
    Taken,      // another copy was quicker
    NoSession,  // nothing to claim: every start runs on its own
};

// Once the application object exists. The handlers are called from the event loop.
Claim claim(std::string_view id, Handlers handlers);

}  // namespace toolkit::SingleCopy
