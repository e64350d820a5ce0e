#include "PictureWidget.h"

#include <QApplication>
#include <QGuiApplication>
#include <QImage>
#include <QPoint>
#include <QRegion>
#include <cstdint>

#include "TickWait.h"

namespace toolkit::qt {

void PictureWidget::setShown(bool shown) {
    shown_ = shown;
    if (!serverPicture_) {
        TickWait::qtChanged();
        serverPicture_ = createServerPicture();
    }
    if (!serverPicture_) {
        setVisible(shown);
        return;
    }
    serverPicture_->setShown(shown);
    setFocusPolicy(shown ? Qt::TabFocus : Qt::NoFocus);
    if (!shown && QApplication::focusWidget() == this) {
        TickWait::qtChanged();
        focusNextChild();
    }
}

void PictureWidget::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange && serverPicture_) {
        TickWait::qtChanged();
        serverPicture_ = createServerPicture();
    }
    LabelWidget::changeEvent(event);
}

void PictureWidget::hideEvent(QHideEvent* event) {
    if (!event->spontaneous()) {
        serverPicture_.reset();
    }
    LabelWidget::hideEvent(event);
}

void PictureWidget::mouseDoubleClickEvent(QMouseEvent* event) {
    if (!shown_) {
        event->ignore();
        return;
    }
    LabelWidget::mouseDoubleClickEvent(event);
}

std::unique_ptr<x11::ServerPicture> PictureWidget::createServerPicture() {
    if (QGuiApplication::platformName() != QLatin1String("xcb") || !isVisible() ||
        devicePixelRatioF() != 1.0) {
        return nullptr;
    }
    const QColor formColour = window()->palette().color(QPalette::Window);
    QImage image(size(), QImage::Format_RGB32);
    image.fill(formColour);
    render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    const QPoint at = mapTo(window(), QPoint(0, 0));
    return x11::ServerPicture::create(static_cast<WindowHandle>(window()->winId()),
                                      {at.x(), at.y(), image.width(), image.height()},
                                      reinterpret_cast<const std::uint32_t*>(image.constBits()),
                                      static_cast<int>(image.bytesPerLine() / 4),
                                      formColour.rgb() & 0xFFFFFF, shown_);
}

}  // namespace toolkit::qt
