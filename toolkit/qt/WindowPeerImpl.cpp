#include "WindowPeerImpl.h"

#include <QFont>
#include <QFrame>
#include <QIcon>
#include <QLineEdit>
#include <QPalette>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <algorithm>
#include <cstdlib>

#include "../Form.h"
#include "CheckWidget.h"
#include "ControlPeerImpl.h"
#include "LabelWidget.h"
#include "LineWidget.h"
#include "PictureWidget.h"
#include "Platform.h"
#include "QtValues.h"
#include "TickWait.h"

namespace toolkit::qt {

namespace {

void setColours(QWidget* widget, Colour fore, Colour back) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, toQColor(fore));
    palette.setColor(QPalette::Text, toQColor(fore));
    palette.setColor(QPalette::Window, toQColor(back));
    palette.setColor(QPalette::Base, toQColor(back));
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

}  // namespace

WindowPeerImpl::WindowPeerImpl(const WindowDesign& design) : widget_(new FormWidget) {
    TickWait::qtChanged();
    widget_->peer = this;
    widget_->setWindowTitle(toQString(design.caption));
    if (!design.icon.empty()) {
        widget_->setWindowIcon(QIcon(QStringLiteral(":/pulseward/") + toQString(design.icon)));
    }
    widget_->setAttribute(Qt::WA_QuitOnClose, false);
}

WindowPeerImpl::~WindowPeerImpl() {
    TickWait::qtChanged();
    if (widget_) {
        widget_->peer = nullptr;
        widget_->hide();
        widget_->deleteLater();
    }
}

std::unique_ptr<ControlPeer> WindowPeerImpl::createControl(const ControlDescription& description) {
    TickWait::qtChanged();
    QWidget* widget = nullptr;
    ActionSource* source = nullptr;
    const QFont defaultFont = widget_->font();
    switch (description.kind) {
        case ControlKind::CommandButton: {
            auto* button = new QPushButton(toQString(description.caption), widget_);
            button->setAutoDefault(false);
            button->setDefault(false);
            auto peerSource = new ActionSource;
            ownedSources_.emplace_back(peerSource);
            QObject::connect(button, &QPushButton::clicked, button,
                             [peerSource] { peerSource->reportClick(); });
            widget = button;
            source = peerSource;
            break;
        }
        case ControlKind::PictureBox: {
            auto* picture = new PictureWidget(widget_);
            picture->setFrameStyle(QFrame::Panel | QFrame::Sunken);
            picture->setLineWidth(2);
            picture->setPixmap(
                QPixmap(QStringLiteral(":/pulseward/") + toQString(description.picture)));
            picture->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            picture->setFocusPolicy(Qt::TabFocus);
            widget = picture;
            source = picture;
            break;
        }
        case ControlKind::CheckBox: {
            auto* box = new CheckWidget(toQString(description.caption), widget_);
            box->setTristate(true);
            QObject::connect(box, &QCheckBox::clicked, box, [box] { box->reportClick(); });
            widget = box;
            source = box;
            break;
        }
        case ControlKind::Label: {
            auto* label = new LabelWidget(toQString(description.caption), widget_);
            label->setWordWrap(true);
            label->setAlignment(Qt::AlignCenter);
            label->setFocusPolicy(Qt::NoFocus);
            widget = label;
            source = label;
            break;
        }
        case ControlKind::TextBox: {
            if (description.multiLine) {
                auto* box = new QPlainTextEdit(toQString(description.caption), widget_);
                box->setReadOnly(description.locked);
                box->setLineWrapMode(QPlainTextEdit::WidgetWidth);
                widget = box;
            } else {
                auto* box = new QLineEdit(toQString(description.caption), widget_);
                box->setReadOnly(description.locked);
                box->setCursorPosition(0);
                widget = box;
            }
            break;
        }
        case ControlKind::Line: {
            const PixelRect& r = description.rect;
            auto* line = new LineWidget(widget_, r.width, r.height);
            line->setGeometry(std::min(r.x, r.x + r.width), std::min(r.y, r.y + r.height),
                              std::abs(r.width) + 1, std::abs(r.height) + 1);
            line->show();
            return std::make_unique<ControlPeerImpl>(line, nullptr);
        }
    }
    widget->setFont(toQFont(description.font, defaultFont));
    if (description.hasColours) {
        setColours(widget, description.foreColor, description.backColor);
    }
    if (description.kind == ControlKind::CheckBox) {
        widget->setFocusPolicy(Qt::StrongFocus);
    }
    widget->setGeometry(description.rect.x, description.rect.y, description.rect.width,
                        description.rect.height);
    auto peer = std::make_unique<ControlPeerImpl>(widget, source);
    peer->setVisible(description.visible);
    peer->setValue(description.value);
    if (description.tabIndex >= 0) {
        tabOrder_.push_back({description.tabIndex, widget});
    }
    return peer;
}

void WindowPeerImpl::controlsCreated() {
    TickWait::qtChanged();
    std::sort(tabOrder_.begin(), tabOrder_.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    QWidget* previous = nullptr;
    for (const auto& [index, widget] : tabOrder_) {
        if (widget->focusPolicy() == Qt::NoFocus) {
            continue;
        }
        if (previous) {
            QWidget::setTabOrder(previous, widget);
        } else {
            widget->setFocus();
        }
        previous = widget;
    }
}

void WindowPeerImpl::setBackColor(Colour colour) {
    TickWait::qtChanged();
    QPalette palette;
    if (!isSystemColour(colour)) {
        palette.setColor(QPalette::Window, toQColor(colour));
    }
    widget_->setPalette(palette);
    widget_->setAutoFillBackground(true);
}

void WindowPeerImpl::moveFrame(int x, int y) {
    TickWait::qtChanged();
    widget_->move(x, y);
}

void WindowPeerImpl::framePosition(int& x, int& y) const {
    const QPoint position = widget_->pos();
    x = position.x();
    y = position.y();
}

bool WindowPeerImpl::knowsPlace() const {
    return !onNativeWayland();
}

void WindowPeerImpl::resizeClient(int width, int height) {
    TickWait::qtChanged();
    widget_->resize(width, height);
}

void WindowPeerImpl::clientSize(int& width, int& height) const {
    width = widget_->width();
    height = widget_->height();
}

int WindowPeerImpl::windowState() const {
    if (widget_->isMinimized()) {
        return vbMinimized;
    }
    return widget_->isMaximized() ? vbMaximized : vbNormal;
}

void WindowPeerImpl::setWindowState(int state) {
    TickWait::qtChanged();
    widget_->setWindowState(state == vbMinimized   ? Qt::WindowMinimized
                            : state == vbMaximized ? Qt::WindowMaximized
                                                   : Qt::WindowNoState);
}

WindowHandle WindowPeerImpl::handle() {
    if (!widget_->internalWinId()) {
        TickWait::qtChanged();  // the native window is made now
    }
    return static_cast<WindowHandle>(widget_->winId());
}

void WindowPeerImpl::show() {
    TickWait::qtChanged();
    widget_->show();
    widget_->activateWindow();
}

void WindowPeerImpl::setModalOwner(WindowPeer& owner) {
    TickWait::qtChanged();
    auto& ownerImpl = static_cast<WindowPeerImpl&>(owner);
    const QPoint position = widget_->pos();
    const QSize size = widget_->size();
    widget_->setParent(ownerImpl.widget_, widget_->windowFlags());
    widget_->move(position);
    widget_->resize(size);
    widget_->setWindowModality(Qt::ApplicationModal);
}

}  // namespace toolkit::qt
