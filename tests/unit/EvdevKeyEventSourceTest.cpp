#include "PipeInputDirectory.h"
#include "evdev/EvdevKeyEventSource.h"

#include "ModifierKey.h"

#include <gtest/gtest.h>

namespace {

const QString kKeyboard = QStringLiteral("/dev/input/event3");
const QString kSecondKeyboard = QStringLiteral("/dev/input/event7");
const QString kMouse = QStringLiteral("/dev/input/event5");

class EvdevKeys : public ::testing::Test
{
protected:
    // A source over the devices the test added to `pipes` first.
    void create(bool startIt = true)
    {
        source = std::make_unique<EvdevKeyEventSource>(std::move(directory));
        QObject::connect(source.get(), &KeyEventSource::flagsChanged,
                         [this](std::uint64_t flags) { events << QStringLiteral("flags:%1").arg(flags, 0, 16); });
        QObject::connect(source.get(), &KeyEventSource::keyDown,
                         [this](std::int32_t code) { events << QStringLiteral("key:%1").arg(code); });
        QObject::connect(source.get(), &KeyEventSource::buttonDown,
                         [this](int button) { events << QStringLiteral("button:%1").arg(button); });
        if (startIt) {
            ASSERT_TRUE(source->start());
        }
    }

    // Waits for n events in all, then a little for any that should not come.
    QStringList take(int n)
    {
        deliverUntil([&] { return events.size() >= n; });
        QElapsedTimer grace;
        grace.start();
        while (grace.elapsed() < 20)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        const QStringList taken = events;
        events.clear();
        return taken;
    }

    static QString word(std::uint64_t flags) { return QStringLiteral("flags:%1").arg(flags, 0, 16); }

