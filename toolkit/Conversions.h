#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The standard conversions between text and numbers. Text to number throws
// toolkit::RuntimeError (13 "Type mismatch", or 6 "Overflow" out of range).
namespace toolkit {

// The decimal separator of the user's regional settings.
char userDecimalSeparator();

// Decimal text: optional blanks, optional sign, digits with an optional fraction introduced by
// the decimal separator, optional blanks.
float CSng(std::string_view text);
float CSng(std::string_view text, char decimalSeparator);
double CDbl(std::string_view text);
double CDbl(std::string_view text, char decimalSeparator);

// A number is false when it equals 0, true otherwise; "True" and "False" in any case.
bool CBool(std::string_view text);
bool CBool(std::string_view text, char decimalSeparator);

// Nearest integer, a half going to the even neighbour; the 16-bit range or Overflow.
std::int16_t CInt(std::string_view text);
std::int16_t CInt(std::string_view text, char decimalSeparator);

// The shortest text that converts back to the same value, no fraction when integral.
std::string CStr(float value);
std::string CStr(float value, char decimalSeparator);
std::string CStr(std::int16_t value);

}  // namespace toolkit
