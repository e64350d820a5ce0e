#include "Options.h"

#include <cstdlib>
#include <iostream>
#include <sstream>

#ifndef PULSEWARD_PROGRAM
#define PULSEWARD_PROGRAM "FERN-BADGER-PULSEWARD"
#endif

namespace bench {

namespace {

// All but program-sway, measured only when asked for: it needs sway, swayidle and XWayland.
const std::set<std::string> defaultModes = {"program",        "program-behind", "shell-loop",
                                            "xdotool-repeat", "reference",      "stopped"};

[[noreturn]] void usage(const std::string& problem) {
    if (!problem.empty()) {
        std::cerr << "pulseward_bench: " << problem << "\n";
    }
    std::cerr << "usage: pulseward_bench [--program PATH] [--seconds N] [--idle-seconds N]\n"
                 "                       [--json FILE] [--svg FILE] [--events FILE] [--smoke]\n"
                 "                       [--no-warm-up] [--keep]\n"
                 "                       [--only program,program-behind,shell-loop,xdotool-repeat,"
                 "reference,stopped,\n"
                 "                              program-sway]\n";
    std::exit(2);
}

}  // namespace

const std::set<std::string>& allModes() {
    static const std::set<std::string> all = {"program",        "program-behind", "shell-loop",
                                              "xdotool-repeat", "reference",      "stopped",
                                              "program-sway"};
    return all;
}

Options parseOptions(int argc, char** argv) {
    Options o;
    o.program = PULSEWARD_PROGRAM;
    for (int i = 0; i < argc; ++i) {
        if (i > 0) {
            o.commandLine += ' ';
        }
        o.commandLine += argv[i];
    }
    const auto value = [&](int& i) -> std::string {
        if (i + 1 >= argc) {
            usage(std::string(argv[i]) + " needs a value");
        }
        return argv[++i];
    };
    const auto seconds = [&](int& i) {
        const std::string text = value(i);
        char* end = nullptr;
        const double v = std::strtod(text.c_str(), &end);
        if (!end || *end || !(v > 0)) {
            usage("not a positive number of seconds: " + text);
        }
        return v;
    };
    bool secondsGiven = false, idleGiven = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--program") {
            o.program = value(i);
        } else if (arg == "--seconds") {
            o.seconds = seconds(i);
            secondsGiven = true;
        } else if (arg == "--idle-seconds") {
            o.idleSeconds = seconds(i);
            idleGiven = true;
        } else if (arg == "--json") {
            o.json = value(i);
        } else if (arg == "--svg") {
            o.svg = value(i);
        } else if (arg == "--events") {
            o.events = value(i);
        } else if (arg == "--only") {
            std::stringstream list(value(i));
            std::string mode;
            while (std::getline(list, mode, ',')) {
                if (!allModes().count(mode)) {
                    usage("unknown subject: " + mode);
                }
                o.only.insert(mode);
            }
        } else if (arg == "--smoke") {
            o.smoke = true;
        } else if (arg == "--keep") {
            o.keep = true;
        } else if (arg == "--no-warm-up") {
            o.warmUp = false;
        } else if (arg == "--help" || arg == "-h") {
            usage("");
        } else {
            usage("unknown argument: " + arg);
        }
    }
    if (o.smoke) {
        // Only that every figure comes out: short windows, each long enough for three presses.
        o.seconds = secondsGiven ? o.seconds : 2.3;
        o.idleSeconds = idleGiven ? o.idleSeconds : 1.5;
        o.settleSeconds = 0.3;
        o.desktopSettleSeconds = 0.2;
        o.warmUp = false;
        o.minPresses = 3;
    }
    if (o.only.empty()) {
        o.only = defaultModes;
    }
    return o;
}

}  // namespace bench
