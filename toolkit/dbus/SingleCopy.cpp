// The single running copy through a well-known name on the D-Bus session bus.
// Implemented: the name, the methods Raise, Start, StartFor, Stop, Toggle, Quit and the
// properties Running and SecondsLeft at /<id as a path>, interface "<id>.Control".
// Not done: without a session bus (no DBUS_SESSION_BUS_ADDRESS and no $XDG_RUNTIME_DIR/bus)
// nothing is looked for; libdbus is never left to launch a bus of its own through X.

#include "../SingleCopy.h"

#include <sys/stat.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QString>
#include <QTimer>
#include <cstdlib>
#include <string>

#include "../RuntimeError.h"
#include "ControlObject.h"

namespace toolkit::SingleCopy {

namespace {

constexpr int callLimitMs = 5000;
const QString handOverConnection = QStringLiteral("pulseward-hand-over");

bool sessionBusNamed() {
    const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    if (address && *address) {
        return !std::string_view(address).starts_with("autolaunch:");
    }
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    struct stat info {};
    return runtime && *runtime && stat((std::string(runtime) + "/bus").c_str(), &info) == 0 &&
           S_ISSOCK(info.st_mode);
}

QString service(std::string_view id) {
    return QString::fromUtf8(id.data(), qsizetype(id.size()));
}

QString objectPath(std::string_view id) {
    return QLatin1Char('/') + service(id).replace(QLatin1Char('.'), QLatin1Char('/'));
}

QString interfaceName(std::string_view id) {
    return service(id) + QStringLiteral(".Control");
}

QString methodName(Command command) {
    switch (command) {
        case Command::Raise:
            return QStringLiteral("Raise");
        case Command::Start:
            return QStringLiteral("Start");
        case Command::StartFor:
            return QStringLiteral("StartFor");
        case Command::Stop:
            return QStringLiteral("Stop");
        case Command::Toggle:
            return QStringLiteral("Toggle");
        case Command::Quit:
            return QStringLiteral("Quit");
    }
    return {};
}

// A connection of its own, which needs no application object, closed when it goes.
class HandOver {
  public:
    HandOver()
        : bus_(QDBusConnection::connectToBus(QDBusConnection::SessionBus, handOverConnection)) {}
    ~HandOver() { QDBusConnection::disconnectFromBus(handOverConnection); }
    HandOver(const HandOver&) = delete;
    HandOver& operator=(const HandOver&) = delete;

    bool connected() const { return bus_.isConnected(); }
    bool copyRuns(std::string_view id) const {
        return bus_.interface() && bus_.interface()->isServiceRegistered(service(id)).value();
    }
    QDBusMessage call(const QDBusMessage& message) {
        return bus_.call(message, QDBus::Block, callLimitMs);
    }

  private:
    QDBusConnection bus_;
};

}  // namespace

Reached send(std::string_view id, Command command, long long seconds) {
    if (!sessionBusNamed()) {
        return Reached::NoSession;
    }
    HandOver bus;
    if (!bus.connected()) {
        return Reached::NoSession;
    }
    if (!bus.copyRuns(id)) {
        return Reached::NoCopy;
    }
    QDBusMessage message = QDBusMessage::createMethodCall(service(id), objectPath(id),
                                                          interfaceName(id), methodName(command));
    if (command == Command::StartFor) {
        message << qlonglong(seconds);
    }
    const QDBusMessage reply = bus.call(message);
    // The copy may have ended between the look and the call.
    return reply.type() == QDBusMessage::ReplyMessage || bus.copyRuns(id) ? Reached::Done
                                                                          : Reached::NoCopy;
}

std::optional<State> query(std::string_view id) {
    if (!sessionBusNamed()) {
        return std::nullopt;
    }
    HandOver bus;
    if (!bus.connected() || !bus.copyRuns(id)) {
        return std::nullopt;
    }
    QDBusMessage message = QDBusMessage::createMethodCall(
        service(id), objectPath(id), QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("GetAll"));
    message << interfaceName(id);
    const QDBusMessage reply = bus.call(message);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        return std::nullopt;
    }
    const QVariantMap properties = qdbus_cast<QVariantMap>(reply.arguments().first());
    return State{properties.value(QStringLiteral("Running")).toBool(),
                 properties.value(QStringLiteral("SecondsLeft"), -1).toLongLong()};
}

Claim claim(std::string_view id, Handlers handlers) {
    if (!sessionBusNamed()) {
        return Claim::NoSession;
    }
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        return Claim::NoSession;
    }
    // Lives as long as the program: the bus refers to it until the connection closes.
    auto* object = new dbus::ControlObject(std::move(handlers));
    if (!bus.registerObject(
            objectPath(id), interfaceName(id), object,
            QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllProperties)) {
        delete object;
        return Claim::NoSession;
    }
    if (!bus.registerService(service(id))) {
        bus.unregisterObject(objectPath(id));
        delete object;
        return Claim::Taken;
    }
    return Claim::Ours;
}

}  // namespace toolkit::SingleCopy

namespace toolkit::dbus {

bool ControlObject::running() const {
    return handlers_.state().running;
}

qlonglong ControlObject::secondsLeft() const {
    return handlers_.state().secondsLeft;
}

void ControlObject::Raise() {
    invokeHandler(handlers_.raise);
}

void ControlObject::Start() {
    invokeHandler(handlers_.start);
}

void ControlObject::StartFor(qlonglong seconds) {
    invokeHandler([&] { handlers_.startFor(seconds); });
}

void ControlObject::Stop() {
    invokeHandler(handlers_.stop);
}

void ControlObject::Toggle() {
    invokeHandler(handlers_.toggle);
}

// Once the reply is on its way: the program may end with it.
void ControlObject::Quit() {
    QTimer::singleShot(0, this, [this] { invokeHandler(handlers_.quit); });
}

}  // namespace toolkit::dbus
