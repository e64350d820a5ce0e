#pragma once

// One subject on the X server: how it is started, and its measurement over one window of time.

#include <string>

#include "Options.h"
#include "Process.h"
#include "Report.h"
#include "XObserver.h"

namespace bench {

// The program's main window, as the observer finds it.
constexpr const char* programWindowName = "       PULSEWARD";

struct SubjectSetup {
    std::string id;
    std::string label;
    std::string command;
    SpawnOptions spawn;
    bool isProgram = false;
    // Another window has the front and the keyboard focus and reads the keys, as the window
    // being worked in does: from the start, or for the program once its own window is mapped.
    bool behindAnotherWindow = false;
    // Whether /proc/<pid>/schedstat of its own threads holds all its work (false for a shell
    // whose work is done by its children, which wait4 counts once they are reaped).
    bool selfContained = true;
    double stopGraceSeconds = 2;
};

// Starts the subject, takes in its key events for options.seconds (and --events writes them
// out), stops it once its last press has its release, and works out its figures.
SubjectResult measureSubject(Observer& observer, const Options& options, const SubjectSetup& setup);

}  // namespace bench
