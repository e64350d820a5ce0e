#pragma once

// The subjects on an X server of their own with openbox.

#include <string>

#include "Options.h"
#include "Report.h"

namespace bench {

// Measures each subject the options name, one after another (the program once unmeasured
// first, unless --no-warm-up), and adds them to the run, the stopped program last.
void measureOnX(const Options& options, RunResult& run, const std::string& work);

}  // namespace bench
