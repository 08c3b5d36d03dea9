#include "KeyRouteBox.h"

#include "SettingsStore.h"
#include "SettingsWidgets.h"

#include <QComboBox>
#include <QLabel>
#include <QVBoxLayout>

KeyRouteBox::KeyRouteBox(SettingsStore &store, KeyRouteChoices choices, QWidget *parent)
    : QGroupBox(tr("读取按键的方式"), parent), m_store(store), m_choices(std::move(choices))
{
    auto *layout = new QVBoxLayout(this);
    m_current = new QLabel(this);
    m_current->setWordWrap(true);
    m_current->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(m_current);

    m_choice = new QComboBox(this);
    m_choice->setAccessibleName(tr("选择读取按键的方式"));
    m_choice->addItem(tr("自动（推荐）"), QStringLiteral("auto"));
    for (const auto &[key, label] : std::as_const(m_choices.working))
        m_choice->addItem(label, key);
    const int stored = m_choice->findData(m_store.loadAppConfig().keyRoute);
    m_choice->setCurrentIndex(stored < 0 ? 0 : stored);
    layout->addWidget(m_choice);
    auto *note = SettingsWidgets::secondaryLabel(tr("更改后重新启动 Quillwren 生效"), this);
    layout->addWidget(note);
    const bool choosable = m_choices.working.size() >= 2;
    m_choice->setVisible(choosable);
    note->setVisible(choosable);
    connect(m_choice, &QComboBox::currentIndexChanged, this, [this](int index) {
        m_store.saveAppConfigMember(&AppConfig::keyRoute, m_choice->itemData(index).toString());
    });
    if (m_choices.events)
        connect(m_choices.events, SIGNAL(changed()), this, SLOT(refresh()));
    refresh();
}

void KeyRouteBox::refresh()
{
    const QStringList lines = m_choices.describe ? m_choices.describe() : QStringList();
    m_current->setText(lines.join(QLatin1Char('\n')));
    setVisible(!lines.isEmpty() || m_choices.working.size() >= 2);
}
