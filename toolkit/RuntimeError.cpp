#include "RuntimeError.h"

#include <algorithm>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "MsgBox.h"

namespace toolkit {

namespace {

int handlerDepth = 0;
std::vector<std::pair<std::string, std::function<void()>>> eventEndWork;

void endProgramWithReport(const RuntimeError& error) {
    MsgBox("Run-time error '" + std::to_string(error.number()) + "':\n\n" + error.what(),
           vbCritical);
    // Like the runtime, end at once: no further handler runs.
    std::_Exit(1);
}

ErrorReport& currentReport() {
    static ErrorReport report = endProgramWithReport;
    return report;
}

}  // namespace

RuntimeError::RuntimeError(int number, const std::string& description)
    : std::runtime_error(description), number_(number) {
}

void invokeHandler(const std::function<void()>& handler) {
    if (!handler) {
        return;
    }
    ++handlerDepth;
    try {
        handler();
    } catch (const RuntimeError& error) {
        reportRuntimeError(error);
    }
    if (--handlerDepth == 0) {
        runEventEndWork();
    }
}

void atEventEnd(std::string_view name, std::function<void()> work) {
    const bool waiting = std::any_of(eventEndWork.begin(), eventEndWork.end(),
                                     [name](const auto& queued) { return queued.first == name; });
    if (!waiting) {
        eventEndWork.emplace_back(std::string(name), std::move(work));
    }
    if (handlerDepth == 0) {
        runEventEndWork();
    }
}

NestedEventLoop::NestedEventLoop() : savedDepth_(std::exchange(handlerDepth, 0)) {
}

NestedEventLoop::~NestedEventLoop() {
    handlerDepth = savedDepth_;
}

void runEventEndWork() {
    // Taken out first: the work may show a message box, inside which other events run.
    const auto work = std::exchange(eventEndWork, {});
    for (const auto& [name, step] : work) {
        invokeHandler(step);
    }
}

void setErrorReport(ErrorReport report) {
    currentReport() = report ? std::move(report) : ErrorReport(endProgramWithReport);
}

void reportRuntimeError(const RuntimeError& error) {
    currentReport()(error);
}

}  // namespace toolkit
