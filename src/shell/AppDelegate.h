#pragma once

#include "StatusBarController.h"

#include <QObject>

#include <QCoroTask>

#include <functional>
#include <memory>

class AppViewModel;
class ContentView;
class DesktopNotifier;
class FailureNotices;
class FloatingBallWindowManager;

// The running application's start-up: makes the mode controller, the tray
// and the indicator in that order, keeps the status window hidden, tells the
// user about runs that failed (a notification, else the tray), says
// whether global keys work here, and opens the settings on Shift+1 while one
// of the application's windows is active.
class AppDelegate : public QObject
{
    Q_OBJECT

public:
    struct Parts
    {
        std::function<AppViewModel &()> appViewModel;
        std::function<FloatingBallWindowManager &()> floatingBallWindowManager;
        StatusBarController::SettingsServices settingsServices;
        std::function<DesktopNotifier &()> notifier;
        // Empty when global keys and synthetic paste work here, else what is missing.
        std::function<QString()> accessibilityProblem;
        // One line per capability of the desktop, for the status window.
        std::function<QStringList()> capabilityLines;
        // What a refused API key may mean besides a wrong key (optional).
        std::function<QCoro::Task<QString>()> explainRefusedKey;
    };

    explicit AppDelegate(Parts parts, QObject *parent = nullptr);
    ~AppDelegate() override;

    void applicationDidFinishLaunching();
    // The settings shortcut's action.
    void openSettings();

    StatusBarController *statusBarController() const { return m_statusBarController.get(); }
    ContentView *contentView() const { return m_contentView.get(); }
    // Shows the status window and brings it to the front.
    void showStatusWindow();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void checkAccessibility();

    Parts m_parts;
    std::unique_ptr<StatusBarController> m_statusBarController;
    std::unique_ptr<ContentView> m_contentView;
    std::unique_ptr<FailureNotices> m_failureNotices;
};
