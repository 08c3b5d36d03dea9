#include "SettingsOpener.h"

#include "Log.h"
#include "SettingsWindow.h"

#include <QGuiApplication>
#include <QScreen>

SettingsOpener::SettingsOpener(ServicesFactory services, QObject *parent)
    : QObject(parent), m_services(std::move(services))
{
}

SettingsOpener::~SettingsOpener()
{
    delete m_window;
}

SettingsWindow *SettingsOpener::window() const
{
    return m_window;
}

void SettingsOpener::showSettings()
{
    if (!m_window) {
        m_window = new SettingsWindow(m_services());
        m_window->setAttribute(Qt::WA_DeleteOnClose);
        if (QScreen *screen = QGuiApplication::primaryScreen()) {
            QRect frame(QPoint(), SettingsWindow::kInitialSize);
            frame.moveCenter(screen->availableGeometry().center());
            m_window->move(frame.topLeft());
        }
        Log::line(QStringLiteral("⚙️ [Settings] 打开设置窗口"));
    }
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}
