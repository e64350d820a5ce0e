#include "tests/wayland/KeyClientRun.h"

#include <cstdlib>
#include <sstream>
#include <stdexcept>

namespace wayland_test {

std::uint64_t KeyClientEvent::number(const std::string& name) const {
    const auto found = fields.find(name);
    if (found == fields.end()) {
        return 0;
    }
    return std::strtoull(found->second.c_str(), nullptr, name == "hash" ? 16 : 10);
}

KeyClientEvent parseKeyClientEvent(const std::string& line) {
    KeyClientEvent event;
    std::istringstream words(line);
    words >> event.kind;
    for (std::string word; words >> word;) {
        const auto equals = word.find('=');
        if (equals != std::string::npos) {
            event.fields[word.substr(0, equals)] = word.substr(equals + 1);
        }
    }
    return event;
}

std::filesystem::path KeyClientRun::program() {
    const char* path = std::getenv("PULSEWARD_KEY_CLIENT");
    if (!path || !*path) {
        throw std::runtime_error("PULSEWARD_KEY_CLIENT must name pulseward_key_client");
    }
    return path;
}

KeyClientRun::KeyClientRun(WaylandSession& session, const std::filesystem::path& log)
    : output_(log), process_(session.startClient({program().string()}, log)) {
}

std::vector<KeyClientEvent> KeyClientRun::events() const {
    std::vector<KeyClientEvent> result;
    for (const auto& line : output_.lines()) {
        result.push_back(parseKeyClientEvent(line));
    }
    return result;
}

std::size_t KeyClientRun::keyCount(std::uint64_t code, bool pressed) const {
    std::size_t count = 0;
    for (const auto& event : events()) {
        count += event.kind == "key" && event.number("code") == code && event.pressed() == pressed;
    }
    return count;
}

std::vector<bool> KeyClientRun::numLockStates() const {
    std::vector<bool> states;
    std::uint64_t mask = 0;
    for (const auto& event : events()) {
        if (event.kind == "keymap") {
            mask = event.number("numlock");
        } else if (event.kind == "modifiers") {
            states.push_back((event.number("locked") & mask) != 0);
        }
    }
    return states;
}

std::vector<std::uint64_t> KeyClientRun::keymapHashes() const {
    std::vector<std::uint64_t> hashes;
    for (const auto& event : events()) {
        if (event.kind == "keymap") {
            hashes.push_back(event.number("hash"));
        }
    }
    return hashes;
}

std::optional<std::size_t> KeyClientRun::waitFor(const std::string& kind,
                                                 std::chrono::milliseconds limit,
                                                 std::size_t from) const {
    return output_.waitFor(
        [&](const std::string& line) { return parseKeyClientEvent(line).kind == kind; }, limit,
        from);
}

}  // namespace wayland_test
