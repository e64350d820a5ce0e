#include "Timer.h"

#include "Peers.h"
#include "RuntimeError.h"

namespace toolkit {

namespace {
// The due time of the tick being handled, 0 outside ticks.
long long currentTickDueNs = 0;
}  // namespace

OutsideTick::OutsideTick() : savedDueNs_(currentTickDueNs) {
    currentTickDueNs = 0;
}
OutsideTick::~OutsideTick() {
    currentTickDueNs = savedDueNs_;
}

Timer::Timer(Form& owner, std::string_view name) : Control(owner, name) {
}

Timer::~Timer() = default;

void Timer::setEnabled(bool enabled) {
    if (enabled == enabled_) {
        return;
    }
    enabled_ = enabled;
    if (enabled_) {
        startFreshInterval();
    } else if (peer_) {
        peer_->disarm();
    }
}

void Timer::setInterval(int milliseconds) {
    interval_ = milliseconds < 0 ? 0 : milliseconds;
    if (enabled_) {
        startFreshInterval();
    }
}

void Timer::startFreshInterval() {
    if (!peer_) {
        return;
    }
    if (interval_ == 0) {
        peer_->disarm();
        return;
    }
    const long long intervalNs = interval_ * 1'000'000LL;
    const long long now = steadyNowNs();
    long long anchor = currentTickDueNs;
    if (anchor == 0 || anchor + intervalNs <= now) {
        anchor = now;
    }
    deadlineNs_ = anchor + intervalNs;
    peer_->arm(deadlineNs_);
}

void Timer::fired() {
    if (!enabled_ || interval_ == 0) {
        return;
    }
    const long long dueNs = deadlineNs_;
    const long long intervalNs = interval_ * 1'000'000LL;
    const long long now = steadyNowNs();
    deadlineNs_ = dueNs + intervalNs > now ? dueNs + intervalNs : now + intervalNs;
    peer_->arm(deadlineNs_);

    const long long outerDueNs = currentTickDueNs;
    currentTickDueNs = dueNs;
    invokeHandler(Tick);
    currentTickDueNs = outerDueNs;
}

void Timer::resetToDesign() {
    enabled_ = false;
    interval_ = 0;
}

void Timer::attach(WindowPeer&) {
    peer_ = windowSystem().createTimer([this] { fired(); });
}

void Timer::detach() {
    peer_.reset();
}

}  // namespace toolkit
