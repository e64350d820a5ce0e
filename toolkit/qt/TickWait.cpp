#include "TickWait.h"

#include <glib.h>

#include <QAbstractEventDispatcher>
#include <algorithm>
#include <array>
#include <utility>
#include <vector>

namespace toolkit::qt {

namespace {

struct Watched {
    int fd;
    std::function<void()> expired;
};

std::vector<Watched> watched;
// Counts every watch and unwatch: a tick that creates or removes a timer ends the wait, since
// the descriptors waited on are no longer the loop's.
unsigned long watchChanges = 0;
// Counted, not flagged: a modal loop opened by a tick waits here in turn, and must not clear
// what the tick's own changes say.
unsigned long qtChanges = 0;

// Asks GLib's sources, as its loop does before waiting, what to wait on and for how long.
// False when one is ready already, so that there is nothing to wait for, or when there are
// more descriptors than fit.
template <std::size_t N>
bool queryLoop(std::array<GPollFD, N>& fds, int& count, int& timeoutMs) {
    // The main thread's Qt loop runs GLib's default context.
    GMainContext* context = g_main_context_default();
    if (!g_main_context_acquire(context)) {
        return false;
    }
    gint priority = 0;
    const bool ready = g_main_context_prepare(context, &priority);
    if (!ready) {
        count =
            g_main_context_query(context, priority, &timeoutMs, fds.data(), static_cast<gint>(N));
    }
    g_main_context_release(context);
    return !ready && count <= static_cast<int>(N) && timeoutMs != 0;
}

}  // namespace

void TickWait::watch(int fd, std::function<void()> expired) {
    unwatch(fd);
    watched.push_back({fd, std::move(expired)});
    ++watchChanges;
}

void TickWait::unwatch(int fd) {
    std::erase_if(watched, [fd](const Watched& w) { return w.fd == fd; });
    ++watchChanges;
}

void TickWait::qtChanged() {
    ++qtChanges;
}

bool TickWait::available() {
    const QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance();
    return dispatcher && dispatcher->inherits("QEventDispatcherGlib");
}

void TickWait::waitBeforeQt(const std::function<void()>& afterTicks) {
    if (watched.empty()) {
        return;
    }
    // Each wait has its own: a tick may open a modal loop, which waits here in turn.
    std::array<GPollFD, 64> fds;
    int count = 0;
    int timeoutMs = -1;
    if (!queryLoop(fds, count, timeoutMs)) {
        return;
    }
    const gint64 dueUs = timeoutMs < 0 ? -1 : g_get_monotonic_time() + gint64(timeoutMs) * 1000;
    for (;;) {
        int waitMs = -1;
        if (dueUs >= 0) {
            const gint64 leftUs = dueUs - g_get_monotonic_time();
            if (leftUs <= 0) {
                return;
            }
            waitMs = static_cast<int>((leftUs + 999) / 1000);
        }
        if (g_poll(fds.data(), static_cast<guint>(count), waitMs) <= 0) {
            return;  // Qt's own timers are due, or the wait was interrupted
        }
        const unsigned long watchChangesBefore = watchChanges;
        const unsigned long qtChangesBefore = qtChanges;
        bool othersReady = false;
        bool ticked = false;
        for (int i = 0; i < count; ++i) {
            const GPollFD& fd = fds[static_cast<std::size_t>(i)];
            if (fd.revents == 0) {
                continue;
            }
            // Looked up again for each: a tick may stop or remove another timer.
            const auto timer = std::find_if(watched.begin(), watched.end(),
                                            [&](const Watched& w) { return w.fd == fd.fd; });
            if (timer == watched.end() || (fd.revents & (G_IO_ERR | G_IO_HUP | G_IO_NVAL))) {
                othersReady = true;
                continue;
            }
            const std::function<void()> expired = timer->expired;
            expired();
            ticked = true;
        }
        if (ticked) {
            afterTicks();
        }
        if (othersReady || qtChanges != qtChangesBefore || watchChanges != watchChangesBefore) {
            return;
        }
    }
}

}  // namespace toolkit::qt
