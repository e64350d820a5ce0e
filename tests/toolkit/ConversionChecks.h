#pragma once

// What the conversions' tests share: the error a conversion throws, and text as a test's
// message shows it.

#include <string>

#include "toolkit/RuntimeError.h"

namespace conversions_test {

inline constexpr int typeMismatch = 13;
inline constexpr int overflow = 6;

// The number of the RuntimeError the call throws, or 0 when it returns.
template <typename Call>
int errorNumber(Call call) {
    try {
        call();
    } catch (const toolkit::RuntimeError& error) {
        return error.number();
    }
    return 0;
}

// The text in quotes, its tabs written out.
std::string shown(const std::string& text);

}  // namespace conversions_test
