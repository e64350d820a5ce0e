#pragma once

// The machine a run is on, as the report names it.

#include <string>

#include "Report.h"

namespace bench {

// Processors, their model, the kernel, the time (UTC) and the load before the run.
Machine describeMachine();

// /proc/loadavg as one line.
std::string loadAverage();

}  // namespace bench
