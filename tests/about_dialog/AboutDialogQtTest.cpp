// The About dialog checks that look at Qt's widgets.

#include <gtest/gtest.h>

#include <QApplication>
#include <QWidget>

#include "tests/about_dialog/AboutDialogFixture.h"

using about_dialog_test::AboutDialogTest;
using pulseward::FERN_BADGER_PULSEWARD_ABOUT;
using pulseward::FERN_BADGER_PULSEWARD_MAIN;

namespace {

TEST_F(AboutDialogTest, EachDoubleClickShowsTheDialogModallyAboveTheMainWindow) {
    showMain();
    for (auto open : {&FERN_BADGER_PULSEWARD_MAIN::Form_DblClick,
                      &FERN_BADGER_PULSEWARD_MAIN::HEART_PIC_LEFT_DblClick,
                      &FERN_BADGER_PULSEWARD_MAIN::HEART_PIC_RIGHT_DblClick}) {
        bool sawModal = false;
        openAndThen(open, [&](FERN_BADGER_PULSEWARD_ABOUT&) {
            QWidget* modal = QApplication::activeModalWidget();
            sawModal = modal && modal->windowTitle() == "PULSEWARD" && modal->parentWidget() &&
                       modal->parentWidget()->windowTitle() == "       PULSEWARD";
        });
        EXPECT_TRUE(sawModal);
    }
}

}  // namespace
