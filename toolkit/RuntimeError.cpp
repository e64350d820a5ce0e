#include "RuntimeError.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "MsgBox.h"

namespace toolkit {

namespace {

void endProgramWithReport(const RuntimeError& error) {
    std::fprintf(stderr, "Run-time error '%d': %s\n", error.number(), error.what());
    std::fflush(stderr);
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
