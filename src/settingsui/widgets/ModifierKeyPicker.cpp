#include "ModifierKeyPicker.h"

#include "ModifierKeyChip.h"
#include "SettingsWidgets.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

ModifierKeyPicker::ModifierKeyPicker(const QString &title, const QString &symbol, const QColor &color, QWidget *parent)
    : QGroupBox(parent), m_title(title)
{
    setAccessibleName(title);
    auto *layout = new QVBoxLayout(this);

    auto *header = new QHBoxLayout;
    header->addWidget(SettingsWidgets::symbolImage(symbol, color, fontMetrics().height() + 2, this));
    auto *name = new QLabel(title, this);
    name->setFont(SettingsWidgets::semibold(name->font()));
    header->addWidget(name);
    header->addStretch();
    m_switch = new QCheckBox(this);
    m_switch->setAccessibleName(tr("启用%1").arg(title));
    header->addWidget(m_switch);
    layout->addLayout(header);

    m_chipRow = new QWidget(this);
    auto *chips = new QHBoxLayout(m_chipRow);
    chips->setContentsMargins(0, 0, 0, 0);
    for (ModifierKey key : allModifierKeys) {
        auto *chip = new ModifierKeyChip(key, m_chipRow);
        chips->addWidget(chip);
        m_chips << chip;
        connect(chip, &ModifierKeyChip::clicked, this, [this, key] {
            if (m_config.modifier == key)
                return;
            m_config.modifier = key;
            showConfig();
            Q_EMIT configEdited(m_config);
        });
    }
    chips->addStretch();
    layout->addWidget(m_chipRow);
    m_caption = SettingsWidgets::secondaryLabel(QString(), this);
    layout->addWidget(m_caption);

    connect(m_switch, &QCheckBox::toggled, this, [this](bool enabled) {
        if (m_config.enabled == enabled)
            return;
        m_config.enabled = enabled;
        showConfig();
        Q_EMIT configEdited(m_config);
    });
    showConfig();
}

void ModifierKeyPicker::setConfig(const HotkeyConfig &config)
{
    if (m_config == config)
        return;
    m_config = config;
    showConfig();
}

QString ModifierKeyPicker::caption() const
{
    if (!m_config.enabled)
        return tr("已禁用");
    return tr("长按 %1 键激活「%2」").arg(ModifierKeys::displayLabel(m_config.modifier), m_title);
}

void ModifierKeyPicker::showConfig()
{
    m_switch->setChecked(m_config.enabled);
    m_chipRow->setVisible(m_config.enabled);
    for (ModifierKeyChip *chip : std::as_const(m_chips))
        chip->setSelected(chip->key() == m_config.modifier);
    m_caption->setText(caption());
    m_caption->setAccessibleName(caption());
}
