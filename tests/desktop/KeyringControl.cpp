#include "KeyringControl.h"

#include "TestSupport.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QDBusVariant>

namespace KeyringControl {
namespace {
const QString kService = QStringLiteral("org.freedesktop.secrets");
const QString kPath = QStringLiteral("/org/freedesktop/secrets");

QDBusObjectPath defaultCollection()
{
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath,
                                                       QStringLiteral("org.freedesktop.Secret.Service"),
                                                       QStringLiteral("ReadAlias"));
    call << QStringLiteral("default");
    const QDBusReply<QDBusObjectPath> reply = QDBusConnection::sessionBus().call(call);
    return reply.isValid() ? reply.value() : QDBusObjectPath();
}
} // namespace

bool lock()
{
    QDBusMessage call = QDBusMessage::createMethodCall(
        kService, kPath, QStringLiteral("org.freedesktop.Secret.Service"), QStringLiteral("Lock"));
    call << QVariant::fromValue(QList<QDBusObjectPath>{defaultCollection()});
    return QDBusConnection::sessionBus().call(call).type() == QDBusMessage::ReplyMessage;
}

bool unlock(const QString &password)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    QDBusMessage open = QDBusMessage::createMethodCall(
        kService, kPath, QStringLiteral("org.freedesktop.Secret.Service"), QStringLiteral("OpenSession"));
    open << QStringLiteral("plain") << QVariant::fromValue(QDBusVariant(QString()));
    const QDBusMessage opened = bus.call(open);
    if (opened.type() != QDBusMessage::ReplyMessage || opened.arguments().size() != 2)
        return false;
    const QDBusObjectPath session = opened.arguments().at(1).value<QDBusObjectPath>();

    // A Secret is the struct (session, parameters, value, content type).
    QDBusArgument secret;
    secret.beginStructure();
    secret << session << QByteArray() << password.toUtf8() << QStringLiteral("text/plain");
    secret.endStructure();

    QDBusMessage unlock = QDBusMessage::createMethodCall(
        kService, kPath, QStringLiteral("org.gnome.keyring.InternalUnsupportedGuiltRiddenInterface"),
        QStringLiteral("UnlockWithMasterPassword"));
    unlock << QVariant::fromValue(defaultCollection()) << QVariant::fromValue(secret);
    return bus.call(unlock).type() == QDBusMessage::ReplyMessage;
}

bool dismissPrompt()
{
    const QStringList findPrompt{QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                 QStringLiteral("--class"), QStringLiteral("gcr-prompter")};
    if (!TestSupport::waitUntil([&] { return TestSupport::runTool(QStringLiteral("xdotool"), findPrompt) == 0; }))
        return false;
    // The prompt holds the keyboard grab, so the key goes to it.
    TestSupport::runTool(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("Escape")});
    return TestSupport::waitUntil([&] { return TestSupport::runTool(QStringLiteral("xdotool"), findPrompt) != 0; });
}

QString testPassword()
{
    return QStringLiteral("quillwren-test");
}

} // namespace KeyringControl
