#pragma once

// A tick is due at an absolute time in nanoseconds. On Linux a timerfd armed for that very
// time (TFD_TIMER_ABSTIME) wakes the event loop when it is due, so ticks 750 ms apart are 750 ms
// apart to within the wake-up itself. Elsewhere, or without a timerfd, a precise QTimer runs for
// the remaining whole milliseconds, rounded up so that a tick is never early; that makes each
// tick up to a millisecond or two late, as Qt rounds once more.

#include <QSocketNotifier>
#include <QTimer>
#include <functional>
#include <memory>

#include "../Peers.h"

namespace toolkit::qt {

class QtTimerPeer : public TimerPeer {
  public:
    explicit QtTimerPeer(std::function<void()> fired);
    ~QtTimerPeer() override;

    QtTimerPeer(const QtTimerPeer&) = delete;
    QtTimerPeer& operator=(const QtTimerPeer&) = delete;

    void arm(long long deadlineNs) override;
    void disarm() override;

  private:
    void start();
    void expired();

    std::function<void()> fired_;
    long long deadlineNs_ = 0;
    int fd_ = -1;
    bool armed_ = false;
    std::unique_ptr<QSocketNotifier> notifier_;
    std::unique_ptr<QTimer> timer_;
};

}  // namespace toolkit::qt
