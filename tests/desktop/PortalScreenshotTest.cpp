#include "FakePortal.h"
#include "portal/PortalScreenshot.h"

#include <QCoroTask>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

// The screen through the Screenshot portal, against a portal of the test's
// own on the session bus.
namespace {

class ScreenshotPortal : public ::testing::Test
{
protected:
    QImage grab(QString *error)
    {
        PortalScreenshot portal(QDBusConnection::sessionBus());
        return QCoro::waitFor(portal.grab(error));
    }

    QTemporaryDir dir;
};

TEST_F(ScreenshotPortal, ThePictureIsReadAndItsFileRemoved)
{
    FakePortal fake;
    fake.screenshot = QImage(64, 36, QImage::Format_RGB32);
    fake.screenshot.fill(QColor(255, 128, 0));
    fake.screenshotFile = dir.filePath(QStringLiteral("Screenshot.png"));
    ASSERT_TRUE(fake.start());
    EXPECT_EQ(PortalScreenshot(QDBusConnection::sessionBus()).version(), 2u);
    QString error;
    const QImage image = grab(&error);
    ASSERT_FALSE(image.isNull()) << error.toStdString();
    EXPECT_EQ(image.size(), QSize(64, 36));
    EXPECT_EQ(image.pixelColor(10, 10), QColor(255, 128, 0));
    EXPECT_FALSE(QFile::exists(fake.screenshotFile)) << "a picture of the user's chat is not left behind";
    ASSERT_EQ(fake.screenshotOptions().size(), 1);
    EXPECT_FALSE(fake.screenshotOptions()[0].value(QStringLiteral("interactive")).toBool());
}

TEST_F(ScreenshotPortal, RefusedCancelledOrMissingGivesNoPictureAndSaysWhy)
{
    const std::pair<uint, const char *> rows[] = {{1, "refused"}, {2, "closed"}};
    for (const auto &[response, why] : rows) {
        FakePortal fake;
        fake.screenshotResponse = response;
        fake.screenshotFile = dir.filePath(QStringLiteral("never.png"));
        ASSERT_TRUE(fake.start());
        QString error;
        EXPECT_TRUE(grab(&error).isNull());
        EXPECT_TRUE(error.contains(QString::fromLatin1(why))) << error.toStdString();
        EXPECT_FALSE(QFile::exists(fake.screenshotFile));
    }
    // No portal on the bus at all.
    EXPECT_EQ(PortalScreenshot(QDBusConnection::sessionBus()).version(), 0u);
    QString error;
    EXPECT_TRUE(grab(&error).isNull());
    EXPECT_FALSE(error.isEmpty());
}

} // namespace
