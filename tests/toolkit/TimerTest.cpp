#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <vector>

#include "tests/support/TestEnvironment.h"
#include "toolkit/Form.h"
#include "toolkit/Forms.h"
#include "toolkit/Peers.h"
#include "toolkit/Timer.h"

using namespace std::chrono_literals;
using testing_support::runEventsFor;
using testing_support::runEventsUntil;

namespace {

toolkit::WindowDesign design() {
    toolkit::WindowDesign design;
    design.caption = "timers";
    design.clientWidth = 1500;
    design.clientHeight = 1500;
    return design;
}

class TimerForm : public toolkit::Form {
  public:
    TimerForm() : Form(design()) {
        timer.Tick = [this] { ++ticks; };
    }
    toolkit::Timer timer{*this, "timer"};
    toolkit::Timer second{*this, "second"};
    int ticks = 0;
};

class TimerTest : public testing::Test {
  protected:
    void SetUp() override {
        testing_support::resetAll();
        form.Show();
    }
    void TearDown() override { toolkit::Unload(form); }
    TimerForm form;
};

TEST_F(TimerTest, IsDesignedDisabledWithIntervalZero) {
    EXPECT_FALSE(form.timer.Enabled());
    EXPECT_EQ(form.timer.Interval(), 0);
}

TEST_F(TimerTest, IntervalZeroNeverFires) {
    form.timer.setEnabled(true);
    runEventsFor(150ms);
    EXPECT_EQ(form.ticks, 0);
}

TEST_F(TimerTest, FiresRepeatedlyWhileEnabledAndStopsWhenDisabled) {
    form.timer.setInterval(40);
    form.timer.setEnabled(true);
    ASSERT_TRUE(runEventsUntil([&] { return form.ticks >= 3; }, 2s));
    form.timer.setEnabled(false);
    const int ticksWhenStopped = form.ticks;
    runEventsFor(150ms);
    EXPECT_EQ(form.ticks, ticksWhenStopped);
}

TEST_F(TimerTest, EnablingStartsAFreshInterval) {
    form.timer.setInterval(300);
    form.timer.setEnabled(true);
    runEventsFor(200ms);
    form.timer.setEnabled(false);
    form.timer.setEnabled(true);
    // 400 ms after the first start: the first interval would have ended, the fresh one not.
    runEventsFor(200ms);
    EXPECT_EQ(form.ticks, 0);
    EXPECT_TRUE(runEventsUntil([&] { return form.ticks == 1; }, 2s));
}

TEST_F(TimerTest, WritingTheIntervalWhileEnabledStartsAFreshInterval) {
    form.timer.setInterval(300);
    form.timer.setEnabled(true);
    runEventsFor(200ms);
    form.timer.setInterval(300);
    runEventsFor(200ms);
    EXPECT_EQ(form.ticks, 0);
    EXPECT_TRUE(runEventsUntil([&] { return form.ticks == 1; }, 2s));
}

TEST_F(TimerTest, ATimerStartedInATickFiresAfterItsOwnInterval) {
    toolkit::Timer& first = form.timer;
    toolkit::Timer& second = form.second;
    std::vector<std::string> order;
    first.Tick = [&] {
        order.push_back("first");
        second.setEnabled(true);
        first.setEnabled(false);
    };
    second.Tick = [&] {
        order.push_back("second");
        first.setEnabled(true);
        second.setEnabled(false);
    };
    second.setInterval(60);
    first.setInterval(60);
    first.setEnabled(true);
    ASSERT_TRUE(runEventsUntil([&] { return order.size() >= 4; }, 3s));
    EXPECT_EQ(order[0], "first");
    EXPECT_EQ(order[1], "second");
    EXPECT_EQ(order[2], "first");
    EXPECT_EQ(order[3], "second");
    EXPECT_FALSE(first.Enabled() && second.Enabled());
}

TEST_F(TimerTest, UnloadingStopsTheTimerAndTheNextLoadStartsFromDesign) {
    form.timer.setInterval(40);
    form.timer.setEnabled(true);
    toolkit::Unload(form);
    runEventsFor(150ms);
    EXPECT_EQ(form.ticks, 0);

    form.Show();
    EXPECT_FALSE(form.timer.Enabled());
    EXPECT_EQ(form.timer.Interval(), 0);
    runEventsFor(100ms);
    EXPECT_EQ(form.ticks, 0);
}

TEST_F(TimerTest, AnErrorInATickGoesToTheErrorReport) {
    form.timer.Tick = [this] {
        ++form.ticks;
        throw toolkit::RuntimeError(13, "Type mismatch");
    };
    form.timer.setInterval(30);
    form.timer.setEnabled(true);
    ASSERT_TRUE(runEventsUntil([&] { return form.ticks >= 2; }, 2s));
    ASSERT_FALSE(testing_support::reportedErrors().empty());
    EXPECT_EQ(testing_support::reportedErrors().front().number(), 13);
}

// The backend's side of a timer: each armed deadline fires once, never before it, in deadline
// order whatever the order of arming; a disarmed or re-armed deadline does not fire.
TEST_F(TimerTest, PeersFireOnceInDeadlineOrderAndNeverEarly) {
    struct Firing {
        int id;
        long long deadline;
        long long firedAt;
    };
    std::vector<Firing> firings;
    std::vector<std::unique_ptr<toolkit::TimerPeer>> peers;
    std::vector<long long> deadlines;
    const long long start = toolkit::steadyNowNs();
    const int offsetsMs[] = {90, 30, 60, 10, 45};
    for (int id = 0; id < 5; ++id) {
        deadlines.push_back(start + offsetsMs[id] * 1'000'000LL);
        peers.push_back(toolkit::windowSystem().createTimer([&firings, &deadlines, id] {
            firings.push_back({id, deadlines[std::size_t(id)], toolkit::steadyNowNs()});
        }));
        peers.back()->arm(deadlines.back());
    }
    peers[2]->disarm();
    deadlines[4] = start + 120 * 1'000'000LL;
    peers[4]->arm(deadlines[4]);

    ASSERT_TRUE(runEventsUntil([&] { return firings.size() >= 4; }, 3s));
    runEventsFor(100ms);

    std::vector<int> order;
    for (const Firing& firing : firings) {
        order.push_back(firing.id);
        EXPECT_GE(firing.firedAt, firing.deadline) << "timer " << firing.id << " fired early";
    }
    EXPECT_EQ(order, (std::vector<int>{3, 1, 0, 4}));
}

}  // namespace
