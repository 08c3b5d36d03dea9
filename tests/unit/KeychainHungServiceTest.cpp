#include "KeychainManager.h"
#include "TestSupport.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QElapsedTimer>
#include <QProcess>

#include <gtest/gtest.h>

using TestSupport::await;

namespace {

// Owns the Secret Service's name on a private bus and never answers a call:
// a keyring daemon that hangs, or waits on a prompt nobody sees.
class SilentObject : public QDBusVirtualObject
{
public:
    bool handleMessage(const QDBusMessage &message, const QDBusConnection &) override
    {
        ++calls;
        Q_UNUSED(message);
        return true; // handled, and never replied to
    }
    QString introspect(const QString &) const override { return {}; }
    int calls = 0;
};

class KeychainWithHungService : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        bus = new QProcess;
        bus->start(QStringLiteral("dbus-daemon"),
                   {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address")});
        ASSERT_TRUE(bus->waitForStarted(5000));
        ASSERT_TRUE(bus->waitForReadyRead(5000));
        const QByteArray address = bus->readLine().trimmed();
        // Before anything in this process connects to a session bus.
        qputenv("DBUS_SESSION_BUS_ADDRESS", address);

        QDBusConnection connection =
            QDBusConnection::connectToBus(QString::fromUtf8(address), QStringLiteral("silent-secrets"));
        ASSERT_TRUE(connection.isConnected());
        silent = new SilentObject;
        ASSERT_TRUE(connection.registerVirtualObject(QStringLiteral("/"), silent,
                                                     QDBusConnection::SubPath));
        ASSERT_TRUE(connection.registerService(QStringLiteral("org.freedesktop.secrets")));
    }

    static void TearDownTestSuite()
    {
        QDBusConnection::disconnectFromBus(QStringLiteral("silent-secrets"));
        bus->kill();
        bus->waitForFinished();
        delete bus;
    }

    static inline QProcess *bus = nullptr;
    static inline SilentObject *silent = nullptr;
};

TEST_F(KeychainWithHungService, EachOperationGivesUpAtItsTimeOut)
{
    const std::chrono::milliseconds timeout(700);
    KeychainManager keychain(timeout);
    TestSupport::LogCapture log;

    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(await(keychain.read()), std::nullopt);
    const qint64 readTook = timer.restart();
    EXPECT_FALSE(await(keychain.save(QStringLiteral("sk-0123456789"))));
    const qint64 saveTook = timer.restart();
    EXPECT_FALSE(await(keychain.remove()));
    const qint64 removeTook = timer.elapsed();

    EXPECT_GT(silent->calls, 0) << "the keyring was really asked";
    for (qint64 took : {readTook, saveTook, removeTook}) {
        EXPECT_GE(took, timeout.count() - 50);
        EXPECT_LT(took, timeout.count() + 5000) << "bounded by the time-out, not by D-Bus";
    }
    ASSERT_EQ(log.lines().size(), 3);
    EXPECT_TRUE(log.lines().at(0).contains(QStringLiteral("超时")));
    for (const QString &line : log.lines())
        EXPECT_FALSE(line.contains(QStringLiteral("sk-0123456789")));
}

} // namespace
