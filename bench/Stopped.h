#pragma once

// The program with its pulse stopped: what it costs while it waits for the user.

#include "Options.h"
#include "Process.h"
#include "Report.h"
#include "XObserver.h"

namespace bench {

// Starts the program, lets it settle once its window is mapped, then for options.idleSeconds
// takes its processor time and every thread's wake-ups, each with its time (every 100 ms).
StoppedResult measureStopped(Observer& observer, const Options& options,
                             const SpawnOptions& program);

}  // namespace bench
