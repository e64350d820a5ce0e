#include "LineWidget.h"

#include <QPainter>
#include <QPen>

namespace toolkit::qt {

LineWidget::LineWidget(QWidget* parent, int dx, int dy) : QWidget(parent), dx_(dx), dy_(dy) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void LineWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(QPen(Qt::black, 1));
    const int x1 = dx_ < 0 ? -dx_ : 0;
    const int y1 = dy_ < 0 ? -dy_ : 0;
    painter.drawLine(x1, y1, x1 + dx_, y1 + dy_);
}

}  // namespace toolkit::qt
