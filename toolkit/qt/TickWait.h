#pragma once

// While the pulse runs, the program wakes up for nothing but its own timers' ticks. Woken by
// one, Qt's GLib loop asks each of its sources whether it is ready, before and after waiting,
// and hands the tick on through Qt's socket notifier and the application's event delivery:
// about a hundred pages of Qt's and GLib's code and data touched at every tick. After a long
// sleep each page touched costs the processor several microseconds on a virtual machine, more
// than the tick's own work.
//
// So just before Qt's loop waits, TickWait waits in its place, on the very descriptors and
// time-out Qt's loop would wait on, and hands a tick of ours straight to its timer. Anything
// else (an X event, a posted event, a signal, Qt's own timers coming due) ends the wait and
// Qt's loop takes over as usual. So does a tick that changed anything in Qt, since Qt may then
// have started a timer of its own or have requests to send, and a tick that made or removed a
// timer.

#include <functional>

namespace toolkit::qt {

class TickWait {
  public:
    // A timer's descriptor, readable when it is due, and what reads and handles it.
    static void watch(int fd, std::function<void()> expired);
    static void unwatch(int fd);

    // Called by anything that changes Qt's state: after a tick that did, the wait ends.
    static void qtChanged();

    // Whether Qt runs GLib's loop on this thread, which the wait stands in for.
    static bool available();

    // Waits as described above. afterTicks runs after each batch of ticks handled here.
    static void waitBeforeQt(const std::function<void()>& afterTicks);
};

}  // namespace toolkit::qt
