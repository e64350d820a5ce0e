#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "tests/support/FakeDesktop.h"
#include "toolkit/RuntimeError.h"

// What every unit test program shares: an offscreen Qt application, a fake desktop, an empty
// settings folder of its own, and records of message boxes and run-time error reports.
namespace testing_support {

FakeDesktop& fakeDesktop();
// Message box prompts, in order.
std::vector<std::string>& messages();
// Run-time errors that would have ended the program.
std::vector<toolkit::RuntimeError>& reportedErrors();

// The settings folder ($XDG_CONFIG_HOME) and the store's file in it.
const std::string& configDir();
std::string settingsFile();
void clearSettings();
void writeSettingsFile(const std::string& contents);
std::string readSettingsFile();

// Delivers events (timer ticks among them) for the given time.
void runEventsFor(std::chrono::milliseconds duration);
// Delivers events until the condition holds or the time is up; returns the condition.
template <typename Condition>
bool runEventsUntil(Condition condition, std::chrono::milliseconds limit);
void processPendingEvents();

// Clears the fake desktop, the records and the settings; for each test's set-up.
void resetAll();

}  // namespace testing_support

namespace testing_support {
template <typename Condition>
bool runEventsUntil(Condition condition, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= end) {
            return false;
        }
        runEventsFor(std::chrono::milliseconds(5));
    }
    return true;
}
}  // namespace testing_support
