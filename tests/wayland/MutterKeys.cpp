// The keys a simulated user types on a GNOME session, sent through mutter's own remote desktop
// (org.gnome.Mutter.RemoteDesktop on the session bus) to whichever window has the keyboard:
//   pulseward_mutter_keys Tab space Alt+s Escape
// Each argument is a key by its XKB name, or a chord of them joined by '+', pressed in order and
// released in reverse. Exits 0 once every key has gone out, 1 when mutter refuses.
//
// The session is this process's connection's alone, and its virtual keyboard is new: mutter
// drops the first key such a keyboard sends, so a lone Shift goes first.

#include <xkbcommon/xkbcommon.h>

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QStringList>
#include <QThread>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

const QString mutterService = QStringLiteral("org.gnome.Mutter.RemoteDesktop");
const QString sessionInterface = QStringLiteral("org.gnome.Mutter.RemoteDesktop.Session");

QDBusMessage call(const QString& path, const QString& interface, const QString& method,
                  const QList<QVariant>& arguments = {}) {
    QDBusMessage message = QDBusMessage::createMethodCall(mutterService, path, interface, method);
    message.setArguments(arguments);
    const QDBusMessage answer = QDBusConnection::sessionBus().call(message, QDBus::Block, 5000);
    if (answer.type() == QDBusMessage::ErrorMessage) {
        std::fprintf(stderr, "mutter refused %s: %s\n", method.toUtf8().constData(),
                     answer.errorMessage().toUtf8().constData());
        std::exit(1);
    }
    return answer;
}

void key(const QString& session, xkb_keysym_t keysym, bool pressed) {
    call(session, sessionInterface, QStringLiteral("NotifyKeyboardKeysym"),
         {uint(keysym), pressed});
    // Room for the focused window to take each key in before the next.
    QThread::msleep(30);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    std::vector<std::vector<xkb_keysym_t>> chords;
    for (const QString& argument : QCoreApplication::arguments().mid(1)) {
        std::vector<xkb_keysym_t> chord;
        for (const QString& name : argument.split(QLatin1Char('+'))) {
            const xkb_keysym_t keysym =
                xkb_keysym_from_name(name.toUtf8().constData(), XKB_KEYSYM_NO_FLAGS);
            if (keysym == XKB_KEY_NoSymbol) {
                std::fprintf(stderr, "no key named %s\n", name.toUtf8().constData());
                return 2;
            }
            chord.push_back(keysym);
        }
        chords.push_back(chord);
    }
    const QString session =
        qdbus_cast<QDBusObjectPath>(call(QStringLiteral("/org/gnome/Mutter/RemoteDesktop"),
                                         mutterService, QStringLiteral("CreateSession"))
                                        .arguments()
                                        .value(0))
            .path();
    call(session, sessionInterface, QStringLiteral("Start"));
    chords.insert(chords.begin(), {XKB_KEY_Shift_L});
    for (const auto& chord : chords) {
        for (const auto keysym : chord) {
            key(session, keysym, true);
        }
        for (auto keysym = chord.rbegin(); keysym != chord.rend(); ++keysym) {
            key(session, *keysym, false);
        }
        // A dialog may change with each key, as a button that becomes sensitive.
        QThread::msleep(150);
    }
    call(session, sessionInterface, QStringLiteral("Stop"));
    return 0;
}
