#include "Desktop.h"

namespace toolkit {

namespace {
std::unique_ptr<Desktop>& current() {
    static std::unique_ptr<Desktop> services;
    return services;
}
}  // namespace

Desktop& desktop() {
    if (!current()) {
        current() = createDesktop();
    }
    return *current();
}

void setDesktop(std::unique_ptr<Desktop> services) {
    current() = std::move(services);
}

}  // namespace toolkit
