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
//
// It is kept because it pays: behind another window (where the pulse spends most of its life)
// the program takes about 0.016 % of a core with it and 0.020 to 0.025 % on Qt's own event loop
// (QT_NO_GLIB=1), in alternating runs on one machine; in front the two are alike. Why it is safe:
// - prepare and query are GLib's calls for running a context from another loop, and they are
//   made here with the context acquired, between two of Qt's iterations (Qt emits aboutToBlock
//   before it iterates), never inside GLib's own prepare or check. Each prepare starts a cycle
//   afresh, so leaving one after the wait, without check or dispatch, leaves nothing behind.
// - Nothing of Qt's or GLib's is dispatched here: only our own timers' descriptors, read and
//   handled as their Qt socket notifiers would. Whatever else is ready is left for Qt's loop,
//   which runs its full cycle next.
// - A tick may open a modal loop or a message box; that loop runs Qt's event loop in turn, as a
//   handler called from Qt's loop would, and its own aboutToBlock waits here again with a
//   query of its own.
// The desktop tests run the pulse on both loops.

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
