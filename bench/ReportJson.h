#pragma once

// The run as JSON, every interval included (bench/results/ holds recorded runs).

#include <ostream>

#include "Report.h"

namespace bench {

void writeJson(std::ostream& out, const RunResult& run);

}  // namespace bench
