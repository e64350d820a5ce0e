#include "RuntimeError.h"

#include <cstdlib>
#include <string>

#include "MsgBox.h"
#include "Warning.h"

namespace toolkit {

namespace {

void endProgramWithReport(const RuntimeError& error) {
    Warn("Run-time error '" + std::to_string(error.number()) + "': " + error.what());
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
    try {
        handler();
    } catch (const RuntimeError& error) {
        reportRuntimeError(error);
    }
}

void setErrorReport(ErrorReport report) {
    currentReport() = report ? std::move(report) : ErrorReport(endProgramWithReport);
}

void reportRuntimeError(const RuntimeError& error) {
    currentReport()(error);
}

}  // namespace toolkit
