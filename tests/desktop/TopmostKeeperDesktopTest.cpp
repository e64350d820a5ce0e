// The topmost keeper: with Always_On_Top_TICKBOX set, once a second whatever other window is
// active leaves the always-on-top band and the main window takes its top, without the focus.

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "tests/desktop/DesktopFixture.h"

namespace desktop_test {

namespace {

class TopmostKeeper : public DesktopTest {};

TEST_F(TopmostKeeper, TakesTheTopFromTheActiveWindowOnlyWhenTheOptionIsSet) {
    const auto other = startOtherClient({700, 400});
    ASSERT_TRUE(other) << "no xlogo window";
    for (const bool keep : {false, true}) {
        SCOPED_TRACE(keep ? "Always_On_Top_TICKBOX=1" : "Always_On_Top_TICKBOX=0");
        writeSettings(std::string("[Settings]\nAlways_On_Top_TICKBOX=") + (keep ? "1" : "0") +
                      "\nAUTOSTART_TICKBOX=0\n");
        auto& run = start();
        const auto window = run.waitForMainWindow();
        ASSERT_TRUE(window) << "no main window";
        ASSERT_NO_FATAL_FAILURE(bringForward(*other, *window));
        const auto ours = placement(*window);
        const auto theirs = placement(*other);

        if (keep) {
            EXPECT_TRUE(waitUntil(
                [&] {
                    return !hasAbove(x(), *other) && hasAbove(x(), *window) &&
                           stackedAbove(x(), *window, *other);
                },
                2500ms))
                << std::boolalpha << "other on top: " << hasAbove(x(), *other)
                << ", ours on top: " << hasAbove(x(), *window)
                << ", ours stacked above: " << stackedAbove(x(), *window, *other);
        } else {
            const auto begin = Clock::now();
            while (Clock::now() - begin < 3000ms) {
                const auto after = " after " + std::to_string(ms(Clock::now() - begin)) + " ms";
                ASSERT_TRUE(hasAbove(x(), *other)) << "the other window left the top" << after;
                ASSERT_FALSE(hasAbove(x(), *window)) << "the main window went on top" << after;
                ASSERT_TRUE(stackedAbove(x(), *other, *window))
                    << "the main window rose above the other" << after;
                std::this_thread::sleep_for(50ms);
            }
        }
        EXPECT_EQ(x().activeWindow(), other) << "the active window changed";
        EXPECT_EQ(placement(*window), ours) << "the main window moved or changed its size";
        EXPECT_EQ(placement(*other), theirs) << "the other window moved or changed its size";
        ASSERT_NO_FATAL_FAILURE(closeAndExpectExit(x(), run, *window));
    }
}

}  // namespace

}  // namespace desktop_test
