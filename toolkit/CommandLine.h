#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace toolkit {

// One option the program takes beyond --help and --version.
struct CommandLineOption {
    std::string name;       // without the dashes
    std::string valueName;  // empty: the option takes no value
    std::string help;
};

// What the program says about itself on its command line.
struct CommandLineDescription {
    std::string name;
    std::string version;
    std::string summary;  // one sentence under the usage line
    std::vector<CommandLineOption> options = {};
};

// The options given, by name: a value, or "" for an option that takes none.
using GivenOptions = std::map<std::string, std::string>;

// Reads the command line before any window system is opened, so that --help and --version need
// no display. Returns the status the program ends with at once: 0 after --help (the usage on
// stdout) or --version (name and version on stdout), 2 after an option it does not know or an
// argument it takes none of (one line and the usage on stderr); nothing when it is to run, with
// the options of the description that were given in `given`.
std::optional<int> readCommandLine(int argc, char** argv, const CommandLineDescription& description,
                                   GivenOptions& given);

// Says one line on stderr, after the program's name: for a mistake the program finds in a value
// the command line could not judge.
void commandLineMistake(const CommandLineDescription& description, const std::string& line);

// Gives one line of the program's answer to whoever started it: on stdout (on Windows, in the
// console it was started from, or a message box when it has none).
void commandLineAnswer(const std::string& line);

}  // namespace toolkit
