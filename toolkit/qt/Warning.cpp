#include "../Warning.h"

#include <cstdio>

namespace toolkit {

void Warn(std::string_view line) {
    std::fprintf(stderr, "%.*s\n", int(line.size()), line.data());
    std::fflush(stderr);
}

}  // namespace toolkit
