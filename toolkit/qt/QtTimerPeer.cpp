#include "QtTimerPeer.h"

#include <time.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/timerfd.h>
#endif
#include <algorithm>
#include <cstdint>
#include <utility>

#include "TickWait.h"

namespace toolkit::qt {

QtTimerPeer::QtTimerPeer(std::function<void()> fired) : fired_(std::move(fired)) {
#ifdef __linux__
    fd_ = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    if (fd_ >= 0) {
        notifier_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Read);
        QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { expired(); });
        TickWait::watch(fd_, [this] { expired(); });
        return;
    }
#endif
    timer_ = std::make_unique<QTimer>();
    timer_->setSingleShot(true);
    timer_->setTimerType(Qt::PreciseTimer);
    QObject::connect(timer_.get(), &QTimer::timeout, [this] { expired(); });
}

QtTimerPeer::~QtTimerPeer() {
    notifier_.reset();
    if (fd_ >= 0) {
        TickWait::unwatch(fd_);
        close(fd_);
    }
}

void QtTimerPeer::arm(long long deadlineNs) {
    deadlineNs_ = deadlineNs;
    start();
}

void QtTimerPeer::disarm() {
    if (timer_) {
        timer_->stop();
    }
#ifdef __linux__
    if (fd_ >= 0 && armed_) {
        const itimerspec off{};
        timerfd_settime(fd_, 0, &off, nullptr);  // also forgets an expiry not yet read
        armed_ = false;
    }
#endif
}

void QtTimerPeer::start() {
#ifdef __linux__
    if (fd_ >= 0) {
        // The steady clock is CLOCK_MONOTONIC with glibc; the difference is measured all the
        // same, so that a deadline on it is a deadline on CLOCK_MONOTONIC.
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        const long long monotonicNs = now.tv_sec * 1'000'000'000LL + now.tv_nsec;
        const long long dueNs = std::max(1LL, deadlineNs_ - steadyNowNs() + monotonicNs);
        itimerspec due{};
        due.it_value.tv_sec = static_cast<time_t>(dueNs / 1'000'000'000LL);
        due.it_value.tv_nsec = static_cast<long>(dueNs % 1'000'000'000LL);
        timerfd_settime(fd_, TFD_TIMER_ABSTIME, &due, nullptr);
        armed_ = true;
        return;
    }
#endif
    const long long remainingNs = deadlineNs_ - steadyNowNs();
    const long long ms = remainingNs <= 0 ? 0 : (remainingNs + 999'999) / 1'000'000;
    timer_->start(static_cast<int>(ms));
}

void QtTimerPeer::expired() {
#ifdef __linux__
    if (fd_ >= 0) {
        std::uint64_t expirations = 0;
        if (read(fd_, &expirations, sizeof expirations) != sizeof expirations) {
            return;  // disarmed or re-armed since it became readable
        }
        armed_ = false;
    }
#endif
    if (steadyNowNs() < deadlineNs_) {
        start();
        return;
    }
    fired_();
}

}  // namespace toolkit::qt
