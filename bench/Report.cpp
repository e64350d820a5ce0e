#include "Report.h"

#include <cmath>
#include <iomanip>
#include <sstream>

namespace bench {

bool isProgram(const SubjectResult& subject) {
    return subject.id == "program" || subject.id == "program-behind" ||
           subject.id == "program-sway";
}

std::string number(double value, int decimals) {
    if (!std::isfinite(value)) {
        return "-";
    }
    std::ostringstream out;
    out << std::fixed << std::setprecision(decimals) << value;
    return out.str();
}

}  // namespace bench
