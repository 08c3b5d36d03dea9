#pragma once

#include <QRect>
#include <QSize>

#include <optional>

// Where the live caption goes beside the ball: above it where the screen has
// room, else below, else to its left or right; on the screen, and off the
// focused field's caret where that is known (a caption over the line being
// written would hide it). With no side free of the caret, the first side
// with room.
namespace CaptionPlacement {

// Between the caption and the ball, and kept free around the caret.
constexpr int kGap = 8;

QRect place(const QRect &ball, const QSize &caption, const QRect &screen, const std::optional<QRect> &caret);

} // namespace CaptionPlacement
