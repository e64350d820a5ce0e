// The program's settings: writes that fail report it without ending the program, once for each
// action of the user's; sizes are usable up to the whole desktop.

#include <gtest/gtest.h>

#include <string>

#include "tests/app/PulsewardSettingsFixture.h"
#include "toolkit/Conversions.h"
#include "toolkit/Peers.h"
#include "toolkit/RuntimeError.h"

namespace {

using namespace settings_test;
using pulseward::PulsewardSettings;
using pulseward::Setting;

// A write that fails.

class FailingWrite : public PulsewardSettingsTest, public testing::WithParamInterface<KeyRow> {};

TEST_P(FailingWrite, ShowsOneMessageNamingTheKeyAndGoesOn) {
    const KeyRow& row = GetParam();
    testing_support::UnwritableSettings unwritable;

    EXPECT_NO_THROW(PulsewardSettings::write(row.key, "5"));

    ASSERT_EQ(testing_support::messages().size(), 1u);
    EXPECT_NE(testing_support::messages()[0].find(row.name), std::string::npos)
        << testing_support::messages()[0];
    EXPECT_TRUE(testing_support::reportedErrors().empty());
}

INSTANTIATE_TEST_SUITE_P(Keys, FailingWrite, testing::ValuesIn(allKeys()), keyTestName);

// Writes that fail while one event is handled (closing, OK) are one message at its end, naming
// every key once and the reason.
TEST_F(PulsewardSettingsTest, FailedWritesOfOneEventShowOneMessageAtItsEnd) {
    testing_support::UnwritableSettings unwritable;
    toolkit::invokeHandler([] {
        PulsewardSettings::write(Setting::AboutLeft, "1");
        PulsewardSettings::write(Setting::AboutTop, "2");
        PulsewardSettings::write(Setting::Always_On_Top_TICKBOX, "1");
        PulsewardSettings::write(Setting::AboutLeft, "3");
        EXPECT_TRUE(testing_support::messages().empty());
    });
    ASSERT_EQ(testing_support::messages().size(), 1u);
    const std::string& message = testing_support::messages()[0];
    EXPECT_NE(message.find("\"AboutLeft\", \"AboutTop\" and \"Always_On_Top_TICKBOX\""),
              std::string::npos)
        << message;
    const auto reason = message.find("Path/File access error");
    EXPECT_NE(reason, std::string::npos) << message;
    EXPECT_EQ(message.find("Path/File access error", reason + 1), std::string::npos)
        << "the same reason once: " << message;

    // The next event starts afresh.
    toolkit::invokeHandler([] { PulsewardSettings::write(Setting::MainTop, "4"); });
    ASSERT_EQ(testing_support::messages().size(), 2u);
    EXPECT_EQ(testing_support::messages()[1].find("AboutLeft"), std::string::npos);
}

// The tests' desktop has one screen; a window as large as all of it is still usable.
TEST_F(PulsewardSettingsTest, SizesUpToTheWholeDesktopAreKept) {
    const auto screens = toolkit::windowSystem().screens();
    ASSERT_EQ(screens.size(), 1u);
    const float width = float(screens[0].width * toolkit::windowSystem().twipsPerPixelX());
    const float height = float(screens[0].height * toolkit::windowSystem().twipsPerPixelY());
    store("MainWidth", toolkit::CStr(width));
    store("AboutHeight", toolkit::CStr(height));
    EXPECT_EQ(PulsewardSettings::readSingle(Setting::MainWidth), width);
    EXPECT_EQ(PulsewardSettings::readSingle(Setting::AboutHeight), height);

    testing::internal::CaptureStderr();
    store("MainWidth", toolkit::CStr(width + 15));
    store("AboutHeight", toolkit::CStr(height + 15));
    EXPECT_EQ(PulsewardSettings::readSingle(Setting::MainWidth), 1860.0f);
    EXPECT_EQ(PulsewardSettings::readSingle(Setting::AboutHeight), 5685.0f);
    testing::internal::GetCapturedStderr();
}

}  // namespace
