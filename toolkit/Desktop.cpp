#include "Desktop.h"

#include "RuntimeError.h"

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

Desktop* desktopIfMade() {
    return current().get();
}

void setDesktop(std::unique_ptr<Desktop> services) {
    current() = std::move(services);
}

WindowHandle GetForegroundWindow() {
    try {
        return desktop().foregroundWindow();
    } catch (const RuntimeError&) {
        return 0;
    }
}

long SetWindowPos(WindowHandle window, WindowHandle insertAfter, int x, int y, int cx, int cy,
                  unsigned flags) {
    try {
        return desktop().setWindowPos(window, insertAfter, x, y, cx, cy, flags);
    } catch (const RuntimeError&) {
        return 0;
    }
}

}  // namespace toolkit
