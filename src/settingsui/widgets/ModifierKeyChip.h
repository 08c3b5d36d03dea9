#pragma once

#include "ModifierKey.h"

#include <QAbstractButton>
#include <QVariantAnimation>

// One key of a mode's picker: its symbol and name in a rounded chip, filled
// with the accent colour when chosen; the change of choice fades over 0.15 s.
class ModifierKeyChip : public QAbstractButton
{
    Q_OBJECT

public:
    static constexpr int kFadeMs = 150;

    ModifierKeyChip(ModifierKey key, QWidget *parent = nullptr);

    ModifierKey key() const { return m_key; }
    void setSelected(bool selected);
    bool isSelected() const { return m_selected; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    // The symbol, its gap and the name as painted.
    int labelWidth(const QFontMetrics &metrics) const;
    ModifierKey m_key;
    bool m_selected = false;
    double m_emphasis = 0; // 0 plain … 1 chosen, in between while fading
    QVariantAnimation m_fade;
};
