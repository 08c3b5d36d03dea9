#pragma once

#include <QStyledItemDelegate>

// Draws a synthesis voice in the picker's list as two lines: what the voice
// is like, and below it, smaller and fainter, the languages it speaks.
class VoiceItemDelegate : public QStyledItemDelegate
{
public:
    static constexpr int kLanguageRole = Qt::UserRole + 1;

    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
};
