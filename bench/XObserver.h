#pragma once

// Our own X server and window manager, and everything the benchmark watches on it: every Num
// Lock press and release the server processes (RECORD), the Num Lock indicator (XKB), the
// server's idle time (MIT-SCREEN-SAVER) and the mapping of a window with a given name.

#include <X11/Xlib.h>
#include <X11/extensions/record.h>
#include <X11/extensions/scrnsaver.h>
#include <sys/types.h>

#include <optional>
#include <set>
#include <string>
#include <vector>

#include "Stats.h"

namespace bench {

// An Xvfb of its own (-displayfd, -dpi 96, -noreset) with openbox on it.
class Desktop {
  public:
    Desktop(const std::string& workDir);
    ~Desktop();
    Desktop(const Desktop&) = delete;
    Desktop& operator=(const Desktop&) = delete;

    const std::string& display() const { return display_; }

  private:
    std::string display_;
    pid_t xvfb_ = -1;
    pid_t openbox_ = -1;
};

struct IdleSample {
    long long atNs = 0;
    unsigned long idleMs = 0;
};

class Observer {
  public:
    explicit Observer(const std::string& display);
    ~Observer();
    Observer(const Observer&) = delete;
    Observer& operator=(const Observer&) = delete;

    // Forgets what was seen so far and starts looking for a window with this name (empty: none);
    // windows already listed by the window manager are not it.
    void reset(const std::string& windowName);

    // Waits up to timeoutMs for anything from the server and takes it in.
    void pump(int timeoutMs);

    bool numLockOn();
    unsigned long idleMs();
    void sampleIdle();
    // The name of the window with the keyboard focus; empty when it has none.
    std::string focusedWindowName();
    // A subject that ended between a press and its release leaves the key down, and the next
    // subject's first press would then not count; this releases it.
    void releaseNumLockIfDown();

    const std::vector<KeyEvent>& keys() const { return keys_; }
    const std::vector<IdleSample>& idle() const { return idle_; }
    // CLOCK_MONOTONIC when the named window was mapped.
    std::optional<long long> mappedAtNs() const { return mappedAtNs_; }
    // Called when a press is taken in (before its release), for reading the subject's counters.
    void (*onFirstPress)(void* context) = nullptr;
    void* onFirstPressContext = nullptr;

  private:
    static void recorded(XPointer closure, XRecordInterceptData* data);
    void takeEvent(const XEvent& event);
    void scanClientList();
    void adopt(Window window);

    Display* control_ = nullptr;
    Display* data_ = nullptr;
    XRecordContext context_ = 0;
    KeyCode numLock_ = 0;
    unsigned numLockMask_ = 0;
    Atom clientList_ = None;
    XScreenSaverInfo* saver_ = nullptr;

    std::vector<KeyEvent> keys_;
    std::vector<IdleSample> idle_;
    std::string windowName_;
    std::set<Window> known_;
    Window target_ = None;
    std::optional<long long> mappedAtNs_;
    bool firstPressSeen_ = false;
};

}  // namespace bench
