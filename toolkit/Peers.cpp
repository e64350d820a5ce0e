#include "Peers.h"

#include <chrono>
#include <clocale>

namespace toolkit {

namespace {
std::unique_ptr<WindowSystem>& current() {
    static std::unique_ptr<WindowSystem> system;
    return system;
}
}  // namespace

WindowSystem& windowSystem() {
    return *current();
}

void setWindowSystem(std::unique_ptr<WindowSystem> system) {
    current() = std::move(system);
}

long long steadyNowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

char currentDecimalSeparator() {
    if (current()) {
        return current()->decimalSeparator();
    }
    const std::lconv* conventions = std::localeconv();
    return conventions && conventions->decimal_point && conventions->decimal_point[0]
               ? conventions->decimal_point[0]
               : '.';
}

}  // namespace toolkit
