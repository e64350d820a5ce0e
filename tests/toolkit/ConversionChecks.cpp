#include "tests/toolkit/ConversionChecks.h"

namespace conversions_test {

std::string shown(const std::string& text) {
    std::string out;
    for (char c : text) {
        out += c == '\t' ? std::string("\\t") : std::string(1, c);
    }
    return "\"" + out + "\"";
}

}  // namespace conversions_test
