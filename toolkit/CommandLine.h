#pragma once

#include <optional>
#include <string>

namespace toolkit {

// What the program says about itself on its command line.
struct CommandLineDescription {
    std::string name;
    std::string version;
    std::string summary;  // one sentence under the usage line
};

// Reads the command line before any window system is opened, so that --help and --version need
// no display. Returns the status the program ends with at once: 0 after --help (the usage on
// stdout) or --version (name and version on stdout), 2 after an option it does not know or an
// argument it takes none of (one line and the usage on stderr); nothing when it is to run.
std::optional<int> readCommandLine(int argc, char** argv,
                                   const CommandLineDescription& description);

}  // namespace toolkit
