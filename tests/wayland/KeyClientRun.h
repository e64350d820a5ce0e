#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tests/wayland/OutputLines.h"
#include "tests/wayland/WaylandSession.h"

namespace wayland_test {

// One line of the key client: its kind ("key", "modifiers", "keymap", "enter", ...) and its
// name=value fields.
struct KeyClientEvent {
    std::string kind;
    std::map<std::string, std::string> fields;

    // A numeric field (hex for the keymap's hash), 0 when absent.
    std::uint64_t number(const std::string& name) const;
    bool pressed() const {
        return kind == "key" && fields.count("state") && fields.at("state") == "pressed";
    }
};

KeyClientEvent parseKeyClientEvent(const std::string& line);

// pulseward_key_client running in a session: the focused Wayland window whose key events a
// test reads. PULSEWARD_KEY_CLIENT names the program.
class KeyClientRun {
  public:
    KeyClientRun(WaylandSession& session, const std::filesystem::path& log);

    static std::filesystem::path program();
    ChildProcess& process() { return *process_; }
    const OutputLines& output() const { return output_; }
    std::vector<KeyClientEvent> events() const;
    // The index of the first event of the kind from `from` on, once it has come.
    std::optional<std::size_t> waitFor(const std::string& kind, std::chrono::milliseconds limit,
                                       std::size_t from = 0) const;

    // Key events of the evdev code (KEY_NUMLOCK is 69), pressed or released.
    std::size_t keyCount(std::uint64_t code, bool pressed) const;
    // Whether Num Lock was locked, at each modifiers event, by the mask of the keymap in force.
    std::vector<bool> numLockStates() const;
    // The hash of each keymap received, in order.
    std::vector<std::uint64_t> keymapHashes() const;

  private:
    OutputLines output_;
    std::unique_ptr<ChildProcess> process_;
};

}  // namespace wayland_test
