// The benchmark's arithmetic on recorded key events: what the table and the targets rest on.

#include <gtest/gtest.h>

#include <cmath>

#include "Stats.h"

namespace bench {
namespace {

constexpr long long ms = 1'000'000;

KeyEvent press(long long atNs, unsigned long serverMs, bool numLockOn) {
    return {true, serverMs, atNs, numLockOn};
}
KeyEvent release(long long atNs, unsigned long serverMs, bool numLockOn) {
    return {false, serverMs, atNs, numLockOn};
}

TEST(BenchDistributionTest, UsesNearestRankPercentilesOfUnsortedValues) {
    std::vector<double> values;
    for (int i = 100; i >= 1; --i) {
        values.push_back(i);
    }
    const Distribution d = distribution(values);
    EXPECT_EQ(d.min, 1);
    EXPECT_EQ(d.median, 50);
    EXPECT_EQ(d.p99, 99);
    EXPECT_EQ(d.max, 100);
    EXPECT_DOUBLE_EQ(d.mean, 50.5);

    const Distribution one = distribution({7});
    EXPECT_EQ(one.p99, 7);
    EXPECT_EQ(one.median, 7);
    EXPECT_TRUE(std::isnan(distribution({}).median));
}

TEST(BenchAnalyseTest, IntervalsDeviationAndDriftOnBothClocks) {
    // Presses 750.5, 750.4 and 752 ms apart, each read 50 us after the server took it; the
    // server stamps the whole millisecond it took the event in.
    const long long read = 50'000;
    const std::vector<KeyEvent> events = {
        press(1000 * ms + read, 1000, true),
        release(1000 * ms + 200'000 + read, 1000, true),
        press(1750 * ms + 500'000 + read, 1750, false),
        release(1750 * ms + 600'000 + read, 1750, false),
        press(2500 * ms + 900'000 + read, 2500, true),
        release(2501 * ms + read, 2501, true),
        press(3252 * ms + 900'000 + read, 3252, false),
        release(3253 * ms + 200'000 + read, 3253, false),
    };
    const PulseStats s = analyse(events, false);
    EXPECT_EQ(s.presses, 4);
    ASSERT_EQ(s.intervalsMs.size(), 3u);
    EXPECT_NEAR(s.intervalsMs[0], 750.5, 1e-9);
    EXPECT_NEAR(s.intervalsMs[1], 750.4, 1e-9);
    EXPECT_NEAR(s.intervalsMs[2], 752.0, 1e-9);
    EXPECT_NEAR(s.absDeviation.max, 2.0, 1e-9);
    EXPECT_NEAR(s.absDeviation.mean, 2.9 / 3, 1e-9);
    // 2252.9 ms for three intervals planned at 2250 ms.
    EXPECT_NEAR(s.driftMs, 2.9, 1e-9);
    EXPECT_NEAR(s.driftPercent, 100.0 * 2.9 / 2250.0, 1e-9);
    EXPECT_EQ(s.intervalServer.min, 750);
    EXPECT_EQ(s.intervalServer.max, 752);
    EXPECT_NEAR(s.driftServerMs, 2.0, 1e-9);
    EXPECT_NEAR(s.hold.max, 0.3, 1e-9);
    EXPECT_NEAR(s.hold.min, 0.1, 1e-9);
    EXPECT_EQ(s.holdServer.max, 1);
    EXPECT_EQ(s.holdsOver1MsServer, 0);
    EXPECT_EQ(s.intervalsOff3Ms, 0);
    EXPECT_EQ(s.lateArrivals, 0);
    EXPECT_NEAR(s.absDeviationUnbounded.max, 2.0, 1e-9);
    EXPECT_EQ(s.notFlipped, 0);
    EXPECT_EQ(s.pressesWithoutRelease, 0);
    EXPECT_EQ(s.longestInputGapMs, 751);  // 1750 -> 2500 is 750; 2501 -> 3252 is 751
}

TEST(BenchAnalyseTest, AnEventReadLateCountsFromTheEndOfItsStampedMillisecond) {
    // The third press and its release were taken by the server on time but reached us together
    // 6 ms later. The server's clock may run from any origin: only differences count.
    for (const unsigned long origin : {0ul, 5'000'000ul}) {
        SCOPED_TRACE(origin);
        const long long read = 50'000;
        const std::vector<KeyEvent> events = {
            press(read, origin, true),
            release(200'000 + read, origin, true),
            press(750 * ms + read, origin + 750, false),
            release(750 * ms + 100'000 + read, origin + 750, false),
            press(1506 * ms + 300'000, origin + 1500, true),
            release(1506 * ms + 300'000, origin + 1500, true),
            press(2250 * ms + read, origin + 2250, false),
            release(2250 * ms + 100'000 + read, origin + 2250, false),
        };
        const PulseStats s = analyse(events, false);
        EXPECT_EQ(s.lateArrivals, 2);
        ASSERT_EQ(s.intervalsMs.size(), 3u);
        EXPECT_NEAR(s.intervalsMs[1], 751.0, 1e-9);
        EXPECT_NEAR(s.intervalsMs[2], 749.0, 1e-9);
        EXPECT_NEAR(s.absDeviation.max, 1.0, 1e-9);
        EXPECT_NEAR(s.absDeviationUnbounded.max, 6.25, 1e-9);
        EXPECT_EQ(s.intervalsOff3Ms, 0);
        EXPECT_NEAR(s.hold.max, 0.2, 1e-9);
        EXPECT_NEAR(s.hold.min, 0.0, 1e-9);
        EXPECT_NEAR(s.driftMs, 0.0, 1e-9);
    }
}

TEST(BenchAnalyseTest, FlipsAreJudgedAfterTheReleaseAndAgainstTheStateBefore) {
    // XKB unlocks Num Lock on the release: right after the second press it still reads on.
    // The third press changes nothing (the key was stuck, say), and the first press is judged
    // against the state before the run.
    const std::vector<KeyEvent> events = {
        press(0, 0, true),
        release(1 * ms, 1, true),
        press(750 * ms, 750, true),
        release(751 * ms, 751, false),
        press(1500 * ms, 1500, false),
        release(1501 * ms, 1501, false),
    };
    EXPECT_EQ(analyse(events, false).notFlipped, 1);
    EXPECT_EQ(analyse(events, true).notFlipped, 2);
}

TEST(BenchAnalyseTest, APressKeepsOnlyTheReleaseThatFollowsIt) {
    // A release before the first press belongs to an earlier subject: no hold and no gap from
    // it. The last press has no release yet; its own reading decides its flip.
    const std::vector<KeyEvent> events = {
        release(0, 0, false),
        press(400 * ms, 400, true),
        release(400 * ms + 500'000, 400, true),
        press(1150 * ms, 1150, false),
    };
    const PulseStats s = analyse(events, false);
    EXPECT_EQ(s.presses, 2);
    EXPECT_EQ(s.pressesWithoutRelease, 1);
    EXPECT_NEAR(s.hold.max, 0.5, 1e-9);
    EXPECT_NEAR(s.hold.median, 0.5, 1e-9);
    EXPECT_EQ(s.notFlipped, 0);
    EXPECT_EQ(s.longestInputGapMs, 750);
}

TEST(BenchAnalyseTest, CountsLongHoldsAndIntervalsFarFromThePeriod) {
    // Intervals of 746.9 and 753.5 ms (off by 3.1 and 3.5) and one of 747 ms (off by 3: not
    // counted); holds of 1 and 2 ms on the server clock (only the second is 2 ms or more).
    // Each read 50 us after the server took it.
    const std::vector<KeyEvent> events = {
        press(50'000, 0, true),
        release(1'100'000, 1, true),
        press(746'950'000, 746, false),
        release(748'150'000, 748, false),
        press(1'500'450'000, 1500, true),
        release(1'500'550'000, 1500, true),
        press(2'247'450'000, 2247, false),
        release(2'247'550'000, 2247, false),
    };
    const PulseStats s = analyse(events, false);
    EXPECT_EQ(s.intervalsOff3Ms, 2);
    EXPECT_EQ(s.holdsOver1MsServer, 1);
}

TEST(BenchAnalyseTest, NoIntervalsWithoutTwoPresses) {
    const PulseStats s = analyse({press(0, 0, true), release(ms, 1, true)}, false);
    EXPECT_EQ(s.presses, 1);
    EXPECT_TRUE(s.intervalsMs.empty());
    EXPECT_TRUE(std::isnan(s.interval.median));
    EXPECT_TRUE(std::isnan(s.driftMs));
}

}  // namespace
}  // namespace bench
