#include "VoiceItemDelegate.h"

#include <QApplication>
#include <QPainter>

namespace {
constexpr int kPadding = 4;

QFont captionFont(QFont font)
{
    font.setPointSizeF(font.pointSizeF() * 0.85);
    return font;
}
} // namespace

void VoiceItemDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QStyleOptionViewItem item = option;
    initStyleOption(&item, index);
    item.text.clear();
    QStyle *style = item.widget ? item.widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &item, painter, item.widget);

    const bool selected = option.state & QStyle::State_Selected;
    const QRect area = option.rect.adjusted(kPadding * 2, kPadding, -kPadding, -kPadding);
    painter->save();
    painter->setPen(option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
    painter->setFont(option.font);
    const int firstLine = QFontMetrics(option.font).height();
    painter->drawText(area.adjusted(0, 0, 0, -(area.height() - firstLine)), Qt::AlignLeft | Qt::AlignVCenter,
                      index.data(Qt::DisplayRole).toString());
    painter->setFont(captionFont(option.font));
    painter->setPen(option.palette.color(selected ? QPalette::HighlightedText : QPalette::PlaceholderText));
    painter->drawText(area.adjusted(0, firstLine, 0, 0), Qt::AlignLeft | Qt::AlignTop,
                      index.data(kLanguageRole).toString());
    painter->restore();
}

QSize VoiceItemDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const QFontMetrics first(option.font);
    const QFontMetrics second(captionFont(option.font));
    const int width = std::max(first.horizontalAdvance(index.data(Qt::DisplayRole).toString()),
                               second.horizontalAdvance(index.data(kLanguageRole).toString()));
    return QSize(width + kPadding * 3, first.height() + second.height() + kPadding * 2);
}
