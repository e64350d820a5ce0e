// The per-user settings store on Qt: one INI file per application name in the user's
// configuration directory ($XDG_CONFIG_HOME, else ~/.config), a group per section, every value
// text (IniTextReader: a value that looks like one of IniFormat's stored types is read as the text it
// is, so no bytes in the file ever become a Qt object).
//
// Implemented: reads that see other processes' writes, writes that are on disk before they
// return, atomic replacement and locking against other running copies (QSettings' own); a file
// that is not an INI file (junk, a damaged disk block) reads as far as it can, with one warning,
// and the first write keeps it beside the store under another name and starts a fresh store with
// whatever could be read from it; a failed write says what stood in its way; a lock left empty
// by a process killed while taking it does not hold up the next write.
// Not implemented: change notification.

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryFile>
#include <map>
#include <optional>

#include "../RuntimeError.h"
#include "../SettingsStore.h"
#include "../Warning.h"
#include "FileStamp.h"
#include "IniTextFormat.h"

namespace toolkit {

namespace {

QString toQString(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Reads the file if it changed since QSettings last read it in this process.
bool unreadable(QSettings& settings) {
    settings.allKeys();
    return qt::IniTextFormat::foundUnreadable(settings.fileName());
}

// A name beside the file that says what it holds, used by nothing yet.
QString backupName(const QString& path) {
    QString name = path + QStringLiteral(".unreadable");
    for (int n = 2; QFileInfo::exists(name) || QFileInfo(name).isSymLink(); ++n) {
        name = path + QStringLiteral(".unreadable-") + QString::number(n);
    }
    return name;
}

[[noreturn]] void fail(const QString& what) {
    throw RuntimeError(75, "Path/File access error: " + what.toStdString());
}

// What kept a write from the disk, as far as can be found out after the fact.
[[noreturn]] void failToWrite(const QString& path) {
    const QFileInfo file(path);
    if (file.isDir()) {
        fail("cannot write " + path + ": it is a folder");
    }
    QTemporaryFile probe(file.absolutePath() + QStringLiteral("/.pulseward-XXXXXX"));
    if (!probe.open()) {
        fail("cannot write in " + file.absolutePath() + ": " + probe.errorString());
    }
    QFile existing(path);
    if (file.exists() && !existing.open(QIODevice::ReadWrite)) {
        fail("cannot write " + path + ": " + existing.errorString());
    }
    fail("cannot write " + path);
}

// A lock file that a process killed while taking it left empty names no owner, so QSettings
// would hold every write until the file is 30 s old. One that has stayed empty for a second is
// such a one: a live owner writes its name in at once.
void clearAbandonedLock(const QString& path) {
    const QFileInfo lock(path + QStringLiteral(".lock"));
    if (lock.isFile() && lock.size() == 0 &&
        lock.lastModified().msecsTo(QDateTime::currentDateTime()) > 1000) {
        QFile::remove(lock.filePath());
    }
}

class IniSettingsStore : public SettingsStore {
  public:
    std::optional<std::string> read(std::string_view appName, std::string_view section,
                                    std::string_view key) override {
        QSettings settings(pathFor(appName), qt::IniTextFormat::format());
        const QVariant value = settings.value(toQString(section) + '/' + toQString(key));
        if (unreadable(settings)) {
            warnOnce(settings.fileName());
        }
        if (!value.isValid()) {
            return std::nullopt;
        }
        // An unquoted comma, as in a hand-edited "1,5", reads as a list.
        if (value.userType() == QMetaType::QStringList) {
            return value.toStringList().join(',').toStdString();
        }
        return value.toString().toStdString();
    }

    void write(std::string_view appName, std::string_view section, std::string_view key,
               std::string_view value) override {
        const QString path = pathFor(appName);
        const QString folder = QFileInfo(path).absolutePath();
        if (!QDir().mkpath(folder)) {
            fail("cannot create " + folder);
        }
        clearAbandonedLock(path);
        QList<std::pair<QString, QVariant>> carried;
        {
            QSettings current(path, qt::IniTextFormat::format());
            if (unreadable(current)) {
                carried = keepAside(current);
            }
        }
        QSettings settings(path, qt::IniTextFormat::format());
        for (const auto& [name, stored] : carried) {
            settings.setValue(name, stored);
        }
        settings.setValue(toQString(section) + '/' + toQString(key), toQString(value));
        settings.sync();
        if (settings.status() != QSettings::NoError) {
            failToWrite(path);
        }
    }

  private:
    static QString pathFor(std::string_view appName) {
        QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
        if (folder.isEmpty()) {
            folder = QDir::homePath() + QStringLiteral("/.config");
        }
        return folder + '/' + toQString(appName) + QStringLiteral(".ini");
    }

    // Once for each unreadable file, not at each of the keys read from it.
    static void warnOnce(const QString& path) {
        static std::map<QString, qt::FileStamp> warned;
        const auto stamp = qt::FileStamp::ofPath(path);
        const auto earlier = warned.find(path);
        if (!stamp || (earlier != warned.end() && earlier->second == *stamp)) {
            return;
        }
        warned[path] = *stamp;
        Warn("The settings file " + path.toStdString() +
             " cannot be read as settings; what cannot be read counts as never stored. The "
             "next change keeps the file beside it as " +
             backupName(path).toStdString() + ".");
    }

    // Moves the unreadable file aside, unchanged; what could be read from it goes on into the
    // fresh file.
    static QList<std::pair<QString, QVariant>> keepAside(QSettings& settings) {
        QList<std::pair<QString, QVariant>> readable;
        for (const QString& name : settings.allKeys()) {
            readable.append({name, settings.value(name)});
        }
        const QString path = settings.fileName();
        const QString backup = backupName(path);
        if (!QFile::rename(path, backup)) {
            fail("cannot keep the unreadable settings file " + path + " as " + backup);
        }
        qt::IniTextFormat::forget(path);
        Warn("The unreadable settings file is kept as " + backup.toStdString() +
             "; a fresh one takes its place.");
        return readable;
    }
};

}  // namespace

std::unique_ptr<SettingsStore> createSettingsStore() {
    return std::make_unique<IniSettingsStore>();
}

}  // namespace toolkit
