#pragma once

// The window being worked in: a key reader of ours (pulseward_bench --key-reader), a plain Xlib
// window in a process of its own that has the keyboard focus and reads every key, as an editor
// does, so the server hands each press to a client while it goes on to the release.

#include <sys/types.h>

#include <string>

#include "Process.h"

namespace bench {

class WindowInFront {
  public:
    // The window's name, by which the benchmark sees it has the focus.
    static constexpr const char* name = "pulseward_bench: in front";

    // Starts the reader as the subject would be started, with its log beside the subject's.
    explicit WindowInFront(const SpawnOptions& subject);
    ~WindowInFront();
    WindowInFront(const WindowInFront&) = delete;
    WindowInFront& operator=(const WindowInFront&) = delete;

    // The key events it read; -1 when it did not say.
    long stop();

    // The reader itself, run by --key-reader: says how many key events it read when it is told
    // to end (SIGTERM).
    static int runReader();

  private:
    pid_t pid_ = -1;
    std::string logFile_;
};

}  // namespace bench
