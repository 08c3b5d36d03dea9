// The RemoteDesktop portal of a GNOME session as the tests play it: the
// consent is given after --consent-ms (a user reading the dialog), or
// refused with --response 1, and the keys the client sends reach mutter
// through its own remote-desktop interface, which is what the portal's GNOME
// backend does with them. It serves the session bus of
// $DBUS_SESSION_BUS_ADDRESS until killed.

#include "FakePortal.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>

#include <cstdio>

#include <linux/input-event-codes.h>

namespace {
constexpr auto kMutterService = "org.gnome.Mutter.RemoteDesktop";

QDBusMessage mutterCall(const QString &path, const QString &interface, const QString &method)
{
    return QDBusMessage::createMethodCall(QString::fromLatin1(kMutterService), path, interface, method);
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    const QCommandLineOption consent(QStringLiteral("consent-ms"), QStringLiteral("How long the dialog stays up."),
                                     QStringLiteral("ms"), QStringLiteral("10"));
    const QCommandLineOption response(QStringLiteral("response"),
                                      QStringLiteral("The answer to Start: 0 allowed, 1 refused, 2 closed."),
                                      QStringLiteral("code"), QStringLiteral("0"));
    parser.addOption(consent);
    parser.addOption(response);
    parser.process(app);

    // One mutter session, with its virtual keyboard, for the bridge's life.
    QDBusConnection bus = QDBusConnection::sessionBus();
    const QDBusMessage created = bus.call(mutterCall(QStringLiteral("/org/gnome/Mutter/RemoteDesktop"),
                                                     QStringLiteral("org.gnome.Mutter.RemoteDesktop"),
                                                     QStringLiteral("CreateSession")));
    if (created.type() != QDBusMessage::ReplyMessage) {
        std::fprintf(stderr, "mutter-portal: no remote-desktop session: %s\n", qPrintable(created.errorMessage()));
        return 1;
    }
    const QString session = created.arguments().value(0).value<QDBusObjectPath>().path();
    const QString sessionInterface = QStringLiteral("org.gnome.Mutter.RemoteDesktop.Session");
    const QDBusMessage started = bus.call(mutterCall(session, sessionInterface, QStringLiteral("Start")));
    if (started.type() != QDBusMessage::ReplyMessage) {
        std::fprintf(stderr, "mutter-portal: the session did not start: %s\n", qPrintable(started.errorMessage()));
        return 1;
    }

    // mutter's virtual keyboard joins the seat with its first key: tap Shift
    // so that windows get the keyboard's focus, as with a real keyboard.
    for (const bool down : {true, false}) {
        QDBusMessage shift = mutterCall(session, sessionInterface, QStringLiteral("NotifyKeyboardKeycode"));
        shift << uint(KEY_LEFTSHIFT) << down;
        bus.call(shift);
    }

    FakePortal portal(1);
    portal.screenshotVersion = 0;
    portal.startDelayMs = parser.value(consent).toInt();
    portal.startResponse = parser.value(response).toUInt();
    portal.onKey = [bus, session, sessionInterface](int keycode, uint state) {
        QDBusMessage key = mutterCall(session, sessionInterface, QStringLiteral("NotifyKeyboardKeycode"));
        key << uint(keycode) << bool(state);
        bus.call(key, QDBus::NoBlock);
    };
    if (!portal.start()) {
        std::fprintf(stderr, "mutter-portal: the portal's name is taken\n");
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    return app.exec();
}
