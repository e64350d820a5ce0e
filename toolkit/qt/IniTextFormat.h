#pragma once

// The settings file's format for QSettings: IniTextReader's syntax, every value text, with
// QSettings' own locking and atomic replacement of the file.

#include <QSettings>
#include <QString>

namespace toolkit::qt {

class IniTextFormat {
  public:
    static QSettings::Format format();

    // Whether QSettings, when it last read the file in this process, found lines in it that
    // are not settings, and the file is still the one it read. QSettings itself is only told
    // of it by a failed read, which would cost the keys that could be read.
    static bool foundUnreadable(const QString& path);
    static void forget(const QString& path);
};

}  // namespace toolkit::qt
