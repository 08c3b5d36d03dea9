#pragma once

#include "AppConfig.h"
#include "SettingsStore.h"

#include <QCheckBox>

// A check box bound to one on/off member of the settings record: saved at
// once when it is flipped, and read again each time it is shown, so that two
// switches of the same setting on two tabs never disagree (reading the
// stored value back saves nothing).
class SettingSwitch final : public QCheckBox
{
    Q_OBJECT

public:
    SettingSwitch(const QString &text, SettingsStore &store, bool AppConfig::*member, QWidget *parent = nullptr)
        : QCheckBox(text, parent), m_store(store), m_member(member)
    {
        setAccessibleName(text);
        setChecked(m_store.loadAppConfig().*m_member);
        connect(this, &QCheckBox::toggled, this, [this](bool on) { m_store.saveAppConfigMember(m_member, on); });
    }

protected:
    void showEvent(QShowEvent *event) override
    {
        setChecked(m_store.loadAppConfig().*m_member);
        QCheckBox::showEvent(event);
    }

private:
    SettingsStore &m_store;
    bool AppConfig::*m_member;
};
