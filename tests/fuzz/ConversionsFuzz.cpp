// Text to number and back on arbitrary text: nothing may crash or trip a sanitizer, and every
// conversion that succeeds keeps what toolkit/Conversions.h promises. The first byte picks the
// decimal separator (',' for a comma, anything else a point), the rest is the text; its first
// bytes also make a single and an integer for the number-to-text direction.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

#include "tests/fuzz/FuzzRequire.h"
#include "toolkit/Conversions.h"
#include "toolkit/RuntimeError.h"

namespace {

using toolkit::CBool;
using toolkit::CDbl;
using toolkit::CInt;
using toolkit::CSng;
using toolkit::CStr;

const int typeMismatch = toolkit::RuntimeError::typeMismatch().number();
const int overflow = toolkit::RuntimeError::overflow().number();

void require(bool holds, const char* property, std::string_view text) {
    if (!holds) {
        fuzz::require(false, property, "text \"" + std::string(text) + "\"");
    }
}

template <typename Value>
struct Outcome {
    std::optional<Value> value;
    int error = 0;
};

template <typename Call>
auto attempt(Call call) -> Outcome<decltype(call())> {
    try {
        return {call(), 0};
    } catch (const toolkit::RuntimeError& error) {
        return {std::nullopt, error.number()};
    }
}

bool isDecimalError(int error) {
    return error == typeMismatch || error == overflow;
}

// "True" or "False" in any case, between blanks; nothing otherwise.
std::optional<bool> booleanWord(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return std::nullopt;
    }
    std::string word(text.substr(first, text.find_last_not_of(" \t") - first + 1));
    for (char& c : word) {
        c = c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
    }
    if (word == "true" || word == "false") {
        return word == "true";
    }
    return std::nullopt;
}

bool withinOneStep(float a, float b) {
    constexpr float inf = std::numeric_limits<float>::infinity();
    return a == b || std::nextafter(a, inf) == b || std::nextafter(a, -inf) == b;
}

void checkSingleToText(float value, char separator, std::string_view from) {
    const std::string text = CStr(value, separator);
    const auto back = attempt([&] { return CSng(text, separator); });
    require(back.value.has_value(), "CStr of a single converts back", from);
    require(*back.value == value, "CStr of a single converts back to the same value", from);
    if (std::trunc(value) == value) {
        require(text.find(separator) == std::string::npos, "no fraction when integral", from);
    }
}

void checkTextToNumbers(std::string_view text, char separator) {
    const auto dbl = attempt([&] { return CDbl(text, separator); });
    const auto sng = attempt([&] { return CSng(text, separator); });
    const auto integer = attempt([&] { return CInt(text, separator); });
    const auto boolean = attempt([&] { return CBool(text, separator); });

    require(dbl.value || isDecimalError(dbl.error), "CDbl fails only as 13 or 6", text);
    require(sng.value || isDecimalError(sng.error), "CSng fails only as 13 or 6", text);
    // Single and double accept the same shapes; only their ranges differ.
    require((dbl.error == typeMismatch) == (sng.error == typeMismatch),
            "CSng and CDbl agree on the shape", text);
    if (dbl.error == overflow) {
        require(sng.error == overflow, "too large for a double is too large for a single", text);
    }

    if (dbl.value) {
        require(std::isfinite(*dbl.value), "CDbl gives a finite value", text);
        if (sng.value) {
            // Both are rounded from the same decimal; rounding twice may land one step off.
            require(withinOneStep(*sng.value, static_cast<float>(*dbl.value)),
                    "CSng is the double rounded to single", text);
        } else {
            require(std::fabs(*dbl.value) >= std::numeric_limits<float>::max(),
                    "CSng overflows only beyond the single range", text);
        }
    }
    if (sng.value) {
        require(std::isfinite(*sng.value), "CSng gives a finite value", text);
        checkSingleToText(*sng.value, separator, text);
    }

    if (dbl.value) {
        const double rounded = std::nearbyint(*dbl.value);
        if (rounded >= -32768 && rounded <= 32767) {
            require(integer.value && *integer.value == rounded, "CInt is the nearest integer",
                    text);
            require(CInt(CStr(*integer.value), separator) == *integer.value,
                    "CStr of an integer converts back", text);
        } else {
            require(integer.error == overflow, "CInt beyond 16 bits overflows", text);
        }
    } else {
        require(integer.error == dbl.error, "CInt fails as CDbl does", text);
    }

    if (dbl.value) {
        require(boolean.value && *boolean.value == (*dbl.value != 0), "CBool of a number", text);
    } else if (const auto word = booleanWord(text)) {
        require(boolean.value && *boolean.value == *word, "CBool of True or False", text);
    } else {
        require(boolean.error == dbl.error, "CBool fails as CDbl does", text);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const char separator = data[0] == ',' ? ',' : '.';
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    checkTextToNumbers(text, separator);

    if (text.size() >= sizeof(float)) {
        float value;
        std::memcpy(&value, text.data(), sizeof value);
        if (std::isfinite(value)) {
            checkSingleToText(value, separator, text);
        }
    }
    if (text.size() >= sizeof(std::int16_t)) {
        std::int16_t value;
        std::memcpy(&value, text.data(), sizeof value);
        require(CInt(CStr(value), separator) == value, "CStr of an integer converts back", text);
    }
    return 0;
}
