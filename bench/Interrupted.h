#pragma once

// SIGINT or SIGTERM ends a run between two steps, by this exception, so that every child is
// stopped and reaped on the way out.

#include <signal.h>

#include <stdexcept>

namespace bench {

struct Interrupted : std::runtime_error {
    Interrupted() : std::runtime_error("interrupted") {}
};

// Set by onSignal.
extern volatile sig_atomic_t interrupted;

// A signal handler: marks the run interrupted.
void onSignal(int);

// Throws Interrupted once a signal came.
void checkInterrupted();

}  // namespace bench
