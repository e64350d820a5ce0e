// The test support's Qt parts: Qt's offscreen platform, a temporary settings folder as
// $XDG_CONFIG_HOME, and Qt's event loop.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>

#include "tests/support/TestEnvironment.h"

namespace testing_support {

namespace {
std::unique_ptr<QTemporaryDir> theConfig;
std::string theConfigDir;
}  // namespace

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

// A folder where the file should be: the store cannot put its file in place.
UnwritableSettings::UnwritableSettings() {
    std::remove(settingsFile().c_str());
    mkdir(settingsFile().c_str(), 0700);
}

UnwritableSettings::~UnwritableSettings() {
    rmdir(settingsFile().c_str());
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

namespace backend {

void prepare() {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    theConfig = std::make_unique<QTemporaryDir>();
    theConfigDir = QDir(theConfig->path()).absolutePath().toStdString();
    setenv("XDG_CONFIG_HOME", theConfigDir.c_str(), 1);
}

void cleanUp() {
    theConfig.reset();
}

}  // namespace backend

}  // namespace testing_support
