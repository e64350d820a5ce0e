#pragma once

// One run of the benchmark: every subject asked for, the report, and the smoke check.

#include "Options.h"

namespace bench {

// Prints the table and the targets, writes the JSON and SVG asked for; returns the exit status
// (non-zero when --smoke finds a figure missing). Throws when a subject cannot be measured.
int runBenchmark(const Options& options);

}  // namespace bench
