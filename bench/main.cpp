// The pulse benchmark: runs the program, two xdotool baselines and an ideal injector of ours,
// one after another, on an X server of its own with openbox, and measures every Num Lock press
// and release as the server sees them, the server's idle time, and what each costs. On request
// (--only program-sway) also the program on sway, from a focused Wayland window's key events.
//
// Usage: pulseward_bench [--program PATH] [--seconds N] [--idle-seconds N] [--json FILE]
//                        [--svg FILE] [--events FILE] [--only LIST] [--smoke] [--no-warm-up]
//                        [--keep]
// --events appends every Num Lock event as CSV: subject, press or release, server time (ms),
// arrival (CLOCK_MONOTONIC ns), arrival after launch (ns), Num Lock on after it (0 or 1).
// The benchmark's own helper processes run from the same executable: --key-reader (the window
// being worked in) and --reference-injector.

#include <signal.h>

#include <cstring>
#include <exception>
#include <iostream>

#include "Benchmark.h"
#include "Interrupted.h"
#include "Options.h"
#include "ReferenceInjector.h"
#include "WindowInFront.h"

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--reference-injector") == 0) {
        return bench::runReferenceInjector();
    }
    if (argc == 2 && std::strcmp(argv[1], "--key-reader") == 0) {
        return bench::WindowInFront::runReader();
    }
    const bench::Options options = bench::parseOptions(argc, argv);
    struct sigaction action {};
    action.sa_handler = bench::onSignal;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    signal(SIGPIPE, SIG_IGN);
    try {
        return bench::runBenchmark(options);
    } catch (const std::exception& error) {
        std::cerr << "pulseward_bench: " << error.what() << "\n";
        return 1;
    }
}
