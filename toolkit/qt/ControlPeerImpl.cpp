#include "ControlPeerImpl.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QLabel>
#include <QSignalBlocker>

#include "QtValues.h"
#include "TickWait.h"

namespace toolkit::qt {

ControlPeerImpl::ControlPeerImpl(QWidget* widget, ActionSource* source)
    : widget_(widget), picture_(dynamic_cast<PictureWidget*>(widget)), source_(source) {
    if (source_) {
        source_->peer = this;
    }
}

ControlPeerImpl::~ControlPeerImpl() {
    TickWait::qtChanged();
    if (widget_) {
        if (source_) {
            source_->peer = nullptr;
        }
        widget_->hide();
        widget_->deleteLater();
    }
}

void ControlPeerImpl::setVisible(bool visible) {
    if (picture_) {
        picture_->setShown(visible);
    } else if (widget_) {
        TickWait::qtChanged();
        widget_->setVisible(visible);
    }
}

void ControlPeerImpl::setCaption(std::string_view caption) {
    TickWait::qtChanged();
    if (auto* label = qobject_cast<QLabel*>(widget_.data())) {
        label->setText(toQString(caption));
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget_.data())) {
        button->setText(toQString(caption));
    }
}

void ControlPeerImpl::setValue(int value) {
    TickWait::qtChanged();
    if (auto* box = qobject_cast<QCheckBox*>(widget_.data())) {
        const QSignalBlocker blocker(box);
        box->setCheckState(value == 1   ? Qt::Checked
                           : value == 2 ? Qt::PartiallyChecked
                                        : Qt::Unchecked);
    }
}

}  // namespace toolkit::qt
