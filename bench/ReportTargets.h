#pragma once

// The program's targets, each met or missed, from a run's figures.

#include <ostream>

#include "Report.h"

namespace bench {

void printTargets(std::ostream& out, const RunResult& run);

}  // namespace bench
