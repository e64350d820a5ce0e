#pragma once

// The About dialog as AboutDialogTest.cpp and the backend-specific dialog tests open it.

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>

#include "about_dialog/FERN_BADGER_PULSEWARD_ABOUT.h"
#include "main_window/FERN_BADGER_PULSEWARD_MAIN.h"
#include "tests/support/TestEnvironment.h"
#include "toolkit/Forms.h"

namespace about_dialog_test {

inline bool holds(const std::string& stored, const std::string& line) {
    return stored.find(line + "\n") != std::string::npos;
}

class AboutDialogTest : public testing::Test {
  protected:
    void SetUp() override { testing_support::resetAll(); }
    void TearDown() override {
        testing_support::unloadAllForms();
        pulseward::aboutDialog().reset();
    }

    // Opens the dialog the way the user does, runs the step while it is shown modally, and
    // returns once it is closed again.
    void openAndThen(void (pulseward::FERN_BADGER_PULSEWARD_MAIN::*open)(),
                     const std::function<void(pulseward::FERN_BADGER_PULSEWARD_ABOUT&)>& step) {
        testing_support::afterDelay(std::chrono::milliseconds(50), [&] {
            ASSERT_TRUE(pulseward::aboutDialog());
            pulseward::FERN_BADGER_PULSEWARD_ABOUT& dialog = *pulseward::aboutDialog();
            ASSERT_TRUE(dialog.isLoaded());
            step(dialog);
            if (dialog.isLoaded()) {
                toolkit::Unload(dialog);
            }
        });
        (main.*open)();
    }

    void showMain(const std::string& settings = {}) {
        if (!settings.empty()) {
            testing_support::writeSettingsFile("[Settings]\n" + settings);
        }
        main.Show();
    }

    pulseward::FERN_BADGER_PULSEWARD_MAIN main;
};

}  // namespace about_dialog_test
