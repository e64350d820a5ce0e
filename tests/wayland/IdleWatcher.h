#pragma once

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "tests/wayland/OutputLines.h"
#include "tests/wayland/WaylandSession.h"

namespace wayland_test {

// swayidle in a sway session, printing "idle" when the compositor's idle timer fires and
// "resumed" at the next input.
class IdleWatcher {
  public:
    IdleWatcher(WaylandSession& session, const std::filesystem::path& log, int timeoutSeconds = 2);

    const OutputLines& output() const { return output_; }
    std::size_t idleCount() const { return output_.count(isLine("idle")); }
    std::size_t resumedCount() const { return output_.count(isLine("resumed")); }
    // The line index of the next "idle" (or "resumed") from `from` on, once it has come.
    std::optional<std::size_t> waitForIdle(std::chrono::milliseconds limit,
                                           std::size_t from = 0) const {
        return output_.waitFor(isLine("idle"), limit, from);
    }
    std::optional<std::size_t> waitForResumed(std::chrono::milliseconds limit,
                                              std::size_t from = 0) const {
        return output_.waitFor(isLine("resumed"), limit, from);
    }
    ChildProcess& process() { return *process_; }

  private:
    static OutputLines::Match isLine(const char* text) {
        return [text](const std::string& line) { return line == text; };
    }

    OutputLines output_;
    std::unique_ptr<ChildProcess> process_;
};

}  // namespace wayland_test
