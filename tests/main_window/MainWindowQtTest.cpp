// The main window checks that look at Qt's widgets.

#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QTest>

#include "tests/main_window/MainWindowFixture.h"

using main_window_test::MainWindowTest;

namespace {

TEST_F(MainWindowTest, AClickOnTheRealButtonTogglesThePulse) {
    load();
    QPushButton* button = nullptr;
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (top->isVisible() && top->windowTitle() == "       PULSEWARD") {
            button = top->findChild<QPushButton*>();
        }
    }
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->text(), "STOP");
    QTest::mouseClick(button, Qt::LeftButton);
    expectStopped();
    EXPECT_EQ(button->text(), "Start");
}

}  // namespace
