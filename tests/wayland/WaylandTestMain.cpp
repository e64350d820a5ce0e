// The Wayland test programs' main: each child they start is ended with them, however they end.

#include <gtest/gtest.h>

#include "tests/desktop/ChildProcess.h"

int main(int argc, char** argv) {
    desktop_test::installChildCleanup();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
