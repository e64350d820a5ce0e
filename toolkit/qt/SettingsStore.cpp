// The per-user settings store on Qt: one INI file per application name in the user's
// configuration directory ($XDG_CONFIG_HOME, else ~/.config), a group per section.
//
// Implemented: reads that see other processes' writes, writes that are on disk before they
// return, atomic replacement and locking against other running copies (QSettings' own).
// Not implemented: change notification.

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QStringList>

#include "../RuntimeError.h"
#include "../SettingsStore.h"

namespace toolkit {

namespace {

QString toQString(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

class IniSettingsStore : public SettingsStore {
  public:
    std::optional<std::string> read(std::string_view appName, std::string_view section,
                                    std::string_view key) override {
        QSettings settings(pathFor(appName), QSettings::IniFormat);
        const QVariant value = settings.value(toQString(section) + '/' + toQString(key));
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
            throw RuntimeError(75, "Path/File access error: cannot create " + folder.toStdString());
        }
        QSettings settings(path, QSettings::IniFormat);
        settings.setValue(toQString(section) + '/' + toQString(key), toQString(value));
        settings.sync();
        if (settings.status() != QSettings::NoError) {
            throw RuntimeError(75, "Path/File access error: cannot write " + path.toStdString());
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
};

}  // namespace

std::unique_ptr<SettingsStore> createSettingsStore() {
    return std::make_unique<IniSettingsStore>();
}

}  // namespace toolkit
