#include "FakePortal.h"
#include "TestSupport.h"
#include "portal/PortalRemoteDesktop.h"

#include <QCoroTask>

#include <gtest/gtest.h>

#include <linux/input-event-codes.h>

// The paste keystroke through the RemoteDesktop portal, against a portal of
// the test's own on the session bus.
namespace {

class RemoteDesktopPortal : public ::testing::Test
{
protected:
    PortalRemoteDesktop::TokenStore store()
    {
        return {[this] { return storedToken; }, [this](const QString &token) { storedToken = token; }};
    }

    bool start(PortalRemoteDesktop &portal) { return QCoro::waitFor(portal.start()); }

    QString storedToken;
};

TEST_F(RemoteDesktopPortal, GrantedTheKeyboardPressesTheChordAndKeepsTheToken)
{
    FakePortal fake(2);
    ASSERT_TRUE(fake.start());
    PortalRemoteDesktop portal(QDBusConnection::sessionBus(), store());
    EXPECT_EQ(portal.version(), 2u);
    ASSERT_TRUE(start(portal)) << portal.problem().toStdString();
    EXPECT_EQ(portal.state(), PortalRemoteDesktop::State::Started);
    ASSERT_EQ(fake.selectOptions().size(), 1);
    EXPECT_EQ(fake.selectOptions()[0].value(QStringLiteral("types")).toUInt(), 1u) << "the keyboard only";
    EXPECT_EQ(fake.selectOptions()[0].value(QStringLiteral("persist_mode")).toUInt(), 2u);
    EXPECT_FALSE(fake.selectOptions()[0].contains(QStringLiteral("restore_token"))) << "none kept yet";
    EXPECT_EQ(storedToken, QStringLiteral("restore-1"));

    QCoro::waitFor(portal.press(PasteChord::CtrlV, 20));
    TestSupport::waitUntil([&] { return fake.keys().size() == 4; }, 2000);
    EXPECT_EQ(fake.keys(), (QList<QPair<int, uint>>{{KEY_LEFTCTRL, 1}, {KEY_V, 1}, {KEY_V, 0}, {KEY_LEFTCTRL, 0}}));
    // A terminal's chord.
    fake.clearKeys();
    QCoro::waitFor(portal.press(PasteChord::CtrlShiftV, 20));
    TestSupport::waitUntil([&] { return fake.keys().size() == 6; }, 2000);
    EXPECT_EQ(fake.keys(), (QList<QPair<int, uint>>{{KEY_LEFTCTRL, 1}, {KEY_LEFTSHIFT, 1}, {KEY_V, 1}, {KEY_V, 0},
                                                  {KEY_LEFTSHIFT, 0}, {KEY_LEFTCTRL, 0}}));
    // The session is started once: a second start asks nothing.
    const qsizetype callsBefore = fake.calls().size();
    EXPECT_TRUE(start(portal));
    EXPECT_EQ(fake.calls().size(), callsBefore);
}

TEST_F(RemoteDesktopPortal, AKeptTokenIsOfferedSoTheUserIsNotAskedAgain)
{
    storedToken = QStringLiteral("restore-0");
    FakePortal fake(2);
    fake.issuedToken = QStringLiteral("restore-2");
    ASSERT_TRUE(fake.start());
    PortalRemoteDesktop portal(QDBusConnection::sessionBus(), store());
    ASSERT_TRUE(start(portal));
    EXPECT_EQ(fake.selectOptions().value(0).value(QStringLiteral("restore_token")).toString(), QStringLiteral("restore-0"));
    EXPECT_EQ(storedToken, QStringLiteral("restore-2")) << "a token is good for one use: the new one is kept";
}

TEST_F(RemoteDesktopPortal, RefusedOrCancelledItPressesNothingAndSaysWhy)
{
    const struct
    {
        uint response;
        PortalRemoteDesktop::State state;
        const char *problem;
    } rows[] = {{1, PortalRemoteDesktop::State::Refused, "refused"},
                {2, PortalRemoteDesktop::State::Cancelled, "closed"}};
    for (const auto &row : rows) {
        FakePortal fake(2);
        fake.startResponse = row.response;
        ASSERT_TRUE(fake.start());
        PortalRemoteDesktop portal(QDBusConnection::sessionBus(), store());
        EXPECT_FALSE(start(portal));
        EXPECT_EQ(portal.state(), row.state);
        EXPECT_TRUE(portal.problem().contains(QString::fromLatin1(row.problem))) << portal.problem().toStdString();
        QCoro::waitFor(portal.press(PasteChord::CtrlV, 20));
        TestSupport::settle(100);
        EXPECT_TRUE(fake.keys().isEmpty());
        EXPECT_TRUE(storedToken.isEmpty()) << "nothing to remember";
    }
}

TEST_F(RemoteDesktopPortal, WithoutAPortalOrWithAnOldOneItSaysSoOrKeepsNothing)
{
    {
        PortalRemoteDesktop portal(QDBusConnection::sessionBus(), store());
        EXPECT_EQ(portal.version(), 0u);
        EXPECT_FALSE(start(portal));
        EXPECT_EQ(portal.state(), PortalRemoteDesktop::State::Missing);
        EXPECT_TRUE(portal.problem().contains(QStringLiteral("no RemoteDesktop portal")));
    }
    // Version 1 cannot remember a permission: none is asked for or kept.
    storedToken = QStringLiteral("restore-0");
    FakePortal fake(1);
    ASSERT_TRUE(fake.start());
    PortalRemoteDesktop portal(QDBusConnection::sessionBus(), store());
    ASSERT_TRUE(start(portal));
    EXPECT_FALSE(fake.selectOptions().value(0).contains(QStringLiteral("persist_mode")));
    EXPECT_FALSE(fake.selectOptions().value(0).contains(QStringLiteral("restore_token")));
    EXPECT_EQ(storedToken, QStringLiteral("restore-0"));
}

} // namespace