    std::unique_ptr<PipeInputDirectory> directory = std::make_unique<PipeInputDirectory>();
    PipeInputDirectory *pipes = directory.get();
    std::unique_ptr<EvdevKeyEventSource> source;
    QStringList events;
};


TEST_F(EvdevKeys, EachModifierLeftOrRightHoldsItsBitUntilReleased)
{
    pipes->add(kKeyboard, PipeInputDirectory::keyboardKeys(), false);
    create();
    const std::pair<int, std::uint64_t> keys[] = {
        {KEY_LEFTALT, ModifierMask::Option},     {KEY_RIGHTALT, ModifierMask::Option},
        {KEY_LEFTCTRL, ModifierMask::Control},   {KEY_RIGHTCTRL, ModifierMask::Control},
        {KEY_LEFTMETA, ModifierMask::Command},   {KEY_RIGHTMETA, ModifierMask::Command},
        {KEY_LEFTSHIFT, ModifierMask::Shift},    {KEY_RIGHTSHIFT, ModifierMask::Shift},
    };
    for (const auto &[code, mask] : keys) {
        pipes->key(kKeyboard, code, 1);
        pipes->key(kKeyboard, code, 0);
        EXPECT_EQ(take(2), (QStringList{word(mask), word(0)})) << code;
    }
    // Left and right of one modifier are one bit: it stays held until both are up.
    pipes->key(kKeyboard, KEY_LEFTCTRL, 1);
    pipes->key(kKeyboard, KEY_RIGHTCTRL, 1);
    pipes->key(kKeyboard, KEY_LEFTCTRL, 0);
    EXPECT_EQ(take(1), QStringList{word(ModifierMask::Control)});
    pipes->key(kKeyboard, KEY_RIGHTCTRL, 0);
    EXPECT_EQ(take(1), QStringList{word(0)});
}

TEST_F(EvdevKeys, AutorepeatIsNeitherAPressNorAKey)
{
    pipes->add(kKeyboard, PipeInputDirectory::keyboardKeys(), false);
    create();
    pipes->key(kKeyboard, KEY_LEFTALT, 1);
    for (int i = 0; i < 3; ++i)
        pipes->key(kKeyboard, KEY_LEFTALT, 2);
    pipes->key(kKeyboard, KEY_TAB, 1);
    for (int i = 0; i < 3; ++i)
        pipes->key(kKeyboard, KEY_TAB, 2);
    pipes->key(kKeyboard, KEY_TAB, 0);
    pipes->key(kKeyboard, KEY_LEFTALT, 0);
    EXPECT_EQ(take(3), (QStringList{word(ModifierMask::Option), QStringLiteral("key:%1").arg(KEY_TAB), word(0)}));
}

TEST_F(EvdevKeys, OtherKeysAreReportedOnlyWhileAModifierIsHeld)
{
    pipes->add(kKeyboard, PipeInputDirectory::keyboardKeys(), false);
    create();
    // Plain typing is nobody's business here.
    for (int code : {KEY_H, KEY_E, KEY_L, KEY_L, KEY_O, KEY_ENTER}) {
        pipes->key(kKeyboard, code, 1);
        pipes->key(kKeyboard, code, 0);
    }
    EXPECT_EQ(take(0), QStringList());
    // Caps Lock with Ctrl held is neither a modifier change nor a combination key.
    pipes->key(kKeyboard, KEY_LEFTCTRL, 1);
    pipes->key(kKeyboard, KEY_CAPSLOCK, 1);
    pipes->key(kKeyboard, KEY_C, 1);
    pipes->key(kKeyboard, KEY_LEFTCTRL, 0);
    EXPECT_EQ(take(3), (QStringList{word(ModifierMask::Control), QStringLiteral("key:%1").arg(KEY_C), word(0)}));
}

TEST_F(EvdevKeys, TwoKeyboardsHoldOneWord)
{
    pipes->add(kKeyboard, PipeInputDirectory::keyboardKeys(), false);
    pipes->add(kSecondKeyboard, PipeInputDirectory::keyboardKeys(), false);
    create();
    EXPECT_EQ(source->keyboardCount(), 2);
    pipes->key(kKeyboard, KEY_LEFTALT, 1);
    EXPECT_EQ(take(1), QStringList{word(ModifierMask::Option)});
    pipes->key(kSecondKeyboard, KEY_LEFTCTRL, 1);
    EXPECT_EQ(take(1), QStringList{word(ModifierMask::Option | ModifierMask::Control)});
    // The same modifier held on both stays held until both let go. (Two
    // devices are two streams: each is delivered before the other is written.)
    pipes->key(kSecondKeyboard, KEY_RIGHTALT, 1);
    EXPECT_EQ(take(0), QStringList());
    pipes->key(kKeyboard, KEY_LEFTALT, 0);
    EXPECT_EQ(take(0), QStringList());
    pipes->key(kSecondKeyboard, KEY_RIGHTALT, 0);
    EXPECT_EQ(take(1), QStringList{word(ModifierMask::Control)});
    // A key on one keyboard while a modifier is held on the other is a combination.
    pipes->key(kKeyboard, KEY_V, 1);
    EXPECT_EQ(take(1), QStringList{QStringLiteral("key:%1").arg(KEY_V)});
}

TEST_F(EvdevKeys, AKeyboardUnpluggedMidHoldReleasesItsKeys)
{
    pipes->add(kKeyboard, PipeInputDirectory::keyboardKeys(), false);
    pipes->add(kSecondKeyboard, PipeInputDirectory::keyboardKeys(), false);
    create();
    pipes->key(kKeyboard, KEY_LEFTMETA, 1);
    EXPECT_EQ(take(1), QStringList{word(ModifierMask::Command)});
    pipes->key(kSecondKeyboard, KEY_LEFTSHIFT, 1);
    EXPECT_EQ(take(1), QStringList{word(ModifierMask::Command | ModifierMask::Shift)});
    // The end of its stream is enough, before the directory says it went.
    pipes->unplug(kKeyboard, false);
    EXPECT_EQ(take(1), QStringList{word(ModifierMask::Shift)});
    EXPECT_EQ(source->keyboardCount(), 1);
    pipes->unplug(kSecondKeyboard, true);
    EXPECT_EQ(take(1), QStringList{word(0)});
    EXPECT_EQ(source->keyboardCount(), 0);
}

TEST_F(EvdevKeys, AKeyboardPluggedInLaterIsRead)
{
    pipes->add(kKeyboard, PipeInputDirectory::keyboardKeys(), false);
    create();
    pipes->add(kSecondKeyboard, PipeInputDirectory::keyboardKeys(), true);
    EXPECT_EQ(source->keyboardCount(), 2);
    pipes->key(kSecondKeyboard, KEY_LEFTCTRL, 1);
    EXPECT_EQ(take(1), QStringList{word(ModifierMask::Control)});
}

TEST_F(EvdevKeys, DevicesThatAreNotKeyboardsAreNotRead)
{
    pipes->add(kKeyboard, PipeInputDirectory::keyboardKeys(), false);
    pipes->add(kMouse, PipeInputDirectory::mouseKeys(), false);
    // A power button: one key, no letters.
    pipes->add(QStringLiteral("/dev/input/event0"), InputDeviceDirectory::KeyBits().set(KEY_POWER), false);
    create();
    EXPECT_EQ(source->keyboardCount(), 1);
    EXPECT_TRUE(EvdevKeyEventSource::isKeyboard(PipeInputDirectory::keyboardKeys()));
    EXPECT_FALSE(EvdevKeyEventSource::isKeyboard(PipeInputDirectory::mouseKeys()));
    pipes->key(kKeyboard, KEY_LEFTALT, 1);
    EXPECT_EQ(take(1), QStringList{word(ModifierMask::Option)});
    pipes->key(kMouse, BTN_LEFT, 1);
    EXPECT_EQ(take(0), QStringList()) << "a click on the mouse is not read";
}

TEST_F(EvdevKeys, UnreadableKeyboardsSayHowToAllowThem)
{
    pipes->refuse(kKeyboard, EACCES);
    pipes->add(kMouse, PipeInputDirectory::mouseKeys(), false);
    create(false);
    EXPECT_FALSE(source->isTrusted());
    EXPECT_FALSE(source->start());
    EXPECT_TRUE(source->permissionDenied());
    EXPECT_TRUE(source->untrustedReason().contains(QStringLiteral("sudo usermod -aG input $USER")));
    EXPECT_TRUE(source->untrustedReason().contains(QStringLiteral("every program")));

    auto empty = std::make_unique<PipeInputDirectory>();
    EvdevKeyEventSource none(std::move(empty));
    EXPECT_FALSE(none.isTrusted());
    EXPECT_TRUE(none.untrustedReason().contains(QStringLiteral("no keyboard"))) << none.untrustedReason().toStdString();
}

TEST_F(EvdevKeys, RecordsSplitAcrossReadsAreJoined)
{
    pipes->add(kKeyboard, PipeInputDirectory::keyboardKeys(), false);
    create();
    input_event event{};
    event.type = EV_KEY;
    event.code = KEY_LEFTSHIFT;
    event.value = 1;
    const QByteArray bytes(reinterpret_cast<const char *>(&event), sizeof(event));
    pipes->writeBytes(kKeyboard, bytes.left(5));
    EXPECT_EQ(take(0), QStringList());
    pipes->writeBytes(kKeyboard, bytes.mid(5));
    EXPECT_EQ(take(1), QStringList{word(ModifierMask::Shift)});
}

TEST_F(EvdevKeys, AfterLostEventsTheHeldKeysAreReadAfresh)
{
    pipes->add(kKeyboard, PipeInputDirectory::keyboardKeys(), false);
    create();
    pipes->key(kKeyboard, KEY_LEFTALT, 1);
    EXPECT_EQ(take(1), QStringList{word(ModifierMask::Option)});
    // The kernel's buffer overflowed and lost Alt's release and Ctrl's press:
    // what follows up to the next report is skipped, then the state is read.
    pipes->setHeld(kKeyboard, InputDeviceDirectory::KeyBits().set(KEY_LEFTCTRL));
    pipes->write(kKeyboard, EV_SYN, SYN_DROPPED, 0);
    pipes->write(kKeyboard, EV_KEY, KEY_LEFTMETA, 1);
    pipes->write(kKeyboard, EV_SYN, SYN_REPORT, 0);
    EXPECT_EQ(take(1), QStringList{word(ModifierMask::Control)});
}

TEST_F(EvdevKeys, KeysHeldAtStartAreKnownButNotReported)
{
    pipes->add(kKeyboard, PipeInputDirectory::keyboardKeys(), false);
    pipes->setHeld(kKeyboard, InputDeviceDirectory::KeyBits().set(KEY_LEFTCTRL));
    create(false);
    // Typed before the start: not ours to see.
    pipes->key(kKeyboard, KEY_LEFTALT, 1);
    ASSERT_TRUE(source->start());
    EXPECT_EQ(take(0), QStringList());
    pipes->key(kKeyboard, KEY_LEFTSHIFT, 1);
    EXPECT_EQ(take(1), QStringList{word(ModifierMask::Control | ModifierMask::Shift)});
    source->stop();
    pipes->key(kKeyboard, KEY_LEFTSHIFT, 0);
    EXPECT_EQ(take(0), QStringList());
}

} // namespace
