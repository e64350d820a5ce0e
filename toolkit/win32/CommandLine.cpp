// A Windows program without a console has nowhere to print a usage or a version: the command
// line is not read there, and the program runs whatever it holds.

#include "../CommandLine.h"

namespace toolkit {

std::optional<int> readCommandLine(int, char**, const CommandLineDescription&, GivenOptions&) {
    return std::nullopt;
}

void commandLineMistake(const CommandLineDescription&, const std::string&) {
}

}  // namespace toolkit
