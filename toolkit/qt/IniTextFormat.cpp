#include "IniTextFormat.h"

#include <QFileDevice>
#include <QIODevice>
#include <map>
#include <mutex>

#include "FileStamp.h"
#include "IniTextReader.h"
#include "IniTextWriter.h"

namespace toolkit::qt {

namespace {

// QSettings may read two files from two threads at once.
std::mutex unreadableMutex;
std::map<QString, FileStamp>& unreadableFiles() {
    static std::map<QString, FileStamp> files;
    return files;
}

bool readFile(QIODevice& device, QSettings::SettingsMap& values) {
    IniTextReader::Parsed parsed = IniTextReader::parse(device.readAll());
    values = std::move(parsed.values);
    // QSettings hands over the file it opened: its stamp is that of the text just read.
    if (const auto* file = qobject_cast<QFileDevice*>(&device)) {
        const auto stamp = FileStamp::ofOpenFile(file->handle());
        const std::lock_guard lock(unreadableMutex);
        if (!parsed.readable && stamp) {
            unreadableFiles()[file->fileName()] = *stamp;
        } else {
            unreadableFiles().erase(file->fileName());
        }
    }
    return true;
}

bool writeFile(QIODevice& device, const QSettings::SettingsMap& values) {
    const QByteArray text = IniTextWriter::serialize(values);
    return device.write(text) == text.size();
}

}  // namespace

QSettings::Format IniTextFormat::format() {
    static const QSettings::Format registered =
        QSettings::registerFormat(QStringLiteral("ini"), readFile, writeFile, Qt::CaseSensitive);
    return registered;
}

bool IniTextFormat::foundUnreadable(const QString& path) {
    const auto stamp = FileStamp::ofPath(path);
    const std::lock_guard lock(unreadableMutex);
    const auto found = unreadableFiles().find(path);
    return stamp && found != unreadableFiles().end() && found->second == *stamp;
}

void IniTextFormat::forget(const QString& path) {
    const std::lock_guard lock(unreadableMutex);
    unreadableFiles().erase(path);
}

}  // namespace toolkit::qt
