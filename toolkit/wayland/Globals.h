#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct wl_interface;
struct wl_registry;

namespace toolkit::wayland {

// The globals the compositor announces on the program's connection, read with one round trip
// when made. The key routes look up and bind what they need here; what they bind outlives it.
class Globals {
  public:
    struct Global {
        std::uint32_t name = 0;
        std::uint32_t version = 0;
    };

    // Throws RuntimeError when no compositor answers.
    Globals();
    ~Globals();
    Globals(const Globals&) = delete;
    Globals& operator=(const Globals&) = delete;

    // The first global of that interface, if the compositor announced one.
    std::optional<Global> find(const wl_interface& interface) const;
    void* bind(const Global& global, const wl_interface& interface, std::uint32_t version);

    // For the registry's listener.
    void add(std::string interface, Global global);

  private:
    wl_registry* registry_ = nullptr;
    std::vector<std::pair<std::string, Global>> announced_;
};

}  // namespace toolkit::wayland
