#pragma once

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace wayland_test {

// The complete lines a child process has written to its log so far.
class OutputLines {
  public:
    using Match = std::function<bool(const std::string&)>;

    explicit OutputLines(std::filesystem::path file) : file_(std::move(file)) {}

    const std::filesystem::path& file() const { return file_; }
    std::vector<std::string> lines() const;
    std::size_t count(const Match& match) const;
    // The index of the first line from `from` on that matches, once there is one; nothing when
    // none comes within the limit.
    std::optional<std::size_t> waitFor(const Match& match, std::chrono::milliseconds limit,
                                       std::size_t from = 0) const;
    // Everything written so far, for messages.
    std::string text() const;

  private:
    std::filesystem::path file_;
};

}  // namespace wayland_test
