#pragma once

#include <functional>
#include <memory>

#include "Control.h"

namespace toolkit {

class TimerPeer;

// Interval 0 never fires. A fresh interval starts when Enabled goes from false to true and when
// Interval is written while enabled. Setting Enabled true on an enabled timer keeps its interval
// running.
//
// Intervals are kept on a schedule: a fresh interval started inside another timer's tick counts
// from that tick's due time, and a running timer's next tick from its last due time, so ticks
// that are handled late do not push every later tick back.
class Timer : public Control {
  public:
    Timer(Form& owner, std::string_view name);
    ~Timer() override;

    bool Enabled() const { return enabled_; }
    void setEnabled(bool enabled);
    int Interval() const { return interval_; }
    void setInterval(int milliseconds);

    std::function<void()> Tick;

  protected:
    void resetToDesign() override;
    void attach(WindowPeer& window) override;
    void detach() override;

  private:
    void startFreshInterval();
    void fired();

    bool enabled_ = false;
    int interval_ = 0;
    long long deadlineNs_ = 0;
    std::unique_ptr<TimerPeer> peer_;
};

}  // namespace toolkit

namespace toolkit {

// While one lives, fresh intervals count from the present: a modal loop or message box opened
// inside a tick is not part of that tick's schedule.
class OutsideTick {
  public:
    OutsideTick();
    ~OutsideTick();
    OutsideTick(const OutsideTick&) = delete;
    OutsideTick& operator=(const OutsideTick&) = delete;

  private:
    long long savedDueNs_;
};

}  // namespace toolkit
