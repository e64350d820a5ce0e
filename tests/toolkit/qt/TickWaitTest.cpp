// The wait between ticks: our timers' ticks are handled without a round of Qt's loop each,
// and anything that concerns Qt still gets one.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <QAbstractEventDispatcher>
#include <QMetaObject>
#include <QSocketNotifier>
#include <QTimer>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/TestEnvironment.h"
#include "tests/toolkit/FormFixtures.h"
#include "toolkit/Form.h"
#include "toolkit/Forms.h"
#include "toolkit/Timer.h"
#include "toolkit/qt/TickWait.h"

using namespace std::chrono_literals;
using testing_support::runEventsFor;
using testing_support::runEventsUntil;

namespace {

class TickForm : public toolkit::Form {
  public:
    TickForm() : Form(form_test::design("ticks")) {}
    toolkit::Timer first{*this, "first"};
    toolkit::Timer second{*this, "second"};
};

class TickWait : public form_test::FormTest {
  protected:
    void SetUp() override {
        FormTest::SetUp();
        form.Show();
        runEventsFor(50ms);  // the window's own events first
        blocks = QObject::connect(QAbstractEventDispatcher::instance(),
                                  &QAbstractEventDispatcher::aboutToBlock, [this] { ++loopWaits; });
    }
    void TearDown() override {
        QObject::disconnect(blocks);
        FormTest::TearDown();
    }

    TickForm form;
    QMetaObject::Connection blocks;
    int loopWaits = 0;
};

TEST_F(TickWait, TicksThatLeaveQtAloneDoNotRunItsLoop) {
    int ticks = 0;
    form.first.Tick = [&] { ++ticks; };
    form.first.setInterval(15);
    form.first.setEnabled(true);
    runEventsFor(400ms);
    ASSERT_GE(ticks, 15);
    // The loop waits once when runEventsFor starts it and once more for its own quit timer.
    EXPECT_LE(loopWaits, 4) << ticks << " ticks";
}

// A tick that changed Qt's state (here, started a Qt timer, which posts Qt nothing) ends the
// wait, so that Qt's loop takes the new timer into account before waiting again. The loop runs
// without a break meanwhile, as the program's does.
TEST_F(TickWait, ATickThatChangedQtHandsTheWaitBackToQtsLoop) {
    int pipeFds[2];
    ASSERT_EQ(::pipe2(pipeFds, O_NONBLOCK | O_CLOEXEC), 0);
    std::vector<std::string> order;
    const auto tick = [&] {
        char byte;
        if (::read(pipeFds[0], &byte, 1) != 1) {
            return;
        }
        order.push_back("tick");
        if (order.size() == 1) {
            QTimer::singleShot(30, [&] { order.push_back("Qt's timer"); });
            toolkit::qt::TickWait::qtChanged();
        }
    };
    // As a timer of ours is watched: by Qt's loop and by the wait.
    const auto start = std::chrono::steady_clock::now();
    QSocketNotifier notifier(pipeFds[0], QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, tick);
    toolkit::qt::TickWait::watch(pipeFds[0], tick);
    // Written from another thread, as a timer expires: no Qt timer of its own to end the wait.
    std::thread writer([&] {
        for (const auto at : {100ms, 500ms}) {
            std::this_thread::sleep_until(start + at);
            (void)!::write(pipeFds[1], "x", 1);
        }
    });

    runEventsFor(800ms);
    writer.join();
    toolkit::qt::TickWait::unwatch(pipeFds[0]);
    ::close(pipeFds[0]);
    ::close(pipeFds[1]);
    EXPECT_EQ(order, (std::vector<std::string>{"tick", "Qt's timer", "tick"}));
}

TEST_F(TickWait, ATickThatUnloadsTheFormStopsTheOtherTimerDueWithIt) {
    int ticks = 0;
    const auto unload = [&] {
        ++ticks;
        toolkit::Unload(form);
    };
    form.first.Tick = unload;
    form.second.Tick = unload;
    form.first.setInterval(30);
    form.second.setInterval(30);
    form.first.setEnabled(true);
    form.second.setEnabled(true);
    ASSERT_TRUE(runEventsUntil([&] { return ticks >= 1; }, 2s));
    runEventsFor(150ms);
    EXPECT_EQ(ticks, 1);
    EXPECT_FALSE(form.isLoaded());
}

}  // namespace
