// The form checks that look at Qt's widgets.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QTest>
#include <QWidget>
#include <chrono>
#include <string>
#include <vector>

#include "tests/support/TestEnvironment.h"
#include "tests/toolkit/FormFixtures.h"
#include "toolkit/Forms.h"

using namespace std::chrono_literals;
using form_test::CheckBoxTest;
using form_test::events;
using form_test::FormTest;
using form_test::RecordingForm;
using testing_support::runEventsUntil;
using toolkit::Unload;

namespace {

QWidget* windowTitled(const std::string& title) {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->isVisible() && widget->windowTitle() == QString::fromStdString(title)) {
            return widget;
        }
    }
    return nullptr;
}

QCheckBox* boxesWidget() {
    QWidget* window = windowTitled("boxes");
    return window ? window->findChild<QCheckBox*>() : nullptr;
}

TEST_F(FormTest, TheCloseBoxUnloadsTheForm) {
    RecordingForm a("closable");
    a.Show();
    QWidget* window = windowTitled("closable");
    ASSERT_NE(window, nullptr);
    window->close();
    ASSERT_TRUE(runEventsUntil([&] { return !a.isLoaded(); }, 1s));
    EXPECT_EQ(events, (std::vector<std::string>{"closable.Load", "closable.Unload"}));
}

TEST_F(FormTest, PlaceAndSizeMapToTheWindowsPixels) {
    RecordingForm a("a");
    a.Show();
    a.setLeft(1000);
    a.setTop(1003);
    a.setWidth(1860);
    a.setHeight(780);

    QWidget* window = windowTitled("a");
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->size(), QSize(116, 28)) << "outer size less the frame, 15 twips a pixel";
    EXPECT_EQ(window->pos(), QPoint(67, 67));

    // Moved and resized by the user: the window reports its new pixels in twips.
    window->move(100, 200);
    window->resize(200, 50);
    EXPECT_EQ(a.Left(), 1500.0f);
    EXPECT_EQ(a.Top(), 3000.0f);
    EXPECT_EQ(a.Width(), 200 * 15 + 120.0f);
    EXPECT_EQ(a.Height(), 50 * 15 + 360.0f);
}

TEST_F(FormTest, AModalWindowBlocksItsOwnersInput) {
    RecordingForm owner("owner"), dialog("dialog");
    owner.Show();
    bool ownerBlocked = false;
    owner.timer.Tick = [&] {
        QWidget* ownerWindow = windowTitled("owner");
        ownerBlocked = ownerWindow && QApplication::activeModalWidget() != nullptr &&
                       QApplication::activeModalWidget() != ownerWindow;
        Unload(dialog);
    };
    owner.timer.setInterval(30);
    owner.timer.setEnabled(true);
    dialog.Show(toolkit::vbModal, owner);
    EXPECT_TRUE(ownerBlocked);
}

TEST_F(CheckBoxTest, AUserClickTogglesAndATickedBoxShowsIt) {
    QCheckBox* box = boxesWidget();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->checkState(), Qt::Checked);
    QTest::mouseClick(box, Qt::LeftButton);
    EXPECT_EQ(form.tick.Value(), 0);
    EXPECT_EQ(box->checkState(), Qt::Unchecked);
    QTest::mouseClick(box, Qt::LeftButton);
    EXPECT_EQ(form.tick.Value(), 1);
    EXPECT_EQ(valuesSeenByClick, (std::vector<int>{0, 1}));
}

TEST_F(CheckBoxTest, AUserClickOnAGreyedBoxTicksIt) {
    form.tick.setValue(2);
    QCheckBox* box = boxesWidget();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->checkState(), Qt::PartiallyChecked);
    QTest::mouseClick(box, Qt::LeftButton);
    EXPECT_EQ(form.tick.Value(), 1);
    EXPECT_EQ(box->checkState(), Qt::Checked);
}

}  // namespace
