#include "ImageEncoding.h"

#include <gtest/gtest.h>

namespace {

TEST(ImageEncoding, OnlyImagesOverTheMaximumAreScaledKeepingTheirShape)
{
    const auto sized = [](int w, int h) { return ImageEncoding::resizeImage(QImage(w, h, QImage::Format_RGB32), 1920).size(); };
    EXPECT_EQ(sized(1000, 3000), QSize(640, 1920)) << "the height bounds the ratio";
    EXPECT_EQ(sized(5120, 2880), QSize(1920, 1080));
    EXPECT_EQ(sized(1440, 900), QSize(1440, 900));
    EXPECT_EQ(sized(1920, 1920), QSize(1920, 1920));
    EXPECT_EQ(sized(3000, 1001), QSize(1920, 640)) << "sides are rounded down (640.64)";
}

TEST(ImageEncoding, JpegBase64DecodesToTheSamePicture)
{
    QImage image(64, 32, QImage::Format_RGB32);
    image.fill(QColor(200, 30, 30));
    const auto base64 = ImageEncoding::jpegBase64(image, 0.7);
    ASSERT_TRUE(base64);
    EXPECT_FALSE(base64->contains(QLatin1Char('\n')));
    const QImage decoded = QImage::fromData(QByteArray::fromBase64(base64->toLatin1()), "JPEG");
    ASSERT_EQ(decoded.size(), QSize(64, 32));
    EXPECT_NEAR(decoded.pixelColor(10, 10).red(), 200, 8);
    EXPECT_FALSE(ImageEncoding::jpegBase64(QImage(), 0.7)) << "nothing to encode";
}

} // namespace
