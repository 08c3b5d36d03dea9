#include "FailureNotices.h"

#include "AppViewModel.h"
#include "DesktopNotifier.h"
#include "Log.h"

#include <QPointer>
#include <QRegularExpression>

FailureNotices::FailureNotices(AppViewModel &controller, DesktopNotifier &notifier, Fallback fallback,
                               RefusalExplainer explainRefusal, QObject *parent)
    : QObject(parent), m_notifier(notifier), m_fallback(std::move(fallback)), m_explainRefusal(std::move(explainRefusal))
{
    connect(&controller, &AppViewModel::runEnded, this, &FailureNotices::notice);
    connect(&m_notifier, &DesktopNotifier::undelivered, this, [this](const QString &summary, const QString &body) {
        if (m_fallback && m_fallback(summary, body))
            return;
        Log::line(QStringLiteral("⚠️ [通知] 没有通知服务也没有托盘，只在状态窗口显示：") + summary);
    });
}

bool FailureNotices::isKeyRefusal(const RunEnding &ending)
{
    // A refused handshake names its HTTP status; a refused request carries
    // the service's code or message.
    static const QRegularExpression refusal(
        QStringLiteral("\\b401\\b|InvalidApiKey|invalid_api_key|Incorrect API key|Invalid API-key"),
        QRegularExpression::CaseInsensitiveOption);
    return ending.kind == RunEnding::Kind::Failed
           && (refusal.match(ending.status).hasMatch() || refusal.match(ending.detail).hasMatch());
}

void FailureNotices::notice(const RunEnding &ending)
{
    ++m_notices;
    if (!ending.needsAttention())
        return;
    Log::line(QStringLiteral("🔔 [通知] ") + ending.status
              + (ending.detail.isEmpty() ? QString() : QStringLiteral("（") + ending.detail + QStringLiteral("）")));
    m_notifier.show(ending.status, ending.detail);
    if (m_explainRefusal && isKeyRefusal(ending))
        explain(ending);
}

QCoro::Task<> FailureNotices::explain(RunEnding ending)
{
    const quint64 notice = m_notices;
    const QPointer<FailureNotices> self = this;
    const QString explanation = co_await m_explainRefusal();
    // Gone, nothing to add, or a newer run has told the user something else since.
    if (!self || explanation.isEmpty() || notice != m_notices)
        co_return;
    Log::line(QStringLiteral("🔔 [通知] ") + ending.status + QStringLiteral("（") + explanation + QStringLiteral("）"));
    m_notifier.show(ending.status, explanation);
}
