#pragma once

#include <QPointer>
#include <QWidget>
#include <string_view>

#include "../Peers.h"
#include "ActionSource.h"
#include "PictureWidget.h"

namespace toolkit::qt {

class ControlPeerImpl : public ControlPeer {
  public:
    ControlPeerImpl(QWidget* widget, ActionSource* source);
    ~ControlPeerImpl() override;

    void setVisible(bool visible) override;
    void setCaption(std::string_view caption) override;
    void setValue(int value) override;

    QWidget* widget() const { return widget_.data(); }

  private:
    QPointer<QWidget> widget_;
    QPointer<PictureWidget> picture_;
    ActionSource* source_;
};

}  // namespace toolkit::qt
