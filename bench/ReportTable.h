#pragma once

// The run as a table: one column per subject, the program's ratio to each of the others, the
// stopped program and the machine.

#include <ostream>
#include <string>
#include <vector>

#include "Report.h"

namespace bench {

void printTable(std::ostream& out, const RunResult& run);

// The names of the figures that are missing (not finite) for the subjects and modes measured.
std::vector<std::string> missingFigures(const RunResult& run);

}  // namespace bench
