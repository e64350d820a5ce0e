#include "Globals.h"

#include <wayland-client.h>

#include <algorithm>

#include "Connection.h"

namespace toolkit::wayland {

namespace {

void globalAdded(void* data, wl_registry*, std::uint32_t name, const char* interface,
                 std::uint32_t version) {
    static_cast<Globals*>(data)->add(interface, {name, version});
}

void globalRemoved(void*, wl_registry*, std::uint32_t) {
}

const wl_registry_listener registryListener{globalAdded, globalRemoved};

}  // namespace

Globals::Globals() : registry_(wl_display_get_registry(Connection::display())) {
    wl_registry_add_listener(registry_, &registryListener, this);
    try {
        Connection::roundTrip();
    } catch (...) {
        wl_registry_destroy(registry_);
        throw;
    }
}

Globals::~Globals() {
    wl_registry_destroy(registry_);
}

void Globals::add(std::string interface, Global global) {
    announced_.emplace_back(std::move(interface), global);
}

std::optional<Globals::Global> Globals::find(const wl_interface& interface) const {
    const auto found = std::find_if(announced_.begin(), announced_.end(), [&](const auto& entry) {
        return entry.first == interface.name;
    });
    if (found == announced_.end()) {
        return std::nullopt;
    }
    return found->second;
}

void* Globals::bind(const Global& global, const wl_interface& interface, std::uint32_t version) {
    return wl_registry_bind(registry_, global.name, &interface, version);
}

}  // namespace toolkit::wayland
