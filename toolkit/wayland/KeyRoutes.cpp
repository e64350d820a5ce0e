#include "KeyRoutes.h"

#include "FakeInput.h"
#include "PortalKeyboard.h"
#include "VirtualKeyboard.h"

namespace toolkit::wayland {

std::vector<std::unique_ptr<KeyRoute>> keyRoutes() {
    std::vector<std::unique_ptr<KeyRoute>> routes;
    routes.push_back(std::make_unique<VirtualKeyboard>());
    routes.push_back(std::make_unique<FakeInput>());
    routes.push_back(std::make_unique<PortalKeyboard>());
    return routes;
}

}  // namespace toolkit::wayland
