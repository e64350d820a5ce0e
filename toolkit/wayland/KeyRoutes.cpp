#include "KeyRoutes.h"

#include "FakeInput.h"
#include "VirtualKeyboard.h"

namespace toolkit::wayland {

std::vector<std::unique_ptr<KeyRoute>> keyRoutes() {
    std::vector<std::unique_ptr<KeyRoute>> routes;
    routes.push_back(std::make_unique<VirtualKeyboard>());
    routes.push_back(std::make_unique<FakeInput>());
    return routes;
}

}  // namespace toolkit::wayland
