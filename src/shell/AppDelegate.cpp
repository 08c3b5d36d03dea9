#include "AppDelegate.h"

#include "ContentView.h"
#include "FailureNotices.h"
#include "Log.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QSystemTrayIcon>

namespace {
// The X keycode of the key that types "1" (and "!" with Shift) on common layouts.
constexpr quint32 kDigitOneKeycode = 10;
} // namespace

AppDelegate::AppDelegate(Parts parts, QObject *parent) : QObject(parent), m_parts(std::move(parts))
{
    connect(qApp, &QCoreApplication::aboutToQuit, this, [] { Log::line(QStringLiteral("Quillwren 即将退出")); });
}

AppDelegate::~AppDelegate()
{
    qApp->removeEventFilter(this);
}

void AppDelegate::applicationDidFinishLaunching()
{
    Log::line(QStringLiteral("🚀 Quillwren 应用启动..."));
    AppViewModel &appViewModel = m_parts.appViewModel();
    Log::line(QStringLiteral("✅ AppViewModel 已初始化"));
    m_statusBarController = std::make_unique<StatusBarController>(m_parts.settingsServices);
    connect(m_statusBarController.get(), &StatusBarController::statusWindowRequested, this,
            &AppDelegate::showStatusWindow);
    Log::line(QStringLiteral("✅ StatusBarController 已初始化"));
    m_parts.floatingBallWindowManager();
    Log::line(QStringLiteral("✅ FloatingBallWindowManager 已初始化"));

    // The status window exists from the start but stays hidden: the tray is
    // the application's face. No window, no taskbar entry.
    m_contentView = std::make_unique<ContentView>(appViewModel, m_parts.capabilityLines);
    if (m_parts.notifier) {
        StatusBarController *tray = m_statusBarController.get();
        m_failureNotices = std::make_unique<FailureNotices>(
            appViewModel, m_parts.notifier(),
            [tray](const QString &summary, const QString &body) { return tray->showMessage(summary, body); },
            m_parts.explainRefusedKey);
    }
    qApp->installEventFilter(this);

    checkAccessibility();
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        Log::line(QStringLiteral("⚠️ [StatusBar] 桌面没有系统托盘，托盘图标不会显示；快捷键照常工作，"
                                 "用 `quillwren settings` 打开设置"));
    }
    Log::line(QStringLiteral("✨ 应用初始化完成，状态栏图标已显示"));
}

void AppDelegate::checkAccessibility()
{
    const QString problem = m_parts.accessibilityProblem ? m_parts.accessibilityProblem() : QString();
    Log::line(QStringLiteral("🔐 辅助功能权限状态：") + (problem.isEmpty() ? QStringLiteral("✅ 已授权")
                                                                          : QStringLiteral("❌ 未授权")));
    if (problem.isEmpty()) {
        Log::line(QStringLiteral("✅ 辅助功能权限已授权，快捷键监听已就绪"));
        return;
    }
    // There is no system prompt to raise on this desktop: say what is missing.
    Log::line(QStringLiteral("⚠️ 辅助功能权限未授权，正在请求..."));
    Log::line(QStringLiteral("⚠️ 缺少：") + problem);
    Log::line(QStringLiteral("💡 请在系统设置中允许 Quillwren 使用辅助功能"));
}

void AppDelegate::openSettings()
{
    Log::line(QStringLiteral("⚙️ 快捷键触发：打开设置页面"));
    if (m_statusBarController)
        m_statusBarController->showSettings();
}

void AppDelegate::showStatusWindow()
{
    if (!m_contentView)
        return;
    m_contentView->show();
    m_contentView->raise();
    m_contentView->activateWindow();
}

bool AppDelegate::eventFilter(QObject *watched, QEvent *event)
{
    // Seen once per key, where it reaches one of our windows (the widget
    // deliveries that follow are the same key again).
    if (event->type() != QEvent::KeyPress || !watched->isWindowType())
        return false;
    const auto *key = static_cast<QKeyEvent *>(event);
    const bool shift = key->modifiers() & Qt::ShiftModifier;
    const bool digitOne =
        key->nativeScanCode() == kDigitOneKeycode || key->key() == Qt::Key_1 || key->key() == Qt::Key_Exclam;
    if (!shift || !digitOne)
        return false;
    openSettings();
    return true; // consumed: the field in front does not get a "!"
}
