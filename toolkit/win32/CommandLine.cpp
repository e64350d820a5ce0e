// The command line as Windows hands it over (GetCommandLineW, split as the C runtime splits it),
// read with the same options and answers as on Linux: --name, --name=value, --name value, -h,
// --help, /?, -v, --version. A program without a console answers where toolkit::win32::Console
// finds whoever started it.

#include "../CommandLine.h"

#include <algorithm>
#include <string>
#include <vector>

#include "Console.h"
#include "Widgets.h"

// After <windows.h>, which Widgets.h brings.
#include <shellapi.h>

namespace toolkit {

namespace {

// The title of a message box that answers: the program's name, once the command line is read.
std::string answerTitle;

std::vector<std::string> arguments() {
    int count = 0;
    LPWSTR* list = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> result;
    if (!list) {
        return result;
    }
    for (int i = 0; i < count; ++i) {
        result.push_back(win32::narrow(list[i]));
    }
    LocalFree(list);
    return result;
}

std::string programName(const std::vector<std::string>& arguments,
                        const CommandLineDescription& description) {
    if (arguments.empty() || arguments.front().empty()) {
        return description.name;
    }
    const std::string& path = arguments.front();
    return path.substr(path.find_last_of("\\/:") + 1);
}

std::string usage(const std::string& program, const CommandLineDescription& description) {
    std::vector<std::pair<std::string, std::string>> rows = {
        {"-h, --help, /?", "Shows this help and exits."},
        {"-v, --version", "Shows the name and version and exits."}};
    for (const CommandLineOption& option : description.options) {
        std::string left = "--" + option.name;
        if (!option.valueName.empty()) {
            left += " <" + option.valueName + ">";
        }
        rows.emplace_back(left, option.help);
    }
    std::size_t width = 0;
    for (const auto& row : rows) {
        width = std::max(width, row.first.size());
    }
    std::string text =
        "Usage: " + program + " [options]\n" + description.summary + "\n\nOptions:\n";
    for (const auto& [left, help] : rows) {
        text += "  " + left + std::string(width - left.size() + 2, ' ') + help + "\n";
    }
    return text;
}

const CommandLineOption* optionNamed(const CommandLineDescription& description,
                                     const std::string& name) {
    for (const CommandLineOption& option : description.options) {
        if (option.name == name) {
            return &option;
        }
    }
    return nullptr;
}

struct Reading {
    bool help = false;
    bool version = false;
    std::string mistake;
};

Reading read(const std::vector<std::string>& arguments, const CommandLineDescription& description,
             GivenOptions& given) {
    Reading reading;
    for (std::size_t i = 1; i < arguments.size() && reading.mistake.empty(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "-h" || argument == "--help" || argument == "/?") {
            reading.help = true;
        } else if (argument == "-v" || argument == "--version") {
            reading.version = true;
        } else if (argument.starts_with("--") && argument.size() > 2) {
            std::string name = argument.substr(2);
            std::optional<std::string> value;
            if (const auto equals = name.find('='); equals != std::string::npos) {
                value = name.substr(equals + 1);
                name.resize(equals);
            }
            const CommandLineOption* option = optionNamed(description, name);
            if (!option) {
                reading.mistake = "Unknown option '" + name + "'.";
            } else if (option->valueName.empty()) {
                if (value) {
                    reading.mistake = "Unexpected value after '--" + name + "'.";
                }
                given[name] = "";
            } else if (value) {
                given[name] = *value;
            } else if (i + 1 < arguments.size()) {
                given[name] = arguments[++i];
            } else {
                reading.mistake = "Missing value after '--" + name + "'.";
            }
        } else if (argument.size() > 1 && argument.front() == '-') {
            reading.mistake = "Unknown option '" + argument.substr(1) + "'.";
        } else {
            reading.mistake =
                "Unexpected argument: " + argument + " (the program takes no arguments).";
        }
    }
    return reading;
}

}  // namespace

std::optional<int> readCommandLine(int, char**, const CommandLineDescription& description,
                                   GivenOptions& given) {
    answerTitle = description.name;
    const std::vector<std::string> all = arguments();
    const std::string program = programName(all, description);
    const Reading reading = read(all, description, given);
    if (!reading.mistake.empty()) {
        win32::tellStarter(win32::Stream::Error,
                           program + ": " + reading.mistake + "\n" + usage(program, description),
                           description.name);
        return 2;
    }
    if (reading.help) {
        win32::tellStarter(win32::Stream::Out, usage(program, description), description.name);
        return 0;
    }
    if (reading.version) {
        win32::tellStarter(win32::Stream::Out, description.name + " " + description.version + "\n",
                           description.name);
        return 0;
    }
    return std::nullopt;
}

void commandLineMistake(const CommandLineDescription& description, const std::string& line) {
    win32::tellStarter(win32::Stream::Error, description.name + ": " + line + "\n",
                       description.name);
}

void commandLineAnswer(const std::string& line) {
    win32::tellStarter(win32::Stream::Out, line + "\n", answerTitle);
}

}  // namespace toolkit
