#pragma once

// The toolkit's colours, text and fonts as Qt's.

#include <QColor>
#include <QFont>
#include <QString>
#include <string_view>

#include "../Geometry.h"

namespace toolkit::qt {

QColor toQColor(Colour colour);
QString toQString(std::string_view text);
// The fallback for a font without a name.
QFont toQFont(const Font& font, const QFont& fallback);

}  // namespace toolkit::qt
