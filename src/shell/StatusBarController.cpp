#include "StatusBarController.h"

#include "AutostartEntry.h"
#include "Log.h"
#include "SettingsWindow.h"
#include "UserText.h"
#include "Symbols.h"

#include <QApplication>
#include <QMenu>
#include <QScreen>
#include <QSystemTrayIcon>

QIcon StatusBarController::icon()
{
    return Symbols::icon(QStringLiteral("waveform"), Qt::white, QColor::fromRgbF(0.25f, 0.55f, 0.95f));
}

StatusBarController::StatusBarController(SettingsServices settingsServices, QObject *parent)
    : QObject(parent), m_settingsServices(std::move(settingsServices)), m_menu(std::make_unique<QMenu>())
{
    m_menu->setAccessibleName(QStringLiteral("Quillwren"));
    QAction *open = m_menu->addAction(tr("打开设置"), this, &StatusBarController::showSettings);
    open->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma));
    // Starting with the session is the application's business, not a setting of the modes.
    m_autostart = m_menu->addAction(tr("登录时启动"));
    m_autostart->setCheckable(true);
    m_autostart->setChecked(AutostartEntry::isEnabled());
    connect(m_autostart, &QAction::toggled, this, [this](bool enabled) {
        if (!AutostartEntry::setEnabled(enabled, QCoreApplication::applicationFilePath())) {
            Log::line(QStringLiteral("❌ [StatusBar] 无法更改登录时启动：") + AutostartEntry::path());
            const QSignalBlocker blocker(m_autostart);
            m_autostart->setChecked(!enabled);
        }
    });
    m_menu->addSeparator();
    QAction *quit = m_menu->addAction(tr("退出 Quillwren"), this, &StatusBarController::quitApp);
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));

    m_tray = new QSystemTrayIcon(icon(), this);
    m_tray->setToolTip(QStringLiteral("Quillwren"));
    m_tray->setContextMenu(m_menu.get());
    connect(m_tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick)
            Q_EMIT statusWindowRequested();
    });
    m_tray->show();
}

StatusBarController::~StatusBarController()
{
    delete m_settingsWindow;
}

bool StatusBarController::isTrayShown() const
{
    return QSystemTrayIcon::isSystemTrayAvailable() && m_tray->isVisible();
}

bool StatusBarController::showMessage(const QString &summary, const QString &body)
{
    if (!isTrayShown() || !QSystemTrayIcon::supportsMessages())
        return false;
    m_tray->showMessage(UserText::shown(summary), UserText::shown(body), icon(), kMessageMs);
    return true;
}

SettingsWindow *StatusBarController::settingsWindow() const
{
    return m_settingsWindow;
}

void StatusBarController::showSettings()
{
    if (!m_settingsWindow) {
        auto *window = new SettingsWindow(m_settingsServices());
        window->setAttribute(Qt::WA_DeleteOnClose);
        if (QScreen *screen = QGuiApplication::primaryScreen()) {
            QRect frame(QPoint(), SettingsWindow::kInitialSize);
            frame.moveCenter(screen->availableGeometry().center());
            window->move(frame.topLeft());
        }
        m_settingsWindow = window;
        connect(window, &QObject::destroyed, this, [this] { Q_EMIT isShowingSettingsChanged(false); });
        Q_EMIT isShowingSettingsChanged(true);
    }
    m_settingsWindow->show();
    m_settingsWindow->raise();
    m_settingsWindow->activateWindow();
}

void StatusBarController::quitApp()
{
    QCoreApplication::quit();
}
