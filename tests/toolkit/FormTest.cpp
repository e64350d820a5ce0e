#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QTest>
#include <QWidget>
#include <chrono>
#include <string>
#include <vector>

#include "tests/support/TestEnvironment.h"
#include "toolkit/CheckBox.h"
#include "toolkit/Form.h"
#include "toolkit/Forms.h"
#include "toolkit/Label.h"
#include "toolkit/RuntimeError.h"
#include "toolkit/Timer.h"

using namespace std::chrono_literals;
using testing_support::runEventsFor;
using testing_support::runEventsUntil;
using toolkit::Forms;
using toolkit::Unload;

namespace {

std::vector<std::string> events;

toolkit::WindowDesign design(const std::string& caption) {
    toolkit::WindowDesign design;
    design.caption = caption;
    design.clientWidth = 1740;
    design.clientHeight = 420;
    return design;
}

class RecordingForm : public toolkit::Form {
  public:
    explicit RecordingForm(std::string name) : Form(design(name)), name_(name) {}

    toolkit::CheckBox tick{*this, "tick", {0, 0, 1500, 375}, 0, "tick me", 1};
    toolkit::Label label{*this, "label", {0, 400, 1500, 300}, 1, "designed", {}, 0, 0};
    toolkit::Timer timer{*this, "timer"};
    int cancelUnload = 0;

  protected:
    void Form_Load() override { events.push_back(name_ + ".Load"); }
    void Form_Unload(int& cancel) override {
        events.push_back(name_ + ".Unload");
        cancel = cancelUnload;
    }

  private:
    std::string name_;
};

QWidget* windowTitled(const std::string& title) {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->isVisible() && widget->windowTitle() == QString::fromStdString(title)) {
            return widget;
        }
    }
    return nullptr;
}

class FormTest : public testing::Test {
  protected:
    void SetUp() override {
        testing_support::resetAll();
        events.clear();
    }
    void TearDown() override {
        for (int i = Forms.Count() - 1; i >= 0; --i) {
            Unload(Forms(i));
        }
    }
};

TEST_F(FormTest, FormsListsLoadedWindowsInLoadOrder) {
    RecordingForm a("a"), b("b"), c("c");
    b.Show();
    a.Show();
    c.Show();
    ASSERT_EQ(Forms.Count(), 3);
    EXPECT_EQ(&Forms(0), &b);
    EXPECT_EQ(&Forms(1), &a);
    EXPECT_EQ(&Forms(2), &c);

    Unload(a);
    ASSERT_EQ(Forms.Count(), 2);
    EXPECT_EQ(&Forms(1), &c);
    EXPECT_EQ(events, (std::vector<std::string>{"b.Load", "a.Load", "c.Load", "a.Unload"}));
    try {
        Forms(2);
        FAIL() << "an index past the end must fail";
    } catch (const toolkit::RuntimeError& error) {
        EXPECT_EQ(error.number(), 9);
    }
}

TEST_F(FormTest, ShowingALoadedFormDoesNotLoadItAgain) {
    RecordingForm a("a");
    a.Show();
    a.Show();
    EXPECT_EQ(events, std::vector<std::string>{"a.Load"});
}

TEST_F(FormTest, CancelledUnloadKeepsTheWindow) {
    RecordingForm a("a");
    a.Show();
    a.cancelUnload = 1;
    Unload(a);
    EXPECT_TRUE(a.isLoaded());
    EXPECT_EQ(Forms.Count(), 1);
    a.cancelUnload = 0;
}

