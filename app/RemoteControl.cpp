#include "app/RemoteControl.h"

#include <chrono>
#include <string>

#include "app/Module1.h"
#include "app/PulseLimit.h"
#include "toolkit/CommandLine.h"
#include "toolkit/Forms.h"
#include "toolkit/SingleCopy.h"

namespace pulseward::RemoteControl {

namespace {

using CommandLine::Command;
using std::chrono::steady_clock;
namespace SingleCopy = toolkit::SingleCopy;

constexpr std::string_view appId = PULSEWARD_APP_ID;

// When the timed pulse ends; nothing while the pulse has no limit.
std::optional<steady_clock::time_point> limitEnd;

FERN_BADGER_PULSEWARD_MAIN& window() {
    return *Module1::mainWindow;
}

bool pulseRuns() {
    return Module1::mainWindow && window().MIDDLE_BUTTON.Caption() != "Start";
}

void clearLimit() {
    limitEnd.reset();
    if (Module1::mainWindow) {
        window().LIMIT_TIMER.setEnabled(false);
    }
}

// The limit's end: the pulse stops as the STOP button stops it.
void LIMIT_TIMER_Timer() {
    clearLimit();
    if (pulseRuns()) {
        window().MIDDLE_BUTTON_Click();
    }
}

void start() {
    clearLimit();
    if (!pulseRuns()) {
        window().MIDDLE_BUTTON_Click();
    }
}

void startFor(std::chrono::seconds length) {
    start();
    if (!pulseRuns() || length <= std::chrono::seconds(0)) {
        return;
    }
    limitEnd = steady_clock::now() + length;
    window().LIMIT_TIMER.setInterval(
        int(std::chrono::duration_cast<std::chrono::milliseconds>(length).count()));
    window().LIMIT_TIMER.setEnabled(true);
}

void stop() {
    clearLimit();
    if (pulseRuns()) {
        window().MIDDLE_BUTTON_Click();
    }
}

void toggle() {
    clearLimit();
    window().MIDDLE_BUTTON_Click();
}

void raise() {
    if (window().WindowState() == toolkit::vbMinimized) {
        window().setWindowState(toolkit::vbNormal);
    }
    window().Show();
}

void quit() {
    toolkit::Unload(window());
}

SingleCopy::State state() {
    SingleCopy::State now{pulseRuns(), -1};
    if (now.running && limitEnd) {
        const auto left = *limitEnd - steady_clock::now();
        // Rounded up: "1 s" until the very end.
        now.secondsLeft = std::chrono::ceil<std::chrono::seconds>(left).count();
        now.secondsLeft = now.secondsLeft < 0 ? 0 : now.secondsLeft;
    }
    return now;
}

void printState(const SingleCopy::State& state) {
    std::string line = state.running ? "running" : "stopped";
    if (state.running && state.secondsLeft >= 0) {
        line += ", " + PulseLimit::describe(std::chrono::seconds(state.secondsLeft)) + " left";
    }
    toolkit::commandLineAnswer(line);
}

SingleCopy::Reached send(const CommandLine::Request& request) {
    switch (request.command) {
        case Command::None:
            return SingleCopy::send(appId, SingleCopy::Command::Raise);
        case Command::Start:
            return request.limit ? SingleCopy::send(appId, SingleCopy::Command::StartFor,
                                                    request.limit->count())
                                 : SingleCopy::send(appId, SingleCopy::Command::Start);
        case Command::Stop:
            return SingleCopy::send(appId, SingleCopy::Command::Stop);
        case Command::Toggle:
            return SingleCopy::send(appId, SingleCopy::Command::Toggle);
        case Command::Quit:
            return SingleCopy::send(appId, SingleCopy::Command::Quit);
        case Command::Status:
            break;
    }
    return SingleCopy::Reached::NoCopy;
}

}  // namespace

std::optional<int> handOver(const CommandLine::Request& request) {
    if (request.command == Command::Status) {
        const auto running = SingleCopy::query(appId);
        if (!running) {
            toolkit::commandLineAnswer("not running");
            return 1;
        }
        printState(*running);
        return 0;
    }
    if (send(request) == SingleCopy::Reached::Done) {
        return 0;
    }
    // Nothing runs that could be stopped or ended.
    if (request.command == Command::Stop || request.command == Command::Quit) {
        return 0;
    }
    return std::nullopt;
}

std::optional<int> becomeRunningCopy(const CommandLine::Request& request) {
    const SingleCopy::Claim claim = SingleCopy::claim(
        appId, {.raise = raise,
                .start = start,
                .startFor = [](long long seconds) { startFor(std::chrono::seconds(seconds)); },
                .stop = stop,
                .toggle = toggle,
                .quit = quit,
                .state = state});
    if (claim != SingleCopy::Claim::Taken) {
        return std::nullopt;
    }
    send(request);
    return 0;
}

void carryOut(const CommandLine::Request& request) {
    if (!Module1::mainWindow) {
        return;
    }
    window().LIMIT_TIMER.Tick = LIMIT_TIMER_Timer;
    window().ToolTipText = [] {
        const SingleCopy::State now = state();
        return now.secondsLeft < 0
                   ? std::string()
                   : "The pulse stops in " +
                         PulseLimit::describe(std::chrono::seconds(now.secondsLeft)) + ".";
    };
    // The button ends any limit: the pulse it starts or stops is the user's own.
    window().MIDDLE_BUTTON.Click = [] {
        clearLimit();
        window().MIDDLE_BUTTON_Click();
    };
    if (request.command == Command::Start || request.command == Command::Toggle) {
        if (request.limit) {
            startFor(*request.limit);
        } else {
            start();
        }
    }
}

}  // namespace pulseward::RemoteControl
