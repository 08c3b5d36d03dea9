#pragma once

#include <QImage>
#include <QString>

#include <optional>

// Pictures as the vision request wants them: no side over a maximum, JPEG,
// standard Base64.
namespace ImageEncoding {

// Unchanged when both sides fit; else scaled by the smaller of the two ratios,
// each side rounded down (1000 x 3000 at 1920 becomes 640 x 1920).
QImage resizeImage(const QImage &image, int maxDimension);
// JPEG at the quality (0 to 1) as Base64; nothing when encoding fails.
std::optional<QString> jpegBase64(const QImage &image, double quality);

} // namespace ImageEncoding
