#include "ReferenceInjector.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <time.h>

#include <iostream>

#include "Process.h"

namespace bench {

int runReferenceInjector() {
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::cerr << "reference injector: cannot open the display\n";
        return 1;
    }
    const KeyCode numLock = XKeysymToKeycode(display, XK_Num_Lock);
    int event = 0, error = 0, major = 0, minor = 0;
    if (numLock == 0 || !XTestQueryExtension(display, &event, &error, &major, &minor)) {
        std::cerr << "reference injector: no XTest or no Num Lock key\n";
        return 1;
    }
    timespec due{};
    clock_gettime(CLOCK_MONOTONIC, &due);
    for (;;) {
        sleepToNextDeadline(due, 750'000'000LL);
        XTestFakeKeyEvent(display, numLock, True, CurrentTime);
        XTestFakeKeyEvent(display, numLock, False, CurrentTime);
        XSync(display, False);
    }
}

}  // namespace bench
