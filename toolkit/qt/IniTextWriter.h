#pragma once

// Writes the settings file's text byte for byte as QSettings' IniFormat writes texts and lists
// of texts (the syntax IniTextReader reads), sections and keys in name order.

#include <QByteArray>
#include <QSettings>

namespace toolkit::qt {

class IniTextWriter {
  public:
    // A value that is neither a text nor a list of texts is written as its text.
    static QByteArray serialize(const QSettings::SettingsMap& values);
};

}  // namespace toolkit::qt
