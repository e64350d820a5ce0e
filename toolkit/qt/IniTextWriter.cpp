#include "IniTextWriter.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QStringEncoder>
#include <QStringList>
#include <QStringView>
#include <utility>

namespace toolkit::qt {

namespace {

bool isHexDigit(char16_t c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// Letters, digits, '_', '-' and '.' stand as they are; a slash is a backslash, any other
// character "%XX" or "%UXXXX".
QByteArray escapedKey(QStringView key) {
    QByteArray escaped;
    escaped.reserve(key.size());
    for (const QChar c : key) {
        const char16_t code = c.unicode();
        if (code == '/') {
            escaped += '\\';
        } else if ((code >= 'a' && code <= 'z') || (code >= 'A' && code <= 'Z') ||
                   (code >= '0' && code <= '9') || code == '_' || code == '-' || code == '.') {
            escaped += static_cast<char>(code);
        } else if (code <= 0xFF) {
            escaped += '%' + QByteArray::number(code, 16).toUpper().rightJustified(2, '0');
        } else {
            escaped += "%U" + QByteArray::number(code, 16).toUpper().rightJustified(4, '0');
        }
    }
    return escaped;
}

// One text as IniFormat writes a text: marked when it starts with '@' or holds a NUL, control
// characters escaped, the rest UTF-8, in double quotes where a ';', ',' or '=' or a blank at
// either end would otherwise be lost.
void appendText(const QString& value, QByteArray& out) {
    QString text = value;
    if (text.contains(QChar::Null)) {
        text = QStringLiteral("@String(") + text + u')';
    } else if (text.startsWith(u'@')) {
        text.prepend(u'@');
    }
    const qsizetype start = out.size();
    bool needsQuotes = false;
    // After a numeric escape a hex digit would be read as part of it, so it is escaped too.
    bool afterNumber = false;
    QStringEncoder toUtf8(QStringEncoder::Utf8);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c == ';' || c == ',' || c == '=') {
            needsQuotes = true;
        }
        if (afterNumber && isHexDigit(c)) {
            out += "\\x" + QByteArray::number(c, 16);
            continue;
        }
        afterNumber = false;
        switch (c) {
            case '\0':
                out += "\\0";
                afterNumber = true;
                break;
            case '\a':
                out += "\\a";
                break;
            case '\b':
                out += "\\b";
                break;
            case '\f':
                out += "\\f";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\v':
                out += "\\v";
                break;
            case '"':
            case '\\':
                out += '\\';
                out += static_cast<char>(c);
                break;
            default:
                if (c <= 0x1F) {
                    out += "\\x" + QByteArray::number(c, 16);
                    afterNumber = true;
                } else {
                    out += toUtf8(QStringView(text).sliced(i, 1));
                }
        }
    }
    if (needsQuotes || (out.size() > start && (out[start] == ' ' || out.back() == ' '))) {
        out.insert(start, '"');
        out += '"';
    }
}

void appendValue(const QVariant& value, QByteArray& out) {
    if (value.userType() != QMetaType::QStringList) {
        appendText(value.toString(), out);
        return;
    }
    const QStringList items = value.toStringList();
    // IniFormat's mark for an empty list.
    if (items.isEmpty()) {
        out += "@Invalid()";
    }
    for (qsizetype i = 0; i < items.size(); ++i) {
        if (i > 0) {
            out += ", ";
        }
        appendText(items[i], out);
    }
}

}  // namespace

QByteArray IniTextWriter::serialize(const QSettings::SettingsMap& values) {
    // Keys outside any section have the empty name, and so come first.
    QMap<QString, QList<std::pair<QString, QVariant>>> sections;
    for (auto it = values.begin(); it != values.end(); ++it) {
        const qsizetype slash = it.key().indexOf(u'/');
        sections[slash < 0 ? QString() : it.key().first(slash)].append(
            {slash < 0 ? it.key() : it.key().sliced(slash + 1), it.value()});
    }
    QByteArray out;
    for (auto section = sections.begin(); section != sections.end(); ++section) {
        QByteArray name = escapedKey(section.key());
        if (name.isEmpty()) {
            name = "General";
        } else if (name.compare("general", Qt::CaseInsensitive) == 0) {
            name = "%General";
        }
        if (!out.isEmpty()) {
            out += '\n';
        }
        out += '[' + name + "]\n";
        for (const auto& [key, value] : section.value()) {
            out += escapedKey(key) + '=';
            appendValue(value, out);
            out += '\n';
        }
    }
    return out;
}

}  // namespace toolkit::qt
