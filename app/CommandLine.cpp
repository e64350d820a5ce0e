#include "app/CommandLine.h"

#include <ctime>
#include <string>

#include "app/PulseLimit.h"
#include "app/PulsewardSettings.h"
#include "toolkit/CommandLine.h"

namespace pulseward::CommandLine {

namespace {

toolkit::CommandLineDescription description() {
    return {
        std::string(PulsewardSettings::appName),
        PULSEWARD_VERSION,
        "Keeps the computer from going idle: while its pulse runs, one Num Lock press every "
        "750 ms. One copy runs in a session; a later start hands its command to it.",
        {{"start", "", "Starts the pulse (of the running copy, or of a new one)."},
         {"stop", "", "Stops the running copy's pulse."},
         {"toggle", "", "Starts the pulse if it is stopped, stops it if it runs."},
         {"quit", "", "Ends the running copy."},
         {"for", "duration", "Starts the pulse and stops it after the duration: 90m, 1h30m, 45s."},
         {"until", "HH:MM", "Starts the pulse and stops it at that time, today or tomorrow."},
         {"status", "",
          "Says whether the running copy's pulse runs and how long it has left; exits 1 when "
          "no copy runs."}},
    };
}

// Seconds from now to the next time of day the text names, or nothing when it names none.
std::optional<std::chrono::seconds> untilClockTime(const std::string& text) {
    const std::time_t now = std::time(nullptr);
    // Read at start-up, before any other thread exists.
    const std::tm local = *std::localtime(&now);
    const auto target = PulseLimit::parseUntil(text, local.tm_hour, local.tm_min, local.tm_sec);
    if (!target) {
        return std::nullopt;
    }
    std::tm end = local;
    end.tm_hour = target->hour;
    end.tm_min = target->minute;
    end.tm_sec = 0;
    end.tm_mday += target->tomorrow ? 1 : 0;
    end.tm_isdst = -1;  // the clock may change in between
    const std::time_t endTime = std::mktime(&end);
    if (endTime == std::time_t(-1) || endTime <= now) {
        return std::nullopt;
    }
    return std::chrono::seconds(endTime - now);
}

}  // namespace

std::optional<int> read(int argc, char** argv, Request& request) {
    const toolkit::CommandLineDescription about = description();
    toolkit::GivenOptions given;
    if (const auto status = toolkit::readCommandLine(argc, argv, about, given)) {
        return status;
    }
    const struct {
        const char* name;
        Command command;
    } commands[] = {{"start", Command::Start},   {"stop", Command::Stop},
                    {"toggle", Command::Toggle}, {"quit", Command::Quit},
                    {"status", Command::Status}, {"for", Command::Start},
                    {"until", Command::Start}};
    int named = 0;
    for (const auto& c : commands) {
        if (given.contains(c.name)) {
            ++named;
            request.command = c.command;
        }
    }
    // --start with --for or --until says the same twice.
    if (given.contains("start") && (given.contains("for") || given.contains("until"))) {
        --named;
    }
    if (named > 1) {
        toolkit::commandLineMistake(
            about, "Give one of --start, --stop, --toggle, --quit, --status, --for, --until.");
        return 2;
    }
    if (given.contains("for")) {
        request.limit = PulseLimit::parseDuration(given["for"]);
        if (!request.limit) {
            toolkit::commandLineMistake(
                about, "--for takes a duration such as 90m, 1h30m or 45s, at most 168h, not \"" +
                           given["for"] + "\".");
            return 2;
        }
    }
    if (given.contains("until")) {
        request.limit = untilClockTime(given["until"]);
        if (!request.limit) {
            toolkit::commandLineMistake(about, "--until takes a time of day such as 17:30, not \"" +
                                                   given["until"] + "\".");
            return 2;
        }
    }
    return std::nullopt;
}

}  // namespace pulseward::CommandLine
