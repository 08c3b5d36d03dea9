#include "FakeDesktopBackend.h"
#include "ScreenCaptureService.h"
#include "TestSupport.h"
#include "TextInputService.h"

#include <QGuiApplication>

#include <gtest/gtest.h>

using TestSupport::await;

namespace {

TEST(FocusedScreen, TheFocusedWindowDecidesThenThePointerElseNothing)
{
    const QList<QRect> screens{QRect(0, 0, 2560, 1440), QRect(2560, 0, 1920, 1080)};
    EXPECT_EQ(ScreenCaptureService::pickScreen(screens, QRect(2700, 200, 600, 300), QPoint(10, 10)), 1);
    EXPECT_EQ(ScreenCaptureService::pickScreen(screens, QRect(100, 100, 600, 300), QPoint(3000, 10)), 0);
    // A window straddling both screens counts where its centre is.
    EXPECT_EQ(ScreenCaptureService::pickScreen(screens, QRect(2300, 100, 800, 300), std::nullopt), 1);
    EXPECT_EQ(ScreenCaptureService::pickScreen(screens, std::nullopt, QPoint(3000, 500)), 1);
    // A window off every screen falls to the pointer, then to nothing.
    EXPECT_EQ(ScreenCaptureService::pickScreen(screens, QRect(9000, 0, 10, 10), QPoint(5, 5)), 0);
    EXPECT_EQ(ScreenCaptureService::pickScreen(screens, QRect(9000, 0, 10, 10), QPoint(3000, 1300)), std::nullopt)
        << "below the shorter right screen";
    EXPECT_EQ(ScreenCaptureService::pickScreen(screens, std::nullopt, std::nullopt), std::nullopt);
}

TEST(TextInput, TheTextGoesOnTheClipboardAndIsPastedIntoTheFocusedWindow)
{
    FakeDesktopBackend desktop;
    desktop.focusedWindow = QStringLiteral("chat");
    TextInputService input(desktop);
    await(input.insertTextIntoFocusedApp(QStringLiteral("你好，世界")));
    EXPECT_EQ(desktop.pastes, (QList<FakeDesktopBackend::Paste>{
                                  {QStringLiteral("你好，世界"), QStringLiteral("Ctrl+V"), QStringLiteral("chat")}}));
    EXPECT_EQ(desktop.clipboard, QStringLiteral("你好，世界")) << "the text stays where the user can paste it again";
}

TEST(TextInput, WithoutSyntheticKeysTheTextStaysOnTheClipboardAndTheLogSaysSo)
{
    TestSupport::LogCapture log;
    FakeDesktopBackend desktop;
    desktop.pasteWorks = false;
    TextInputService input(desktop);
    await(input.insertTextIntoFocusedApp(QStringLiteral("留在剪贴板")));
    EXPECT_TRUE(desktop.pastes.isEmpty());
    EXPECT_EQ(desktop.clipboard, QStringLiteral("留在剪贴板"));
    EXPECT_EQ(log.lines(), QStringList{QStringLiteral("⚠️ [粘贴] 当前桌面不支持模拟按键，文本已放入剪贴板")});
}

// These run on Qt's offscreen platform: one primary screen, no window manager.
TEST(ScreenCapture, TheFocusedScreenIsCapturedScaledAndEncodedForTheReply)
{
    ASSERT_FALSE(QGuiApplication::screens().isEmpty());
    FakeDesktopBackend desktop;
    desktop.screenImage = QImage(3840, 2160, QImage::Format_RGB32);
    desktop.screenImage.fill(Qt::darkGreen);
    ScreenCaptureService capture(desktop);
    const auto base64 = capture.captureFocusedScreenAsBase64(ScreenCaptureService::kReplyMaxDimension,
                                                             ScreenCaptureService::kReplyJpegQuality);
    ASSERT_TRUE(base64);
    EXPECT_EQ(desktop.capturedScreens, QStringList{QGuiApplication::primaryScreen()->name()});
    const QImage sent = QImage::fromData(QByteArray::fromBase64(base64->toLatin1()), "JPEG");
    EXPECT_EQ(sent.size(), QSize(1920, 1080));
}

TEST(ScreenCapture, AnUnreadableOrForbiddenScreenGivesNothingWithAReason)
{
    TestSupport::LogCapture log;
    FakeDesktopBackend desktop; // its screen image is null: the picture cannot be read
    ScreenCaptureService capture(desktop);
    EXPECT_FALSE(capture.captureFocusedScreenAsBase64(1920, 0.7));
    EXPECT_TRUE(log.lines().contains(QStringLiteral("❌ [截屏] 截屏失败: 无法读取屏幕内容")));

    desktop.captureWorks = false;
    log.clear();
    EXPECT_FALSE(capture.captureFocusedScreen());
    EXPECT_EQ(log.lines(), QStringList{QStringLiteral("❌ [截屏] 当前桌面不支持截屏")});
    EXPECT_EQ(desktop.capturedScreens.size(), 1) << "nothing is grabbed where capture is not allowed";
}

} // namespace
