// The About dialog checks that look at Qt's widgets: modal showing, the mouse buttons that
// open it, and its colours under the desktop's theme.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QImage>
#include <QLabel>
#include <QPalette>
#include <QStyle>
#include <QTest>
#include <QWidget>
#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "tests/about_dialog/AboutDialogFixture.h"

using namespace std::chrono_literals;
using about_dialog_test::AboutDialogTest;
using pulseward::FERN_BADGER_PULSEWARD_ABOUT;
using pulseward::FERN_BADGER_PULSEWARD_MAIN;

namespace {

QWidget* mainWindowWidget() {
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (top->isVisible() && top->windowTitle() == "       PULSEWARD") {
            return top;
        }
    }
    return nullptr;
}

// The main window's background and its two hearts.
std::vector<QWidget*> doubleClickTargets() {
    QWidget* main = mainWindowWidget();
    if (!main) {
        return {};
    }
    std::vector<QWidget*> targets{main};
    for (QLabel* label : main->findChildren<QLabel*>()) {
        if (!label->pixmap().isNull()) {
            targets.push_back(label);
        }
    }
    return targets;
}

bool dialogShown() {
    return pulseward::aboutDialog() && pulseward::aboutDialog()->isLoaded();
}

// Double-clicks the widget with the button; true if that opened the dialog, which a step from
// the dialog's modal loop closes again.
bool doubleClickOpens(QWidget* target, Qt::MouseButton button, QPoint at) {
    bool opened = false;
    testing_support::afterDelay(50ms, [&] {
        if (dialogShown()) {
            opened = true;
            toolkit::Unload(*pulseward::aboutDialog());
        }
    });
    QTest::mouseDClick(target, button, Qt::NoModifier, at);
    // Where nothing opened, the step still runs once, and finds nothing to close.
    testing_support::runEventsFor(100ms);
    return opened;
}

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

TEST_F(AboutDialogTest, OnlyTheLeftButtonsDoubleClickOnTheWindowOrAHeartOpensIt) {
    showMain("AUTOSTART_TICKBOX=0\n");  // the hearts stay shown
    const std::vector<QWidget*> targets = doubleClickTargets();
    ASSERT_EQ(targets.size(), 3u);
    for (std::size_t i = 0; i < targets.size(); ++i) {
        // On the background between the left heart and the button, or a heart's middle.
        const QPoint at = i == 0 ? QPoint(34, 14) : targets[i]->rect().center();
        EXPECT_FALSE(doubleClickOpens(targets[i], Qt::RightButton, at)) << "target " << i;
        EXPECT_FALSE(doubleClickOpens(targets[i], Qt::MiddleButton, at)) << "target " << i;
        EXPECT_TRUE(doubleClickOpens(targets[i], Qt::LeftButton, at)) << "target " << i;
    }
}

TEST_F(AboutDialogTest, OnlyTheLeftButtonsDoubleClickOnTheCreatorShowsTheAddress) {
    showMain();
    openAndThen(&FERN_BADGER_PULSEWARD_MAIN::Form_DblClick, [](FERN_BADGER_PULSEWARD_ABOUT& d) {
        QWidget* dialog = QApplication::activeModalWidget();
        ASSERT_NE(dialog, nullptr);
        QLabel* creator = nullptr;
        for (QLabel* label : dialog->findChildren<QLabel*>()) {
            if (label->text() == FERN_BADGER_PULSEWARD_ABOUT::creatorCaption) {
                creator = label;
            }
        }
        ASSERT_NE(creator, nullptr);
        for (Qt::MouseButton button : {Qt::RightButton, Qt::MiddleButton}) {
            QTest::mouseDClick(creator, button, Qt::NoModifier, creator->rect().center());
            EXPECT_EQ(d.FERN_BADGER_PULSEWARD_CREATOR.Caption(),
                      FERN_BADGER_PULSEWARD_ABOUT::creatorCaption);
        }
        QTest::mouseDClick(creator, Qt::LeftButton, Qt::NoModifier, creator->rect().center());
        EXPECT_EQ(d.FERN_BADGER_PULSEWARD_CREATOR.Caption(),
                  FERN_BADGER_PULSEWARD_ABOUT::contactAddress);
        EXPECT_EQ(creator->text(), FERN_BADGER_PULSEWARD_ABOUT::contactAddress);
    });
}

// The application's palette as a desktop theme sets it: one colour for every surface, another
// for every text.
QPalette theme(QColor surface, QColor text) {
    QPalette palette;
    for (auto role :
         {QPalette::Window, QPalette::Button, QPalette::Base, QPalette::AlternateBase}) {
        palette.setColor(role, surface);
    }
    for (auto role : {QPalette::WindowText, QPalette::ButtonText, QPalette::Text}) {
        palette.setColor(role, text);
    }
    return palette;
}

// Above and left of every control.
const QPoint corner(4, 4);

// "#rrggbb", readable in a failure.
std::string colourAt(const QImage& image, QPoint at) {
    return image.pixelColor(at).name().toStdString();
}

std::string name(QColor colour) {
    return colour.name().toStdString();
}

// How much lighter than the dialog's background (its corner) the lightest pixel of a tickbox's
// caption is.
int captionLift(const QImage& dialog, const QCheckBox& box) {
    const int textStart = box.style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, &box) +
                          box.style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, &box);
    const QRect area = box.geometry().adjusted(textStart, 0, 0, 0);
    int lightest = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            lightest = std::max(lightest, qGray(dialog.pixel(x, y)));
        }
    }
    return lightest - qGray(dialog.pixel(corner));
}

class AboutDialogThemeTest : public AboutDialogTest {
  protected:
    void TearDown() override {
        AboutDialogTest::TearDown();
        QApplication::setPalette(saved_);
    }

  private:
    QPalette saved_ = QApplication::palette();
};

TEST_F(AboutDialogThemeTest, TheBackgroundIsTheThemesAndTheCaptionsReadOnItWhenItChanges) {
    const QColor dark(0x20, 0x24, 0x28), light(0xE8, 0xE8, 0xE8);
    QApplication::setPalette(theme(dark, light));
    showMain();  // running: red
    openAndThen(&FERN_BADGER_PULSEWARD_MAIN::Form_DblClick, [&](FERN_BADGER_PULSEWARD_ABOUT& d) {
        EXPECT_EQ(d.BackColor(), toolkit::vbButtonFace);
        QWidget* dialog = QApplication::activeModalWidget();
        ASSERT_NE(dialog, nullptr);
        QImage image = dialog->grab().toImage();
        EXPECT_EQ(colourAt(image, corner), name(dark));
        const auto boxes = dialog->findChildren<QCheckBox*>();
        ASSERT_EQ(boxes.size(), 2);
        for (const QCheckBox* box : boxes) {
            EXPECT_GT(captionLift(image, *box), 128) << box->text().toStdString();
        }

        // The desktop switches to a high-contrast theme while the dialog is open.
        QApplication::setPalette(theme(Qt::black, Qt::white));
        testing_support::processPendingEvents();
        image = dialog->grab().toImage();
        EXPECT_EQ(colourAt(image, corner), name(Qt::black));
        for (const QCheckBox* box : boxes) {
            EXPECT_GT(captionLift(image, *box), 128) << box->text().toStdString();
        }

        QWidget* main = mainWindowWidget();
        ASSERT_NE(main, nullptr);
        EXPECT_EQ(colourAt(main->grab().toImage(), {34, 14}), name(Qt::red))
            << "the main window keeps its own colour";
    });
}

}  // namespace
