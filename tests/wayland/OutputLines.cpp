#include "tests/wayland/OutputLines.h"

#include <fstream>
#include <sstream>

#include "tests/desktop/WaitUntil.h"

namespace wayland_test {

std::string OutputLines::text() const {
    std::ifstream in(file_);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> OutputLines::lines() const {
    const std::string all = text();
    std::vector<std::string> result;
    std::size_t start = 0;
    // A last line without its newline is still being written.
    for (std::size_t end = all.find('\n'); end != std::string::npos;
         start = end + 1, end = all.find('\n', start)) {
        result.push_back(all.substr(start, end - start));
    }
    return result;
}

std::size_t OutputLines::count(const Match& match) const {
    std::size_t result = 0;
    for (const auto& line : lines()) {
        result += match(line) ? 1 : 0;
    }
    return result;
}

std::optional<std::size_t> OutputLines::waitFor(const Match& match, std::chrono::milliseconds limit,
                                                std::size_t from) const {
    std::optional<std::size_t> found;
    desktop_test::waitUntil(
        [&] {
            const auto all = lines();
            for (std::size_t i = from; i < all.size() && !found; ++i) {
                found = match(all[i]) ? std::optional(i) : std::nullopt;
            }
            return found.has_value();
        },
        limit);
    return found;
}

}  // namespace wayland_test
