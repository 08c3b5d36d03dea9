#include "PasteTarget.h"
#include "TestSupport.h"
#include "x11/X11ScreenGrabber.h"

#include <QFile>
#include <QGuiApplication>
#include <QPixmap>
#include <QImage>
#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>

#include <X11/Xlib.h>

#include <gtest/gtest.h>

using TestSupport::runTool;
using TestSupport::settle;
using TestSupport::waitUntil;

namespace {

QProcess *startQuillwren(const QStringList &args, const QProcessEnvironment &env)
{
    auto *process = new QProcess;
    process->setProcessEnvironment(env);
    process->start(QStringLiteral(QUILLWREN_BINARY), args);
    return process;
}

class DesktopIntegration : public ::testing::Test
{
protected:
    void SetUp() override { env = TestSupport::isolatedEnvironment(home); }
    QTemporaryDir home;
    QProcessEnvironment env;
};

TEST_F(DesktopIntegration, TextIsPastedIntoTheFocusedApplication)
{
    PasteTarget target(env);
    const QString long300 = QString(QStringLiteral("长文本abc")).repeated(50);
    QString expected;
    for (const QString &text : {QStringLiteral("hello"), QStringLiteral(" 你好，世界 ✓"), long300}) {
        const auto result = TestSupport::runQuillwren({QStringLiteral("type"), text}, env);
        EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
        expected += text;
        EXPECT_TRUE(waitUntil([&] { return target.text() == expected; }, 3000))
            << target.text().left(40).toStdString();
    }
}

TEST_F(DesktopIntegration, APasteWaitsUntilTheUsersModifierIsReleasedAndTheClipboardKeepsTheText)
{
    PasteTarget target(env);
    ASSERT_EQ(runTool(QStringLiteral("xdotool"), {QStringLiteral("keydown"), QStringLiteral("alt")}), 0);
    std::unique_ptr<QProcess> typing(startQuillwren({QStringLiteral("type"), QStringLiteral("按住也不怕")}, env));
    settle(400);
    EXPECT_EQ(target.text(), QString()) << "nothing is sent while Alt is down";
    ASSERT_EQ(runTool(QStringLiteral("xdotool"), {QStringLiteral("keyup"), QStringLiteral("alt")}), 0);
    EXPECT_TRUE(waitUntil([&] { return target.text() == QStringLiteral("按住也不怕"); }, 3000)) << target.text().toStdString();

    QProcess clipboard;
    clipboard.start(QStringLiteral("xclip"), {QStringLiteral("-o"), QStringLiteral("-selection"), QStringLiteral("clipboard")});
    ASSERT_TRUE(waitUntil([&] { return clipboard.state() == QProcess::NotRunning; }, 3000));
    EXPECT_EQ(QString::fromUtf8(clipboard.readAllStandardOutput()), QStringLiteral("按住也不怕"));
    EXPECT_TRUE(waitUntil([&] { return typing->state() == QProcess::NotRunning; }, 5000));
    EXPECT_EQ(typing->exitCode(), 0);
}

// The capture on the session's X server (one 2560x1440 screen).
TEST_F(DesktopIntegration, TheFocusedScreenIsCapturedScaledToTheLimit)
{
    PasteTarget target(env, {QStringLiteral("--rect"), QStringLiteral("1280,720,640,360"),
                             QStringLiteral("--color"), QStringLiteral("#ff0000")});
    const QString file = home.filePath(QStringLiteral("shot.jpg"));
    const auto result = TestSupport::runQuillwren({QStringLiteral("capture"), QStringLiteral("-o"), file}, env);
    ASSERT_EQ(result.exitCode, 0) << result.err.toStdString();
    const QImage shot(file);
    ASSERT_EQ(shot.size(), QSize(1920, 1080)) << "2560x1440 scaled to fit 1920";
    const QColor inside = shot.pixelColor((1280 + 320) * 3 / 4, (720 + 180) * 3 / 4);
    EXPECT_GT(inside.red(), 200) << "the focused window is in the picture";
    EXPECT_LT(inside.green(), 60);
    EXPECT_TRUE(result.err.contains(QStringLiteral("✅ [截屏] 定位到键盘焦点屏幕"))) << result.err.toStdString();
    EXPECT_TRUE(result.err.contains(QStringLiteral("✅ [截屏] 截屏成功，尺寸：2560x1440")));

    const auto base64 = TestSupport::runQuillwren({QStringLiteral("capture"), QStringLiteral("--base64")}, env);
    EXPECT_EQ(QImage::fromData(QByteArray::fromBase64(base64.out.trimmed().toLatin1()), "JPEG").size(), QSize(1920, 1080));
}

// The screen read through shared memory is the one the X server sends over
// the socket, pixel for pixel, and an area reaching past the screen is cut
// to it rather than refused.
TEST_F(DesktopIntegration, TheSharedMemoryReadGivesThePixelsOfThePlainRead)
{
    PasteTarget target(env, {QStringLiteral("--rect"), QStringLiteral("1280,720,640,360"),
                             QStringLiteral("--color"), QStringLiteral("#20c040")});
    std::unique_ptr<Display, int (*)(Display *)> connection(XOpenDisplay(nullptr), XCloseDisplay);
    ASSERT_NE(connection, nullptr);
    X11ScreenGrabber grabber(connection.get());
    ASSERT_TRUE(grabber.isAvailable()) << "Xvfb on this machine offers MIT-SHM";

    const QRect area(1200, 650, 800, 500);
    const QImage shared = grabber.grab(area);
    const QImage plain = QGuiApplication::primaryScreen()
                             ->grabWindow(0, area.x(), area.y(), area.width(), area.height())
                             .toImage()
                             .convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(shared.size(), area.size());
    EXPECT_TRUE(shared == plain) << "the same pixels both ways";
    EXPECT_EQ(shared.pixelColor(400, 250), QColor(0x20, 0xc0, 0x40)) << "the window's colour, not another layout";

    // The memory is reused only once no picture shows it: one still held is
    // never written over by the next capture.
    const QImage kept = shared.copy();
    const QImage next = grabber.grab(QRect(0, 0, 800, 500));
    EXPECT_NE(next.constBits(), shared.constBits());
    EXPECT_TRUE(shared == kept) << "the earlier picture is untouched";

    const QImage edge = grabber.grab(QRect(2000, 1000, 2000, 2000));
    EXPECT_EQ(edge.size(), QSize(560, 440));
    EXPECT_TRUE(grabber.isAvailable());
}

// An idle application holds no screenful of pixels: the segment kept for the
// next capture is let go a while after the last one, and a picture still
// shown then stays intact.
TEST_F(DesktopIntegration, TheSharedMemoryIsLetGoAWhileAfterTheLastCapture)
{
    std::unique_ptr<Display, int (*)(Display *)> connection(XOpenDisplay(nullptr), XCloseDisplay);
    ASSERT_NE(connection, nullptr);
    X11ScreenGrabber grabber(connection.get(), std::chrono::milliseconds(1500));
    ASSERT_TRUE(grabber.isAvailable());
    const auto mappedSegments = [] {
        QFile maps(QStringLiteral("/proc/self/maps"));
        return maps.open(QIODevice::ReadOnly) ? maps.readAll().count("/SYSV") : -1;
    };
    const int before = mappedSegments();

    QImage shown = grabber.grab(QRect(0, 0, 640, 480));
    const QImage copy = shown.copy();
    EXPECT_TRUE(grabber.holdsSegment());
    settle(600);
    (void)grabber.grab(QRect(0, 0, 640, 480)); // a second capture keeps it longer
    settle(1000);
    EXPECT_TRUE(grabber.holdsSegment()) << "let go although captured a second ago";
    EXPECT_TRUE(waitUntil([&] { return !grabber.holdsSegment(); }, 3000)) << "still held after the keep time";
    EXPECT_TRUE(shown == copy) << "the picture shown outlives the segment's release";
    shown = QImage();
    EXPECT_EQ(mappedSegments(), before) << "the segment is still mapped";

    EXPECT_EQ(grabber.grab(QRect(0, 0, 64, 48)).size(), QSize(64, 48)) << "the next capture takes a fresh segment";
}

// A server without the extension (as a remote display is to us): the capture
// reads the plain way.
TEST_F(DesktopIntegration, WithoutSharedMemoryTheScreenIsStillCaptured)
{
    QProcess xvfb;
    xvfb.start(QStringLiteral("Xvfb"), {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                                        QStringLiteral("0"), QStringLiteral("1280x800x24"), QStringLiteral("-nolisten"),
                                        QStringLiteral("tcp"), QStringLiteral("-extension"), QStringLiteral("MIT-SHM")});
    ASSERT_TRUE(waitUntil([&] { return xvfb.canReadLine(); }, 5000)) << "Xvfb did not start";
    QProcessEnvironment bare = env;
    bare.insert(QStringLiteral("DISPLAY"), QStringLiteral(":") + QString::fromLatin1(xvfb.readLine()).trimmed());
    const QString file = home.filePath(QStringLiteral("plain.jpg"));
    const auto result = TestSupport::runQuillwren({QStringLiteral("capture"), QStringLiteral("-o"), file}, bare);
    EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
    EXPECT_EQ(QImage(file).size(), QSize(1280, 800));
    EXPECT_TRUE(result.err.contains(QStringLiteral("✅ [截屏] 截屏成功，尺寸：1280x800"))) << result.err.toStdString();
    xvfb.terminate();
    xvfb.waitForFinished(5000);
}

TEST(NoDisplay, CaptureAndTypeSayThereIsNoDesktop)
{
    QTemporaryDir home;
    QProcessEnvironment env = TestSupport::isolatedEnvironment(home);
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.remove(QStringLiteral("QT_QPA_PLATFORM")); // this test process's own choice
    const auto captured = TestSupport::runQuillwren({QStringLiteral("capture"), QStringLiteral("--base64")}, env);
    EXPECT_EQ(captured.exitCode, 1);
    EXPECT_FALSE(captured.crashed);
    EXPECT_TRUE(captured.err.contains(QStringLiteral("could not be captured")));
    const auto typed = TestSupport::runQuillwren({QStringLiteral("type"), QStringLiteral("x")}, env);
    EXPECT_EQ(typed.exitCode, 1);
    EXPECT_TRUE(typed.err.contains(QStringLiteral("nothing was typed")));
    EXPECT_EQ(TestSupport::runQuillwren({QStringLiteral("capture")}, env).exitCode, 2);
}

} // namespace