TEST_F(FormTest, EachLoadStartsControlsFromTheirDesignValues) {
    RecordingForm a("a");
    a.Show();
    a.tick.setValue(0);
    a.label.setCaption("changed");
    a.timer.setInterval(100);
    a.timer.setEnabled(true);
    Unload(a);
    EXPECT_FALSE(a.isLoaded());

    int clicks = 0;
    a.tick.Click = [&] { ++clicks; };
    a.Show();
    EXPECT_EQ(a.tick.Value(), 1);
    EXPECT_EQ(a.label.Caption(), "designed");
    EXPECT_FALSE(a.timer.Enabled());
    EXPECT_EQ(clicks, 0) << "restoring design values is not a change by the program";
    EXPECT_EQ(events, (std::vector<std::string>{"a.Load", "a.Unload", "a.Load"}));
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

TEST_F(FormTest, PlaceAndSizeReadBackExactlyAsSet) {
    RecordingForm a("a");
    a.Show();
    a.setLeft(1000);
    a.setTop(1003);
    a.setWidth(1860);
    a.setHeight(780);
    EXPECT_EQ(a.Left(), 1000.0f);
    EXPECT_EQ(a.Top(), 1003.0f);
    EXPECT_EQ(a.Width(), 1860.0f);
    EXPECT_EQ(a.Height(), 780.0f);

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

TEST_F(FormTest, WindowStateFollowsMinimising) {
    RecordingForm a("a");
    a.Show();
    EXPECT_EQ(a.WindowState(), toolkit::vbNormal);
    a.setWindowState(toolkit::vbMinimized);
    EXPECT_EQ(a.WindowState(), toolkit::vbMinimized);
}

TEST_F(FormTest, OnlyAPlaceOnSomeScreenCountsAsOnScreen) {
    RecordingForm a("a");
    a.Show();
    a.setWidth(1860);
    a.setHeight(780);
    a.setLeft(-600);  // 40 pixels off the left edge, the rest on the screen
    a.setTop(1000);
    EXPECT_TRUE(a.isOnSomeScreen());
    a.setLeft(-99999);
    EXPECT_FALSE(a.isOnSomeScreen());
    a.setLeft(1000);
    a.setTop(1e9f);
    EXPECT_FALSE(a.isOnSomeScreen());
}

TEST_F(FormTest, ModalShowWaitsForUnloadWhileTheOwnersTimersGoOn) {
    RecordingForm owner("owner"), dialog("dialog");
    owner.Show();
    int ownerTicks = 0;
    owner.timer.Tick = [&] {
        ++ownerTicks;
        if (ownerTicks == 3) {
            Unload(dialog);
        }
    };
    owner.timer.setInterval(30);
    owner.timer.setEnabled(true);

    dialog.Show(toolkit::vbModal, owner);

    EXPECT_EQ(ownerTicks, 3) << "Show returns at the dialog's unload, in the third tick";
    EXPECT_FALSE(dialog.isLoaded());
    EXPECT_EQ(events, (std::vector<std::string>{"owner.Load", "dialog.Load", "dialog.Unload"}));
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

TEST_F(FormTest, UnloadingTheLastWindowLeavesNoFormLoaded) {
    RecordingForm a("a"), b("b");
    a.Show();
    b.Show();
    Unload(b);
    Unload(a);
    EXPECT_EQ(Forms.Count(), 0);
}

class CheckBoxTest : public FormTest {
  protected:
    void SetUp() override {
        FormTest::SetUp();
        form.Show();
        form.tick.Click = [this] { valuesSeenByClick.push_back(form.tick.Value()); };
    }
    QCheckBox* widget() {
        QWidget* window = windowTitled("boxes");
        return window ? window->findChild<QCheckBox*>() : nullptr;
    }
    RecordingForm form{"boxes"};
    std::vector<int> valuesSeenByClick;
};

TEST_F(CheckBoxTest, EveryChangeByTheProgramRaisesClickWithTheNewValue) {
    form.tick.setValue(0);
    form.tick.setValue(2);
    form.tick.setValue(1);
    EXPECT_EQ(valuesSeenByClick, (std::vector<int>{0, 2, 1}));
}

TEST_F(CheckBoxTest, AssigningTheCurrentValueRaisesNothing) {
    form.tick.setValue(1);
    EXPECT_TRUE(valuesSeenByClick.empty());
}

TEST_F(CheckBoxTest, AValueOutsideTheRangeIsAnError) {
    for (int value : {-1, 3}) {
        try {
            form.tick.setValue(value);
            ADD_FAILURE() << value << " was accepted";
        } catch (const toolkit::RuntimeError& error) {
            EXPECT_EQ(error.number(), 380);
        }
    }
    EXPECT_EQ(form.tick.Value(), 1);
    EXPECT_TRUE(valuesSeenByClick.empty());
}

TEST_F(CheckBoxTest, AUserClickTogglesAndATickedBoxShowsIt) {
    QCheckBox* box = widget();
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
    QCheckBox* box = widget();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->checkState(), Qt::PartiallyChecked);
    QTest::mouseClick(box, Qt::LeftButton);
    EXPECT_EQ(form.tick.Value(), 1);
    EXPECT_EQ(box->checkState(), Qt::Checked);
}

}  // namespace
