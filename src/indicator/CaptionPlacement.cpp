#include "CaptionPlacement.h"

#include <algorithm>
#include <array>

namespace CaptionPlacement {

namespace {
// Moves the rectangle along one axis into [low, high); false when it is
// longer than that.
bool clampInto(int &position, int length, int low, int high)
{
    if (length > high - low)
        return false;
    position = std::clamp(position, low, high - length);
    return true;
}
} // namespace

QRect place(const QRect &ball, const QSize &caption, const QRect &screen, const std::optional<QRect> &caret)
{
    const int w = caption.width();
    const int h = caption.height();
    const int centreX = ball.x() + (ball.width() - w) / 2;
    const int centreY = ball.y() + (ball.height() - h) / 2;
    struct Side
    {
        QRect rect;
        bool room;
    };
    std::array<Side, 4> sides{{
        {QRect(centreX, ball.top() - kGap - h, w, h), false},
        {QRect(centreX, ball.bottom() + 1 + kGap, w, h), false},
        {QRect(ball.left() - kGap - w, centreY, w, h), false},
        {QRect(ball.right() + 1 + kGap, centreY, w, h), false},
    }};
    for (std::size_t i = 0; i < sides.size(); ++i) {
        QRect &r = sides[i].rect;
        const bool vertical = i < 2;
        // Across the side it must lie wholly on the screen; along it, it slides.
        const bool across = vertical ? r.top() >= screen.top() && r.bottom() <= screen.bottom()
                                     : r.left() >= screen.left() && r.right() <= screen.right();
        int along = vertical ? r.left() : r.top();
        const bool fits = vertical ? clampInto(along, w, screen.left(), screen.right() + 1)
                                   : clampInto(along, h, screen.top(), screen.bottom() + 1);
        if (vertical)
            r.moveLeft(along);
        else
            r.moveTop(along);
        sides[i].room = across && fits;
    }
    const QRect keepFree = caret ? caret->adjusted(-kGap, -kGap, kGap, kGap) : QRect();
    for (const Side &side : sides) {
        if (side.room && (!caret || !side.rect.intersects(keepFree)))
            return side.rect;
    }
    for (const Side &side : sides) {
        if (side.room)
            return side.rect;
    }
    // A screen smaller than the caption: its top left corner stays in view.
    QRect above = sides[0].rect;
    above.moveTopLeft({std::max(above.left(), screen.left()), std::max(above.top(), screen.top())});
    return above;
}

} // namespace CaptionPlacement
