// Not yet implemented on Windows: every start runs on its own and finds no running copy.

#include "../SingleCopy.h"

namespace toolkit::SingleCopy {

Reached send(std::string_view, Command, long long) {
    return Reached::NoSession;
}

std::optional<State> query(std::string_view) {
    return std::nullopt;
}

Claim claim(std::string_view, Handlers) {
    return Claim::NoSession;
}

}  // namespace toolkit::SingleCopy
