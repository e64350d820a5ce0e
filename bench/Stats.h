#pragma once

// Figures from a series of Num Lock key events: intervals, drift, hold times, flips, gaps.

#include <vector>

namespace bench {

constexpr double periodMs = 750.0;

// One Num Lock key event as the server processed it.
struct KeyEvent {
    bool press = false;
    unsigned long serverMs = 0;  // the server's timestamp, milliseconds
    long long arrivalNs = 0;     // CLOCK_MONOTONIC when the record reached us
    bool numLockOn = false;      // the Num Lock indicator read once this event was processed
};

// How many of the events are presses.
int countPresses(const std::vector<KeyEvent>& keys);

// NaN everywhere when there were no values.
struct Distribution {
    double min;
    double median;
    double p99;
    double max;
    double mean;
};

// Nearest-rank percentiles (p in 0..1) of values, in any order.
Distribution distribution(std::vector<double> values);

// Both clocks: the server's (whole milliseconds) and our arrival time (nanoseconds, shown in
// milliseconds). An event's arrival time is bounded by the end of the millisecond the server
// stamped it with: the server's clock is CLOCK_MONOTONIC in whole milliseconds, give or take an
// offset, which is taken as the smallest difference between arrival and stamp in the series.
// So an event that reached us late, because we woke late or read it together with the next one,
// counts from its stamp instead, and the figures measure the subject, not us.
struct PulseStats {
    int presses = 0;
    std::vector<double> intervalsMs;        // arrival clock, bounded
    std::vector<double> intervalsServerMs;  // server clock
    Distribution interval{};
    Distribution intervalServer{};
    Distribution absDeviation{};           // |interval - 750 ms|, arrival clock, bounded
    Distribution absDeviationUnbounded{};  // the same on the arrival times as they were
    Distribution absDeviationServer{};     // the same on the server clock
    double driftMs = 0;                    // first-to-last press minus (presses - 1) x 750 ms
    double driftPercent = 0;
    double driftServerMs = 0;
    double driftServerPercent = 0;
    int intervalsOff3Ms = 0;     // |interval - 750| over 3 ms, arrival clock
    Distribution hold{};         // release - press, arrival clock, bounded
    Distribution holdServer{};   // the same on the server clock
    int holdsOver1MsServer = 0;  // release stamped 2 ms or more after its press by the server
    int lateArrivals = 0;        // events whose arrival time was bounded
    int pressesWithoutRelease = 0;
    int notFlipped = 0;  // presses (with their release) after which Num Lock was as before
    double longestInputGapMs = 0;  // server clock, between consecutive key events while pulsing
};

// Events in the order the server processed them; numLockBefore is the indicator before the first.
PulseStats analyse(const std::vector<KeyEvent>& events, bool numLockBefore);

}  // namespace bench
