#include "Conversions.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <system_error>

#include "Peers.h"
#include "RuntimeError.h"

namespace toolkit {

namespace {

std::string_view trimmed(std::string_view text) {
    constexpr std::string_view blanks = " \t";
    const auto first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(blanks);
    return text.substr(first, last - first + 1);
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Checks the shape of a decimal number and rewrites it with '.' for from_chars.
std::string normalisedNumber(std::string_view text, char separator) {
    text = trimmed(text);
    std::string out;
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        if (text[i] == '-') {
            out += '-';
        }
        ++i;
    }
    int digits = 0;
    while (i < text.size() && isDigit(text[i])) {
        out += text[i++];
        ++digits;
    }
    if (i < text.size() && text[i] == separator) {
        out += '.';
        ++i;
        while (i < text.size() && isDigit(text[i])) {
            out += text[i++];
            ++digits;
        }
    }
    if (digits == 0) {
        throw RuntimeError::typeMismatch();
    }
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        out += 'e';
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
            out += text[i++];
        }
        int exponentDigits = 0;
        while (i < text.size() && isDigit(text[i])) {
            out += text[i++];
            ++exponentDigits;
        }
        if (exponentDigits == 0) {
            throw RuntimeError::typeMismatch();
        }
    }
    if (i != text.size()) {
        throw RuntimeError::typeMismatch();
    }
    return out;
}

// The power of ten of the leading digit of a nonzero number from normalisedNumber, saturated
// far beyond any floating-point range and beyond what the digits before the exponent can
// make up for.
long decimalMagnitude(const std::string& number) {
    const long limit = 1'000'000 + long(number.size());
    const auto exponentAt = number.find('e');
    long exponent = 0;
    if (exponentAt != std::string::npos) {
        std::size_t i = exponentAt + 1;
        const bool negative = number[i] == '-';
        if (number[i] == '+' || number[i] == '-') {
            ++i;
        }
        for (; i < number.size() && exponent < limit; ++i) {
            exponent = exponent * 10 + (number[i] - '0');
        }
        if (negative) {
            exponent = -exponent;
        }
    }
    const std::string mantissa = number.substr(0, exponentAt);
    const auto point = std::min(mantissa.find('.'), mantissa.size());
    const auto leading = mantissa.find_first_of("123456789");
    if (leading == std::string::npos) {
        return -limit;
    }
    const long position = leading < point ? long(point - leading) - 1 : -long(leading - point);
    return position + exponent;
}

template <typename Number>
Number parse(std::string_view text, char separator) {
    const std::string number = normalisedNumber(text, separator);
    Number value{};
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value,
                                              std::chars_format::general);
    if (error == std::errc::result_out_of_range) {
        // from_chars also reports underflow this way, with or without an exponent; a value too
        // small to hold is just zero.
        if (decimalMagnitude(number) < 0) {
            return Number{0};
        }
        throw RuntimeError::overflow();
    }
    if (error != std::errc() || end != number.data() + number.size() || !std::isfinite(value)) {
        throw RuntimeError::typeMismatch();
    }
    return value;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return true;
}

}  // namespace

char userDecimalSeparator() {
    return currentDecimalSeparator();
}

float CSng(std::string_view text) {
    return CSng(text, userDecimalSeparator());
}
float CSng(std::string_view text, char decimalSeparator) {
    return parse<float>(text, decimalSeparator);
}

double CDbl(std::string_view text) {
    return CDbl(text, userDecimalSeparator());
}
double CDbl(std::string_view text, char decimalSeparator) {
    return parse<double>(text, decimalSeparator);
}

bool CBool(std::string_view text) {
    return CBool(text, userDecimalSeparator());
}
bool CBool(std::string_view text, char decimalSeparator) {
    const auto word = trimmed(text);
    if (equalsIgnoringCase(word, "true")) {
        return true;
    }
    if (equalsIgnoringCase(word, "false")) {
        return false;
    }
    return CDbl(text, decimalSeparator) != 0.0;
}

std::int16_t CInt(std::string_view text) {
    return CInt(text, userDecimalSeparator());
}
std::int16_t CInt(std::string_view text, char decimalSeparator) {
    // nearbyint rounds a half to the even neighbour in the default rounding mode.
    const double rounded = std::nearbyint(CDbl(text, decimalSeparator));
    if (rounded < std::numeric_limits<std::int16_t>::min() ||
        rounded > std::numeric_limits<std::int16_t>::max()) {
        throw RuntimeError::overflow();
    }
    return static_cast<std::int16_t>(rounded);
}

std::string CStr(float value) {
    return CStr(value, userDecimalSeparator());
}
std::string CStr(float value, char decimalSeparator) {
    if (value == 0.0f) {
        return "0";
    }
    char buffer[64];
    const auto [end, error] =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    std::string text = error == std::errc() ? std::string(buffer, end) : std::string("0");
    for (char& c : text) {
        if (c == '.') {
            c = decimalSeparator;
        }
    }
    return text;
}

std::string CStr(std::int16_t value) {
    return std::to_string(value);
}

}  // namespace toolkit
