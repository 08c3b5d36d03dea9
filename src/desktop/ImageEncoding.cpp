#include "ImageEncoding.h"

#include <QBuffer>

#include <cmath>

namespace ImageEncoding {

QImage resizeImage(const QImage &image, int maxDimension)
{
    if (image.width() <= maxDimension && image.height() <= maxDimension)
        return image;
    const double ratio = std::min(double(maxDimension) / image.width(), double(maxDimension) / image.height());
    const int width = int(std::floor(image.width() * ratio));
    const int height = int(std::floor(image.height() * ratio));
    return image.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

std::optional<QString> jpegBase64(const QImage &image, double quality)
{
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    if (image.isNull() || !image.save(&buffer, "JPEG", int(std::lround(quality * 100))))
        return std::nullopt;
    return QString::fromLatin1(jpeg.toBase64());
}

} // namespace ImageEncoding
