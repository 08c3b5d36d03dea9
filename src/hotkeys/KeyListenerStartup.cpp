#include "KeyListenerStartup.h"

#include "KeyEventSource.h"
#include "Log.h"

KeyListenerStartup::KeyListenerStartup(KeyEventSource &source, KeyEventSource &localFallback, Scheduler &scheduler,
                                       const ShortcutConfig &config, std::function<void(Outcome)> report)
    : m_source(source)
    , m_localFallback(localFallback)
    , m_scheduler(scheduler)
    , m_config(config)
    , m_report(std::move(report))
{
    m_timer = m_scheduler.schedule(kFirstDelay, [this] { attempt(0); });
}

void KeyListenerStartup::attempt(int attempt)
{
    Log::line(QStringLiteral("🔄 尝试设置事件监听 (尝试 %1/%2)...").arg(attempt + 1).arg(kMaxAttempts));
    if (m_source.isTrusted()) {
        start();
        return;
    }
    Log::line(QStringLiteral("⚠️ 辅助功能权限未授权，等待 %1 秒后重试...")
                  .arg(QString::number(kRetryDelay.count() / 1000.0, 'f', 1)));
    ++attempt;
    if (attempt < kMaxAttempts) {
        m_report(Outcome::Retrying);
        m_timer = m_scheduler.schedule(kRetryDelay, [this, attempt] { this->attempt(attempt); });
    } else {
        Log::line(QStringLiteral("❌ 超过最大重试次数，请手动在系统设置中授权"));
        m_report(Outcome::GivenUp);
    }
}

void KeyListenerStartup::start()
{
    Log::line(QStringLiteral("🎯 开始设置事件监听..."));
    if (m_source.start()) {
        m_report(Outcome::Tapping);
        Log::line(QStringLiteral("🟢 事件监听已启用，快捷键监听就绪"));
        printConfig();
        return;
    }
    Log::line(QStringLiteral("❌ 事件监听创建失败，尝试备用本地监听"));
    // The fallback stays for the life of the process. Starting it again is a
    // no-op, so repeated failures never deliver each event twice.
    m_localFallback.start();
    m_report(Outcome::LocalFallback);
    Log::line(QStringLiteral("⚠️  本地监听已启用（仅在应用激活时有效）"));
}

void KeyListenerStartup::stop()
{
    if (m_source.isActive())
        m_source.stop();
}

void KeyListenerStartup::printConfig() const
{
    Log::line(QStringLiteral("⌨️ 当前快捷键配置："));
    const std::pair<AppMode, QString> lines[] = {
        {AppMode::VoiceInput, QStringLiteral("   语音输入法：长按 ")},
        {AppMode::ChatAssistant, QStringLiteral("   聊天助手：长按 ")},
        {AppMode::BffReply, QStringLiteral("   BFF回复：长按 ")},
    };
    for (const auto &[mode, prefix] : lines) {
        const HotkeyConfig &hotkey = m_config.config(mode);
        Log::line(prefix + ModifierKeys::label(hotkey.modifier)
                  + (hotkey.enabled ? QString() : QStringLiteral("（已禁用）")));
    }
}
