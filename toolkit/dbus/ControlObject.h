#pragma once

#include <QObject>
#include <utility>

#include "../SingleCopy.h"

namespace toolkit::dbus {

// The running copy's object on the session bus: its slots are the interface's methods.
class ControlObject : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool Running READ running)
    Q_PROPERTY(qlonglong SecondsLeft READ secondsLeft)

  public:
    explicit ControlObject(SingleCopy::Handlers handlers) : handlers_(std::move(handlers)) {}

    bool running() const;
    qlonglong secondsLeft() const;

  public Q_SLOTS:
    void Raise();
    void Start();
    void StartFor(qlonglong seconds);
    void Stop();
    void Toggle();
    void Quit();

  private:
    SingleCopy::Handlers handlers_;
};

}  // namespace toolkit::dbus
