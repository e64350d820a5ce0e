// The user's decimal separator: the system locale's, and the environment's locale followed in
// what converts and what the program writes.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QLocale>
#include <QProcess>
#include <QProcessEnvironment>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/toolkit/ConversionChecks.h"
#include "toolkit/Conversions.h"

namespace conversions_test {

namespace {

using toolkit::CSng;
using toolkit::CStr;

constexpr const char* reportVariable = "PULSEWARD_REPORT_DECIMAL_SEPARATOR";

TEST(UserDecimalSeparator, IsTheSystemLocales) {
    const QString point = QLocale::system().decimalPoint();
    ASSERT_EQ(point.size(), 1);
    EXPECT_EQ(toolkit::userDecimalSeparator(), point[0].toLatin1());
}

// Runs the test below in a copy of the test program under the given locale and returns what
// the copy reports: the separator, 2.5 as text, and whether "2,25" and "2.25" read as 2.25.
std::string reportUnderLocale(const char* locale) {
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(reportVariable, "1");
    environment.insert("LC_ALL", locale);
    environment.insert("LC_NUMERIC", locale);
    environment.insert("LANG", locale);
    environment.remove("LANGUAGE");
    child.setProcessEnvironment(environment);
    child.start(QCoreApplication::applicationFilePath(),
                {"--gtest_filter=UserDecimalSeparator.FollowsTheLocaleOfTheEnvironment"});
    if (!child.waitForFinished(60000) || child.exitCode() != 0) {
        return "child failed";
    }
    const std::string output = child.readAllStandardOutput().toStdString();
    const auto start = output.find("report[");
    const auto end = output.find(']', start);
    if (start == std::string::npos || end == std::string::npos) {
        return "no report";
    }
    return output.substr(start + 7, end - start - 7);
}

TEST(UserDecimalSeparator, FollowsTheLocaleOfTheEnvironment) {
    if (std::getenv(reportVariable) != nullptr) {
        // The copy started below: report and go.
        const auto reads = [](const char* text) {
            float value = 0;
            return errorNumber([&] { value = CSng(text); }) == 0 && value == 2.25f;
        };
        std::printf("report[%c %s %d%d]\n", toolkit::userDecimalSeparator(), CStr(2.5f).c_str(),
                    int(reads("2,25")), int(reads("2.25")));
        std::fflush(stdout);
        return;
    }
    EXPECT_EQ(reportUnderLocale("de_DE.UTF-8"), ", 2,5 10");
    EXPECT_EQ(reportUnderLocale("en_US.UTF-8"), ". 2.5 01");
}

}  // namespace

}  // namespace conversions_test
