#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <memory>

#include "toolkit/Application.h"
#include "toolkit/Desktop.h"
#include "toolkit/Forms.h"
#include "toolkit/MsgBox.h"
#include "toolkit/Peers.h"

namespace testing_support {

namespace {
FakeDesktop* theDesktop = nullptr;

// Kept until the next test: a timer may not be destroyed inside its own tick.
std::vector<std::unique_ptr<toolkit::TimerPeer>>& delayedSteps() {
    static std::vector<std::unique_ptr<toolkit::TimerPeer>> timers;
    return timers;
}
}  // namespace

FakeDesktop& fakeDesktop() {
    return *theDesktop;
}

std::vector<std::string>& messages() {
    static std::vector<std::string> list;
    return list;
}

std::vector<toolkit::RuntimeError>& reportedErrors() {
    static std::vector<toolkit::RuntimeError> list;
    return list;
}

void afterDelay(std::chrono::milliseconds delay, std::function<void()> step) {
    auto timer = toolkit::windowSystem().createTimer(std::move(step));
    timer->arm(toolkit::steadyNowNs() +
               std::chrono::duration_cast<std::chrono::nanoseconds>(delay).count());
    delayedSteps().push_back(std::move(timer));
}

void unloadAllForms() {
    for (int i = toolkit::Forms.Count() - 1; i >= 0; --i) {
        toolkit::Unload(toolkit::Forms(i));
    }
}

void resetAll() {
    delayedSteps().clear();
    fakeDesktop().reset();
    messages().clear();
    reportedErrors().clear();
    clearSettings();
}

}  // namespace testing_support

int main(int argc, char** argv) {
    using namespace testing_support;
    backend::prepare();
    int result = 0;
    {
        toolkit::Application application(argc, argv, "FERN-BADGER-PULSEWARD");
        auto desktop = std::make_unique<FakeDesktop>();
        theDesktop = desktop.get();
        toolkit::setDesktop(std::move(desktop));
        toolkit::setMessageSink(
            [](std::string_view prompt, int) { messages().emplace_back(prompt); });
        toolkit::setErrorReport(
            [](const toolkit::RuntimeError& error) { reportedErrors().push_back(error); });

        testing::InitGoogleTest(&argc, argv);
        result = RUN_ALL_TESTS();
        delayedSteps().clear();
    }
    backend::cleanUp();
    return result;
}
