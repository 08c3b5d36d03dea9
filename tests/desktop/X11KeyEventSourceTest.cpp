#include "ModifierKey.h"
#include "TestSupport.h"
#include "x11/X11KeyEventSource.h"

#include <gtest/gtest.h>

using TestSupport::runTool;
using TestSupport::settle;
using TestSupport::waitUntil;

namespace {

// Keys typed by another process through XTest, as a user's would arrive.
void xdotool(const QString &script)
{
    ASSERT_EQ(runTool(QStringLiteral("xdotool"), script.split(QLatin1Char(' '))), 0) << script.toStdString();
}

class X11Keys : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(source.isTrusted()) << source.untrustedReason().toStdString();
        QObject::connect(&source, &KeyEventSource::flagsChanged, [this](std::uint64_t f) { flags << f; });
        QObject::connect(&source, &KeyEventSource::keyDown, [this](std::int32_t k) { keys << k; });
        ASSERT_TRUE(source.start());
    }

    X11KeyEventSource source;
    QList<std::uint64_t> flags;
    QList<std::int32_t> keys;
};

TEST_F(X11Keys, HeldModifiersBecomeOneFlagWord)
{
    xdotool(QStringLiteral("keydown shift keydown alt keydown ctrl keydown super keyup alt keyup ctrl keyup super keyup shift"));
    const std::uint64_t S = ModifierMask::Shift, O = ModifierMask::Option, C = ModifierMask::Control,
                        M = ModifierMask::Command;
    const QList<std::uint64_t> expected{S, S | O, S | O | C, S | O | C | M, S | C | M, S | M, S, 0};
    EXPECT_TRUE(waitUntil([&] { return flags.size() >= expected.size(); }));
    EXPECT_EQ(flags, expected);
    EXPECT_TRUE(keys.isEmpty()) << "modifiers are not key-downs";
}

TEST_F(X11Keys, OtherKeysAreKeyDownsWithTheirKeycode)
{
    xdotool(QStringLiteral("keydown super key c keyup super"));
    EXPECT_TRUE(waitUntil([&] { return flags.size() == 2; }));
    ASSERT_EQ(keys.size(), 1);
    EXPECT_EQ(keys.first(), 54) << "the X keycode of c";
    xdotool(QStringLiteral("key Caps_Lock key Caps_Lock"));
    settle(200);
    EXPECT_EQ(keys.size(), 1) << "Caps Lock is neither a key-down nor one of the four";
}

TEST_F(X11Keys, ARepeatedReleaseIsHarmlessAndStopEndsDelivery)
{
    xdotool(QStringLiteral("keydown alt keyup alt keyup alt"));
    EXPECT_TRUE(waitUntil([&] { return flags.size() == 2; }));
    settle(200);
    EXPECT_EQ(flags, (QList<std::uint64_t>{ModifierMask::Option, 0}));

    source.stop();
    xdotool(QStringLiteral("keydown alt key c keyup alt"));
    settle(300);
    EXPECT_EQ(flags.size(), 2);
    EXPECT_EQ(keys.size(), 0);
    EXPECT_TRUE(source.start()) << "a stopped source starts again";
    xdotool(QStringLiteral("key c"));
    EXPECT_TRUE(waitUntil([&] { return keys.size() == 1; }));
}

TEST(X11KeysWithoutServer, AMissingDisplayIsNotTrusted)
{
    const QByteArray display = qgetenv("DISPLAY");
    qputenv("DISPLAY", ":97");
    X11KeyEventSource source;
    qputenv("DISPLAY", display);
    EXPECT_FALSE(source.isTrusted());
    EXPECT_TRUE(source.untrustedReason().contains(QStringLiteral("display")));
    EXPECT_FALSE(source.start());
}

} // namespace
