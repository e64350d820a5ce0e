// The program on a real X server with a real window manager, watched from outside: the
// keyboard's Num Lock indicator, what the screen shows, the window's properties, and the
// settings file the program leaves behind. One desktop serves all the tests of the program.

#include "tests/desktop/DesktopFixture.h"

int main(int argc, char** argv) {
    return desktop_test::runDesktopTests(argc, argv);
}
