#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

// The texts that set a timed pulse's end, read without a clock so that every case can be tried.
namespace pulseward::PulseLimit {

// The longest time a pulse can be given.
inline constexpr std::chrono::hours longest{24 * 7};

// "90m", "1h30m", "45s", "2h5s": hours, minutes and seconds in that order, each at most once,
// in whole numbers. Nothing for any other text, for no time at all and for more than `longest`.
std::optional<std::chrono::seconds> parseDuration(std::string_view text);

struct ClockTime {
    int hour = 0;
    int minute = 0;
    bool tomorrow = false;  // the time has already come today (or is now)

    bool operator==(const ClockTime&) const = default;
};

// "HH:MM" (or "H:MM") on the 24-hour clock, the next time it comes after the given time of day.
std::optional<ClockTime> parseUntil(std::string_view text, int nowHour, int nowMinute,
                                    int nowSecond);

// The time left as the user reads it: "1 h 05 min", "4 min 10 s", "45 s".
std::string describe(std::chrono::seconds left);

}  // namespace pulseward::PulseLimit
