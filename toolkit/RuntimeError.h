#pragma once

#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace toolkit {

// A failed toolkit, conversion or automation call. Unless a handler catches it, the
// toolkit reports it and ends the program, as the runtime the forms are written for does.
class RuntimeError : public std::runtime_error {
  public:
    RuntimeError(int number, const std::string& description);

    int number() const { return number_; }

    static RuntimeError typeMismatch() { return {13, "Type mismatch"}; }
    static RuntimeError overflow() { return {6, "Overflow"}; }
    static RuntimeError invalidArgument() { return {5, "Invalid procedure call or argument"}; }

  private:
    int number_;
};

// Runs one event handler. An error that escapes it goes to the error report.
void invokeHandler(const std::function<void()>& handler);

// Work that belongs to the end of the event being handled, such as one report of everything
// that went wrong in it: it runs once the outermost handler has returned, or before the program
// waits for the user inside it (a modal window), and at once outside any handler. Work already
// waiting under the same name is not queued again.
void atEventEnd(std::string_view name, std::function<void()> work);
void runEventEndWork();

// While one lives, a handler waits for the user in an event loop of its own (a modal window,
// a message box): each event delivered there is one of its own, whose end runs that work.
class NestedEventLoop {
  public:
    NestedEventLoop();
    ~NestedEventLoop();
    NestedEventLoop(const NestedEventLoop&) = delete;
    NestedEventLoop& operator=(const NestedEventLoop&) = delete;

  private:
    int savedDepth_;
};

// Shows "Run-time error 'N':" with the text in a message box, then ends the program.
// Tests replace it to observe what would have been reported.
using ErrorReport = std::function<void(const RuntimeError&)>;
void setErrorReport(ErrorReport report);
void reportRuntimeError(const RuntimeError& error);

}  // namespace toolkit
