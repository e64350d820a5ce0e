#pragma once

// The main window as MainWindowTest.cpp and the backend-specific main window tests load it.

#include <gtest/gtest.h>

#include <string>

#include "main_window/FERN_BADGER_PULSEWARD_MAIN.h"
#include "tests/support/TestEnvironment.h"
#include "toolkit/Forms.h"

namespace main_window_test {

constexpr toolkit::Colour red = 255;
constexpr toolkit::Colour black = 0;

class MainWindowTest : public testing::Test {
  protected:
    void SetUp() override { testing_support::resetAll(); }
    void TearDown() override { testing_support::unloadAllForms(); }

    void load(const std::string& settings = {}) {
        if (!settings.empty()) {
            testing_support::writeSettingsFile("[Settings]\n" + settings);
        }
        window.Show();
    }

    void expectStopped() {
        EXPECT_FALSE(window.SHOW_PIC_TIMER.Enabled());
        EXPECT_FALSE(window.HIDE_PIC_TIMER.Enabled());
        EXPECT_EQ(window.MIDDLE_BUTTON.Caption(), "Start");
        EXPECT_EQ(window.BackColor(), black);
        EXPECT_TRUE(window.HEART_PIC_LEFT.Visible());
        EXPECT_TRUE(window.HEART_PIC_RIGHT.Visible());
    }

    // Nothing is sent while the desktop asks, and the button stops.
    void expectWaiting() {
        EXPECT_FALSE(window.SHOW_PIC_TIMER.Enabled());
        EXPECT_FALSE(window.HIDE_PIC_TIMER.Enabled());
        EXPECT_EQ(window.MIDDLE_BUTTON.Caption(), "STOP");
        EXPECT_EQ(window.BackColor(), black);
        EXPECT_TRUE(window.HEART_PIC_LEFT.Visible());
        EXPECT_TRUE(window.HEART_PIC_RIGHT.Visible());
    }

    void expectRunningShowNext(bool heartsShown) {
        EXPECT_TRUE(window.SHOW_PIC_TIMER.Enabled());
        EXPECT_FALSE(window.HIDE_PIC_TIMER.Enabled());
        EXPECT_EQ(window.MIDDLE_BUTTON.Caption(), "STOP");
        EXPECT_EQ(window.BackColor(), red);
        EXPECT_EQ(window.HEART_PIC_LEFT.Visible(), heartsShown);
        EXPECT_EQ(window.HEART_PIC_RIGHT.Visible(), heartsShown);
    }

    void expectRunningHideNext() {
        EXPECT_FALSE(window.SHOW_PIC_TIMER.Enabled());
        EXPECT_TRUE(window.HIDE_PIC_TIMER.Enabled());
        EXPECT_EQ(window.MIDDLE_BUTTON.Caption(), "STOP");
        EXPECT_EQ(window.BackColor(), red);
        EXPECT_TRUE(window.HEART_PIC_LEFT.Visible());
        EXPECT_TRUE(window.HEART_PIC_RIGHT.Visible());
    }

    pulseward::FERN_BADGER_PULSEWARD_MAIN window;
};

}  // namespace main_window_test
