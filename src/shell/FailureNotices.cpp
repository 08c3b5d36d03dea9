#include "FailureNotices.h"

#include "AppViewModel.h"
#include "DesktopNotifier.h"
#include "Log.h"

FailureNotices::FailureNotices(AppViewModel &controller, DesktopNotifier &notifier, Fallback fallback,
                               QObject *parent)
    : QObject(parent), m_notifier(notifier), m_fallback(std::move(fallback))
{
    connect(&controller, &AppViewModel::runEnded, this, &FailureNotices::notice);
    connect(&m_notifier, &DesktopNotifier::undelivered, this, [this](const QString &summary, const QString &body) {
        if (m_fallback && m_fallback(summary, body))
            return;
        Log::line(QStringLiteral("⚠️ [通知] 没有通知服务也没有托盘，只在状态窗口显示：") + summary);
    });
}

void FailureNotices::notice(const RunEnding &ending)
{
    if (!ending.needsAttention())
        return;
    Log::line(QStringLiteral("🔔 [通知] ") + ending.status
              + (ending.detail.isEmpty() ? QString() : QStringLiteral("（") + ending.detail + QStringLiteral("）")));
    m_notifier.show(ending.status, ending.detail);
}
