#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/FakeDesktop.h"
#include "toolkit/RuntimeError.h"

// What every unit test program shares: the toolkit's window system (an offscreen Qt
// application, or Win32 windows), a fake desktop, an empty settings store of its own (a
// settings folder, or a registry branch standing in for HKEY_CURRENT_USER), and records of
// message boxes and run-time error reports. The parts that differ per backend live in
// support/qt and support/win32.
namespace testing_support {

FakeDesktop& fakeDesktop();
// Message box prompts, in order.
std::vector<std::string>& messages();
// Run-time errors that would have ended the program.
std::vector<toolkit::RuntimeError>& reportedErrors();

// The settings folder ($XDG_CONFIG_HOME; a scratch folder on Windows) and the store's file in
// it (on Windows the program's registry key, read and written as the same INI text).
const std::string& configDir();
std::string settingsFile();
void clearSettings();
void writeSettingsFile(const std::string& contents);
std::string readSettingsFile();

// While one lives, every write to the settings store fails.
class UnwritableSettings {
  public:
    UnwritableSettings();
    ~UnwritableSettings();
    UnwritableSettings(const UnwritableSettings&) = delete;
    UnwritableSettings& operator=(const UnwritableSettings&) = delete;
};

// Delivers events (timer ticks among them) for the given time.
void runEventsFor(std::chrono::milliseconds duration);
// Delivers events until the condition holds or the time is up; returns the condition.
template <typename Condition>
bool runEventsUntil(Condition condition, std::chrono::milliseconds limit);
void processPendingEvents();
// Runs the step once from the event loop (a modal one included) after the delay.
void afterDelay(std::chrono::milliseconds delay, std::function<void()> step);

// Clears the fake desktop, the records and the settings; for each test's set-up.
void resetAll();
// Unloads every loaded form, the last loaded first; for each test's tear-down.
void unloadAllForms();

// Provided by each backend's support file.
namespace backend {
// Before the window system exists: the settings store's scratch place, platform options.
void prepare();
void cleanUp();
}  // namespace backend

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
