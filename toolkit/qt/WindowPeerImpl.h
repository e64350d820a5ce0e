#pragma once

#include <QPointer>
#include <QWidget>
#include <memory>
#include <utility>
#include <vector>

#include "../Peers.h"
#include "ActionSource.h"
#include "FormWidget.h"

namespace toolkit::qt {

class WindowPeerImpl : public WindowPeer {
  public:
    explicit WindowPeerImpl(const WindowDesign& design);
    ~WindowPeerImpl() override;

    std::unique_ptr<ControlPeer> createControl(const ControlDescription& description) override;
    void controlsCreated() override;

    // A system colour is left to the application's palette, so that a change of the desktop's
    // theme reaches the window too. A window takes no colour from its owner.
    void setBackColor(Colour colour) override;
    void moveFrame(int x, int y) override;
    void framePosition(int& x, int& y) const override;
    bool knowsPlace() const override;
    void resizeClient(int width, int height) override;
    void clientSize(int& width, int& height) const override;
    int windowState() const override;
    void setWindowState(int state) override;
    WindowHandle handle() override;
    void show() override;
    void setModalOwner(WindowPeer& owner) override;

  private:
    QPointer<FormWidget> widget_;
    std::vector<std::pair<int, QWidget*>> tabOrder_;
    std::vector<std::unique_ptr<ActionSource>> ownedSources_;
};

}  // namespace toolkit::qt
