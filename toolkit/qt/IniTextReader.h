#pragma once

// Reads the settings file's text: the INI syntax that QSettings' IniFormat reads and writes,
// with every value kept as text.
//
// Read as IniFormat reads it: sections in brackets ([General] for keys outside any section),
// keys with %XX and %UXXXX escapes and a backslash for a slash, values with C escapes, double
// quotes and comma-separated lists, comments from a semicolon, a backslash joining lines. A
// UTF-8 byte order mark at the start is skipped (IniFormat takes it into the first line). A value
// is a QString, or a QStringList where an unquoted comma made a list. Of IniFormat's marks for
// stored types only those for text are understood ("@@" for a leading "@", "@String(...)" for
// text holding a NUL); "@Variant(...)", "@ByteArray(...)" and the like stay the text they are.
// Nothing read is larger than the text it was read from.

#include <QByteArrayView>
#include <QSettings>

namespace toolkit::qt {

class IniTextReader {
  public:
    struct Parsed {
        QSettings::SettingsMap values;
        // False when a line is neither a section, a key with its value nor a comment, or a
        // section lacks its closing bracket; what could be read is in values all the same.
        bool readable = true;
    };

    static Parsed parse(QByteArrayView text);
};

}  // namespace toolkit::qt
