#include "QtValues.h"

namespace toolkit::qt {

QColor toQColor(Colour colour) {
    return QColor(int(colour & 0xFF), int((colour >> 8) & 0xFF), int((colour >> 16) & 0xFF));
}

QString toQString(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QFont toQFont(const Font& font, const QFont& fallback) {
    if (!font.name) {
        return fallback;
    }
    QFont result(QString::fromUtf8(font.name));
    // Where the named face is missing, fontconfig substitutes a sans-serif one.
    result.setStyleHint(QFont::SansSerif);
    result.setPointSizeF(font.points);
    result.setWeight(static_cast<QFont::Weight>(font.weight));
    return result;
}

}  // namespace toolkit::qt
