// The texts that end a timed pulse: durations, times of day and the day's roll-over, and the
// time left as the user reads it.

#include "app/PulseLimit.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

using namespace std::chrono_literals;
using pulseward::PulseLimit::ClockTime;
using pulseward::PulseLimit::describe;
using pulseward::PulseLimit::parseDuration;
using pulseward::PulseLimit::parseUntil;

TEST(PulseLimit, DurationsReadAsTheirSeconds) {
    const struct {
        std::string text;
        std::optional<std::chrono::seconds> seconds;
    } rows[] = {
        {"90m", 90min},
        {"1h30m", 90min},
        {"45s", 45s},
        {"2h", 2h},
        {"1h5s", 1h + 5s},
        {"1h2m3s", 1h + 2min + 3s},
        {"0h10m", 10min},
        {"100s", 100s},
        {"168h", 168h},
        {"167h59m60s", 168h},
        // Not a duration.
        {"", std::nullopt},
        {"90", std::nullopt},
        {"m", std::nullopt},
        {"0s", std::nullopt},
        {"0h0m", std::nullopt},
        {"-5m", std::nullopt},
        {"+5m", std::nullopt},
        {"5 m", std::nullopt},
        {" 5m", std::nullopt},
        {"5m ", std::nullopt},
        {"1.5h", std::nullopt},
        {"5M", std::nullopt},
        {"5d", std::nullopt},
        {"30m1h", std::nullopt},
        {"1m1m", std::nullopt},
        {"1h1h", std::nullopt},
        {"s5", std::nullopt},
        {"169h", std::nullopt},
        {"168h1s", std::nullopt},
        {"99999999999999999999s", std::nullopt},
        {"10080m1s", std::nullopt},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(parseDuration(row.text), row.seconds) << '"' << row.text << '"';
    }
}

TEST(PulseLimit, ClockTimesComeTodayOrTomorrow) {
    const struct {
        std::string text;
        int nowHour, nowMinute, nowSecond;
        std::optional<ClockTime> end;
    } rows[] = {
        {"17:30", 9, 0, 0, ClockTime{17, 30, false}},
        {"9:05", 8, 59, 59, ClockTime{9, 5, false}},
        {"09:05", 9, 4, 59, ClockTime{9, 5, false}},
        // Come already, or now: tomorrow.
        {"09:05", 9, 5, 0, ClockTime{9, 5, true}},
        {"09:05", 9, 5, 1, ClockTime{9, 5, true}},
        {"08:00", 23, 30, 0, ClockTime{8, 0, true}},
        {"00:00", 0, 0, 0, ClockTime{0, 0, true}},
        {"00:00", 23, 59, 59, ClockTime{0, 0, true}},
        {"23:59", 0, 0, 0, ClockTime{23, 59, false}},
        {"23:59", 23, 59, 30, ClockTime{23, 59, true}},
        {"0:01", 0, 0, 59, ClockTime{0, 1, false}},
        // Not a time of day.
        {"24:00", 12, 0, 0, std::nullopt},
        {"12:60", 12, 0, 0, std::nullopt},
        {"12:5", 12, 0, 0, std::nullopt},
        {"123:00", 12, 0, 0, std::nullopt},
        {":30", 12, 0, 0, std::nullopt},
        {"12:30:00", 12, 0, 0, std::nullopt},
        {"1230", 12, 0, 0, std::nullopt},
        {"12.30", 12, 0, 0, std::nullopt},
        {"-1:30", 12, 0, 0, std::nullopt},
        {"12:-3", 12, 0, 0, std::nullopt},
        {"12:30pm", 12, 0, 0, std::nullopt},
        {"", 12, 0, 0, std::nullopt},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(parseUntil(row.text, row.nowHour, row.nowMinute, row.nowSecond), row.end)
            << '"' << row.text << "\" at " << row.nowHour << ":" << row.nowMinute << ":"
            << row.nowSecond;
    }
}

TEST(PulseLimit, TimeLeftReadsInItsLargestUnits) {
    EXPECT_EQ(describe(45s), "45 s");
    EXPECT_EQ(describe(0s), "0 s");
    EXPECT_EQ(describe(-3s), "0 s");
    EXPECT_EQ(describe(60s), "1 min 0 s");
    EXPECT_EQ(describe(4min + 10s), "4 min 10 s");
    EXPECT_EQ(describe(1h + 5min + 59s), "1 h 05 min");
    EXPECT_EQ(describe(168h), "168 h 00 min");
}

}  // namespace
