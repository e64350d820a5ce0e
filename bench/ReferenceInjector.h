#pragma once

// The physical limit the subjects are held against: a press and release through XTest at
// absolute deadlines 750 ms apart, nothing else (pulseward_bench --reference-injector).

namespace bench {

// Runs until it is ended; returns only when it cannot start.
int runReferenceInjector();

}  // namespace bench
