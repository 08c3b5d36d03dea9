#pragma once

#include <QColor>
#include <QEasingCurve>

// Small pieces of drawing and motion the windows share.
namespace Drawing {

// The colour `amount` of the way from one colour to the other (alpha too).
QColor mix(const QColor &from, const QColor &to, double amount);

// The common ease-in-out: slow start, slow end (cubic Bézier (0.42, 0) (0.58, 1)).
QEasingCurve easeInOut();

} // namespace Drawing
