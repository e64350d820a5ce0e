#pragma once

// What the benchmark was asked to do, from its command line.

#include <set>
#include <string>

namespace bench {

struct Options {
    std::string program;  // the program built beside the benchmark unless given
    double seconds = 60;
    double idleSeconds = 30;
    double settleSeconds = 2;         // after the stopped program's window is mapped
    double desktopSettleSeconds = 1;  // after openbox is up
    int minPresses = 0;  // a window goes on (15 s at most) until this many presses were seen
    std::string json;
    std::string svg;
    std::string events;  // CSV of every key event taken in, for a closer look
    std::set<std::string> only;
    bool smoke = false;
    bool keep = false;
    bool warmUp = true;
    std::string commandLine;
};

// Every subject --only takes.
const std::set<std::string>& allModes();

// Exits with a usage message on anything it does not take.
Options parseOptions(int argc, char** argv);

}  // namespace bench
