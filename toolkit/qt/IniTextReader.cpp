#include "IniTextReader.h"

#include <QMap>
#include <QString>
#include <QStringDecoder>
#include <QStringList>
#include <QStringView>
#include <algorithm>
#include <iterator>
#include <utility>

namespace toolkit::qt {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool isLineBreak(char c) {
    return c == '\n' || c == '\r';
}

bool isHexDigit(char16_t c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

int hexValue(char c) {
    return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10;
}

// "\r\n" and "\n\r" are one line break, as are "\n" and "\r" alone.
bool pairedBreak(char first, char second) {
    return isLineBreak(first) && isLineBreak(second) && first != second;
}

struct Line {
    qsizetype start = 0;
    qsizetype length = 0;
    qsizetype equals = -1;  // the first unquoted '=', from the line's start
};

// The next line from pos on, blank lines and whole-line comments skipped. A line ends at a line
// break or a semicolon (the rest of it a comment) that is not in double quotes; a backslash
// takes the next character, a line break included, into the line. Empty only at the end.
Line nextLine(QByteArrayView text, qsizetype& pos) {
    const qsizetype size = text.size();
    qsizetype start = pos;
    while (start < size && isBlank(text[start])) {
        ++start;
    }
    qsizetype equals = -1;
    bool inQuotes = false;
    qsizetype i = start;
    bool ended = false;
    while (i < size && !ended) {
        const char c = text[i++];
        switch (c) {
            case '=':
                if (!inQuotes && equals < 0) {
                    equals = i - 1;
                }
                break;
            case '\n':
            case '\r':
                if (i == start + 1) {
                    ++start;
                } else if (!inQuotes) {
                    --i;
                    ended = true;
                }
                break;
            case '\\':
                if (i < size) {
                    const char taken = text[i++];
                    if (i < size && pairedBreak(taken, text[i])) {
                        ++i;
                    }
                }
                break;
            case '"':
                inQuotes = !inQuotes;
                break;
            case ';':
                if (i == start + 1) {
                    while (i < size && !isLineBreak(text[i])) {
                        ++i;
                    }
                    while (i < size && isBlank(text[i])) {
                        ++i;
                    }
                    start = i;
                } else if (!inQuotes) {
                    --i;
                    ended = true;
                }
                break;
            default:
                break;
        }
    }
    pos = i;
    return Line{start, i - start, equals < 0 ? -1 : equals - start};
}

// "%XX" and "%UXXXX" stand for the character with that code, a backslash for a slash; anything
// else, a '%' that starts no code included, is itself.
QString unescapedKey(QByteArrayView escaped) {
    const QString text = QString::fromUtf8(escaped);
    QString key;
    key.reserve(text.size());
    qsizetype i = 0;
    while (i < text.size()) {
        const QChar c = text[i];
        if (c == u'\\') {
            key += u'/';
            ++i;
            continue;
        }
        if (c != u'%' || i == text.size() - 1) {
            key += c;
            ++i;
            continue;
        }
        const bool wide = text[i + 1] == u'U';
        const qsizetype first = i + (wide ? 2 : 1);
        const qsizetype digits = wide ? 4 : 2;
        bool ok = false;
        const ushort code = first + digits <= text.size()
                                ? QStringView(text).sliced(first, digits).toUShort(&ok, 16)
                                : 0;
        if (!ok) {
            key += u'%';
            ++i;
            continue;
        }
        key += QChar(code);
        i = first + digits;
    }
    return key;
}

QString sectionPrefix(QByteArrayView name) {
    if (name.compare("general", Qt::CaseInsensitive) == 0) {
        return {};
    }
    if (name.compare("%general", Qt::CaseInsensitive) == 0) {
        return QString::fromLatin1(name.sliced(1)) + u'/';
    }
    return unescapedKey(name) + u'/';
}

// The text a stored text stands for: IniFormat marks a text that starts with '@' by one more,
// and a text holding a NUL as "@String(...)".
QString storedText(QString text) {
    if (text.startsWith(u"@String(") && text.endsWith(u')')) {
        return text.sliced(8).chopped(1);
    }
    if (text.startsWith(u"@@")) {
        text.remove(0, 1);
    }
    return text;
}

void chopBlanks(QString& text, qsizetype limit) {
    qsizetype end = text.size();
    while (end > limit && (text[end - 1] == u' ' || text[end - 1] == u'\t')) {
        --end;
    }
    text.truncate(end);
}

// A value's text: C escapes, double quotes (which keep blanks and commas), and a list where
// an unquoted comma parts it. Blanks around an unquoted item are dropped, but not those an
// escape made. Bytes go through one UTF-8 decoder in order, as IniFormat reads them.
QVariant unescapedValue(QByteArrayView text) {
    static constexpr std::pair<char, char16_t> simpleEscapes[] = {
        {'a', '\a'}, {'b', '\b'}, {'f', '\f'}, {'n', '\n'},  {'r', '\r'},  {'t', '\t'},
        {'v', '\v'}, {'"', '"'},  {'?', '?'},  {'\'', '\''}, {'\\', '\\'},
    };
    const qsizetype size = text.size();
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString item;
    QStringList items;
    bool isList = false;
    bool inQuotes = false;
    bool quoted = false;
    qsizetype i = 0;
    const auto skipBlanks = [&] {
        while (i < size && (text[i] == ' ' || text[i] == '\t')) {
            ++i;
        }
    };
    // Trailing blanks are dropped only after the last escape or quote.
    qsizetype keep = 0;
    // Where the text ends in the middle of an escape, nothing is dropped.
    bool endedInEscape = false;
    // An escape's code: digits taken as long as they come, modulo 2^16.
    const auto number = [&](char16_t code, int bits, auto isDigit) {
        while (i < size && isDigit(text[i])) {
            code = static_cast<char16_t>((code << bits) + hexValue(text[i]));
            ++i;
        }
        item += QChar(code);
        endedInEscape = i >= size;
    };

    skipBlanks();
    while (i < size && !endedInEscape) {
        const char c = text[i];
        if (c == '\\') {
            if (++i >= size) {
                endedInEscape = true;
                break;
            }
            const char escape = text[i++];
            const auto simple = std::find_if(std::begin(simpleEscapes), std::end(simpleEscapes),
                                             [escape](const auto& e) { return e.first == escape; });
            if (simple != std::end(simpleEscapes)) {
                item += QChar(simple->second);
            } else if (escape == 'x') {
                if (i >= size) {
                    endedInEscape = true;
                    break;
                }
                if (isHexDigit(static_cast<unsigned char>(text[i]))) {
                    number(0, 4, [](char d) { return isHexDigit(static_cast<unsigned char>(d)); });
                }
            } else if (escape >= '0' && escape <= '7') {
                number(static_cast<char16_t>(escape - '0'), 3,
                       [](char d) { return d >= '0' && d <= '7'; });
            } else if (isLineBreak(escape)) {
                if (i < size && pairedBreak(escape, text[i])) {
                    ++i;
                }
            }
            // Any other escaped character is dropped.
            keep = item.size();
        } else if (c == '"') {
            ++i;
            quoted = true;
            inQuotes = !inQuotes;
            if (!inQuotes) {
                skipBlanks();
                keep = item.size();
            }
        } else if (c == ',' && !inQuotes) {
            if (!quoted) {
                chopBlanks(item, keep);
            }
            isList = true;
            items.append(std::exchange(item, QString()));
            quoted = false;
            ++i;
            skipBlanks();
            keep = 0;
        } else {
            qsizetype end = i + 1;
            while (end < size && text[end] != '\\' && text[end] != '"' && text[end] != ',') {
                ++end;
            }
            item += utf8(text.sliced(i, end - i));
            i = end;
        }
    }
    if (!endedInEscape && !quoted) {
        chopBlanks(item, keep);
    }
    if (!isList) {
        return storedText(std::move(item));
    }
    items.append(std::move(item));
    for (QString& each : items) {
        each = storedText(std::move(each));
    }
    return items;
}

}  // namespace

IniTextReader::Parsed IniTextReader::parse(QByteArrayView text) {
    Parsed parsed;
    qsizetype pos = text.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    QString prefix;
    for (Line line = nextLine(text, pos); line.length > 0; line = nextLine(text, pos)) {
        const QByteArrayView content = text.sliced(line.start, line.length);
        if (content.startsWith('[')) {
            qsizetype close = content.indexOf(']');
            if (close < 0) {
                parsed.readable = false;
                close = content.size();
            }
            prefix = sectionPrefix(content.first(close).sliced(1).trimmed());
            continue;
        }
        if (line.equals < 0) {
            parsed.readable = false;
            continue;
        }
        parsed.values.insert(prefix + unescapedKey(content.first(line.equals).trimmed()),
                             unescapedValue(content.sliced(line.equals + 1)));
    }
    return parsed;
}

}  // namespace toolkit::qt
