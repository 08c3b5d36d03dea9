#pragma once

#include "SettingsViewModel.h"

#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>

class QAction;
class QMenu;
class QSystemTrayIcon;
class SettingsWindow;

// The application's one permanent face: the tray icon with its menu "打开设置"
// and "退出 Quillwren", and the settings window it opens — at most one, made
// afresh (with a fresh view model) after the last one closed. Activating the
// icon (a left click) shows the status window; closing a window never quits.
class StatusBarController : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool isShowingSettings READ isShowingSettings NOTIFY isShowingSettingsChanged)

public:
    // How long a message from the tray stays up.
    static constexpr int kMessageMs = 8000;

    using SettingsServices = std::function<SettingsViewModel::Services()>;

    explicit StatusBarController(SettingsServices settingsServices, QObject *parent = nullptr);
    // Closes an open settings window, which saves what is still waiting.
    ~StatusBarController() override;

    // The icon: the waveform, white on a blue disc, legible on light and dark panels.
    static QIcon icon();

    // Whether a tray host (StatusNotifierItem or XEmbed) shows the icon.
    bool isTrayShown() const;
    // Shows a message from the tray icon; false where no tray shows it.
    bool showMessage(const QString &summary, const QString &body);
    bool isShowingSettings() const { return !m_settingsWindow.isNull(); }
    SettingsWindow *settingsWindow() const;
    QMenu *menu() const { return m_menu.get(); }
    QAction *autostartAction() const { return m_autostart; }

public Q_SLOTS:
    void showSettings();
    void quitApp();

Q_SIGNALS:
    void isShowingSettingsChanged(bool showing);
    // The icon itself was activated: the status window should show.
    void statusWindowRequested();

private:
    SettingsServices m_settingsServices;
    std::unique_ptr<QMenu> m_menu;
    QAction *m_autostart = nullptr;
    QSystemTrayIcon *m_tray = nullptr;
    QPointer<SettingsWindow> m_settingsWindow;
};
