#pragma once

#include "SettingsViewModel.h"

#include <QObject>
#include <QPointer>

#include <functional>

class SettingsWindow;

// Opens the settings window: at most one at a time, brought to the front
// when asked again, centred on the primary screen when new. A closed window
// is gone (its view model with it, after saving); the next opening makes a
// fresh one with the stored values.
class SettingsOpener : public QObject
{
    Q_OBJECT

public:
    using ServicesFactory = std::function<SettingsViewModel::Services()>;

    explicit SettingsOpener(ServicesFactory services, QObject *parent = nullptr);
    // Closes an open window, which saves what is still waiting.
    ~SettingsOpener() override;

    void showSettings();
    bool isShowingSettings() const { return !m_window.isNull(); }
    SettingsWindow *window() const;

private:
    ServicesFactory m_services;
    QPointer<SettingsWindow> m_window;
};
