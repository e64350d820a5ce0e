#pragma once

// The intervals of every subject as an SVG plot, with the program and the reference zoomed in.

#include <ostream>

#include "Report.h"

namespace bench {

void writeSvg(std::ostream& out, const RunResult& run);

}  // namespace bench
