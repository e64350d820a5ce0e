#include "app/PulseLimit.h"

#include <cstdio>

namespace pulseward::PulseLimit {

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// The whole number at the start of the text, taken off it; nothing when there is none or it is
// beyond any time a pulse could be given.
std::optional<long long> takeNumber(std::string_view& text) {
    long long value = 0;
    std::size_t length = 0;
    while (length < text.size() && isDigit(text[length])) {
        value = value * 10 + (text[length] - '0');
        if (value > std::chrono::seconds(longest).count()) {
            return std::nullopt;
        }
        ++length;
    }
    if (length == 0) {
        return std::nullopt;
    }
    text.remove_prefix(length);
    return value;
}

}  // namespace

std::optional<std::chrono::seconds> parseDuration(std::string_view text) {
    constexpr struct {
        char unit;
        long long seconds;
    } units[] = {{'h', 3600}, {'m', 60}, {'s', 1}};
    long long total = 0;
    std::size_t next = 0;
    if (text.empty()) {
        return std::nullopt;
    }
    while (!text.empty()) {
        const auto number = takeNumber(text);
        if (!number || text.empty()) {
            return std::nullopt;
        }
        while (next < std::size(units) && units[next].unit != text.front()) {
            ++next;
        }
        if (next == std::size(units)) {
            return std::nullopt;
        }
        total += *number * units[next].seconds;
        ++next;
        text.remove_prefix(1);
        if (total > std::chrono::seconds(longest).count()) {
            return std::nullopt;
        }
    }
    if (total == 0) {
        return std::nullopt;
    }
    return std::chrono::seconds(total);
}

std::optional<ClockTime> parseUntil(std::string_view text, int nowHour, int nowMinute,
                                    int nowSecond) {
    const auto colon = text.find(':');
    if (colon == std::string_view::npos || colon == 0 || colon > 2 ||
        text.size() - colon - 1 != 2) {
        return std::nullopt;
    }
    std::string_view hours = text.substr(0, colon);
    std::string_view minutes = text.substr(colon + 1);
    const auto hour = takeNumber(hours);
    const auto minute = takeNumber(minutes);
    if (!hour || !minute || !hours.empty() || !minutes.empty() || *hour > 23 || *minute > 59) {
        return std::nullopt;
    }
    const int target = int(*hour) * 3600 + int(*minute) * 60;
    const int now = nowHour * 3600 + nowMinute * 60 + nowSecond;
    return ClockTime{int(*hour), int(*minute), target <= now};
}

std::string describe(std::chrono::seconds left) {
    const long long total = left.count() < 0 ? 0 : left.count();
    const long long hours = total / 3600;
    const long long minutes = total / 60 % 60;
    const long long seconds = total % 60;
    char text[64];
    if (hours > 0) {
        std::snprintf(text, sizeof text, "%lld h %02lld min", hours, minutes);
    } else if (minutes > 0) {
        std::snprintf(text, sizeof text, "%lld min %lld s", minutes, seconds);
    } else {
        std::snprintf(text, sizeof text, "%lld s", seconds);
    }
    return text;
}

}  // namespace pulseward::PulseLimit
