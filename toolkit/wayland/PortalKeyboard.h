#pragma once

#include <QDBusConnection>
#include <QDBusError>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QVariantMap>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "KeyRoute.h"
#include "ParentWindow.h"

class QDBusServiceWatcher;

namespace toolkit::wayland {

// Key presses through the desktop portal's remote desktop (org.freedesktop.portal.RemoteDesktop
// on the session bus; GNOME and KDE). The desktop may ask the user, in a dialog of its own (GNOME
// at every start with version 1 of the interface, once with version 2); that answer comes whenever
// the user gives it, so open() only starts the session and returns, presses made while the desktop
// is still asking are not sent, and a refusal, a user who does not answer in time, or a session the
// desktop closes later reaches the pulse through KeysRefusedLater. Closing while the desktop asks
// withdraws the question, closing its dialog. From version 2 of the interface the permission is
// kept until revoked: the token the desktop hands back for the next run is a file of ours in the
// user's state folder.
//
// The session belongs to the bus connection that created it, so the program keeps one
// connection, the session bus's, for the whole run.
class PortalKeyboard : public QObject, public KeyRoute {
    Q_OBJECT

  public:
    // The window the desktop's dialog belongs to, as the portal names it (portalParentWindow()).
    using ParentWindow = std::function<std::string()>;

    // tokenFile: where the restore token is kept; empty: restoreTokenFile().
    explicit PortalKeyboard(std::filesystem::path tokenFile = {},
                            ParentWindow parentWindow = portalParentWindow);
    ~PortalKeyboard() override;
    PortalKeyboard(const PortalKeyboard&) = delete;
    PortalKeyboard& operator=(const PortalKeyboard&) = delete;

    std::string_view name() const override { return "org.freedesktop.portal.RemoteDesktop"; }
    void open() override;
    bool ready() const override;
    bool asking() const override;
    void pressAndRelease(Key key) override;
    void pulseStopped() override;
    void close() override;

    // $XDG_STATE_HOME (else ~/.local/state)/FERN-BADGER-PULSEWARD/remote-desktop-token
    static std::filesystem::path restoreTokenFile();
    // How long the desktop may take to answer, the user's decision included; tests may shorten
    // it through PULSEWARD_PORTAL_ANSWER_LIMIT_MS. Giving up withdraws the question.
    static constexpr int answerLimitMs = 120000;

  private slots:
    void answered(uint response, const QVariantMap& results);
    void sessionClosed(const QVariantMap& details);
    void keyRefused(const QDBusError& error);
    void keyDelivered();

  private:
    enum class State { Closed, CreatingSession, SelectingDevices, Starting, Granted, Failed };

    void request(const QString& method, QList<QVariant> arguments, QVariantMap options);
    void stopListening();
    void fail(const std::string& reason);
    void sendKey(bool pressed);

    QDBusConnection bus_;
    std::filesystem::path tokenFile_;
    ParentWindow parentWindow_;
    State state_ = State::Closed;
    unsigned version_ = 0;
    QString requestPath_;
    QString sessionPath_;
    unsigned requests_ = 0;
    QTimer answerLimit_;
    QElapsedTimer startAsked_;
    bool reopensWithoutAsking_ = false;
    std::unique_ptr<QDBusServiceWatcher> portalWatch_;
};

}  // namespace toolkit::wayland
