#pragma once

#include "ShortcutConfig.h"

#include <QColor>
#include <QGroupBox>
#include <QList>

class QCheckBox;
class QLabel;
class QWidget;
class ModifierKeyChip;

// One mode's key: a switch to enable the mode, then either the four keys to
// choose from with a hint of how to use it, or "已禁用".
class ModifierKeyPicker : public QGroupBox
{
    Q_OBJECT

public:
    ModifierKeyPicker(const QString &title, const QString &symbol, const QColor &color, QWidget *parent = nullptr);

    void setConfig(const HotkeyConfig &config);
    const HotkeyConfig &config() const { return m_config; }
    // What shows below the switch: the hint, or "已禁用".
    QString caption() const;
    QCheckBox *enabledSwitch() const { return m_switch; }
    const QList<ModifierKeyChip *> &chips() const { return m_chips; }

Q_SIGNALS:
    // The user changed the assignment.
    void configEdited(const HotkeyConfig &config);

private:
    void showConfig();

    QString m_title;
    HotkeyConfig m_config;
    QCheckBox *m_switch;
    QWidget *m_chipRow;
    QList<ModifierKeyChip *> m_chips;
    QLabel *m_caption;
};
