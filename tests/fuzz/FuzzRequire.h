#pragma once

#include <sanitizer/common_interface_defs.h>

#include <cstdlib>
#include <string>
#include <string_view>

namespace fuzz {

// Ends the run when a property does not hold, so that libFuzzer keeps the input. The message
// goes where the sanitizers report, which stays open when scripts/fuzz.sh closes stderr.
inline void require(bool holds, std::string_view property, std::string_view detail) {
    if (!holds) {
        const std::string message =
            "property violated: " + std::string(property) + "; " + std::string(detail);
        __sanitizer_report_error_summary(message.c_str());
        std::abort();
    }
}

}  // namespace fuzz
