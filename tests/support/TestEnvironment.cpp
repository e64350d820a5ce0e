#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>
#include <fcntl.h>
#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>

#include "toolkit/Application.h"
#include "toolkit/Desktop.h"
#include "toolkit/MsgBox.h"
#include "toolkit/SettingsStore.h"

namespace testing_support {

namespace {
FakeDesktop* theDesktop = nullptr;
std::string theConfigDir;
}  // namespace

FakeDesktop& fakeDesktop() {
    return *theDesktop;
}

std::vector<std::string>& messages() {
    static std::vector<std::string> list;
    return list;
}

std::vector<toolkit::RuntimeError>& reportedErrors() {
    static std::vector<toolkit::RuntimeError> list;
    return list;
}

const std::string& configDir() {
    return theConfigDir;
}

std::string settingsFile() {
    return theConfigDir + "/FERN-BADGER-PULSEWARD.ini";
}

void clearSettings() {
    std::remove(settingsFile().c_str());
}

void writeSettingsFile(const std::string& contents) {
    std::ofstream(settingsFile(), std::ios::trunc) << contents;
    // Qt caches a settings file and reads it again only when its size or modification time
    // changed: a distinct time in the past keeps an edit of the same size from going unseen.
    static long edits = 0;
    const timespec times[2] = {{1'000'000'000 + ++edits, 0}, {1'000'000'000 + edits, 0}};
    utimensat(AT_FDCWD, settingsFile().c_str(), times, 0);
}

std::string readSettingsFile() {
    std::ifstream in(settingsFile());
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void runEventsFor(std::chrono::milliseconds duration) {
    QEventLoop loop;
    QTimer::singleShot(static_cast<int>(duration.count()), Qt::PreciseTimer, &loop,
                       &QEventLoop::quit);
    loop.exec();
}

void processPendingEvents() {
    QCoreApplication::sendPostedEvents(nullptr, 0);
    QCoreApplication::processEvents();
}

void resetAll() {
    fakeDesktop().reset();
    messages().clear();
    reportedErrors().clear();
    clearSettings();
}

}  // namespace testing_support

int main(int argc, char** argv) {
    using namespace testing_support;
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QTemporaryDir config;
    theConfigDir = QDir(config.path()).absolutePath().toStdString();
    setenv("XDG_CONFIG_HOME", theConfigDir.c_str(), 1);

    toolkit::Application application(argc, argv, "FERN-BADGER-PULSEWARD");
    auto desktop = std::make_unique<FakeDesktop>();
    theDesktop = desktop.get();
    toolkit::setDesktop(std::move(desktop));
    toolkit::setMessageSink([](std::string_view prompt, int) { messages().emplace_back(prompt); });
    toolkit::setErrorReport(
        [](const toolkit::RuntimeError& error) { reportedErrors().push_back(error); });

    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
