#include "DictationCleanup.h"

#include "CleanupGuard.h"
#include "CleanupPrompt.h"
#include "DesktopBackend.h"
#include "Log.h"
#include "ModelService.h"
#include "Scheduler.h"
#include "UserText.h"

#include <QElapsedTimer>
#include <QScopeGuard>

#include <algorithm>

namespace {
const QString kTimedOut = QStringLiteral("CleanupTimeout");
const QString kCancelled = QStringLiteral("CleanupCancelled");
} // namespace

std::chrono::milliseconds DictationCleanup::timeLimit(const QString &transcript)
{
    return std::min(std::chrono::milliseconds(500 + 10 * transcript.size()), std::chrono::milliseconds(30000));
}

QCoro::Task<QString> DictationCleanup::skipReason(const AppConfig &config)
{
    const DesktopBackend::FocusedApplication app = co_await m_desktop.focusedApplication();
    const QString names = app.names.join(QLatin1Char('/'));
    // A command must arrive exactly as it was said.
    if (app.terminal)
        co_return QStringLiteral("目标窗口 %1 是终端").arg(names);
    for (const QString &name : app.names) {
        for (const QString &skipped : config.cleanupSkipApps) {
            if (name.compare(skipped, Qt::CaseInsensitive) == 0)
                co_return QStringLiteral("目标应用 %1 在不润色的应用之列").arg(names);
        }
    }
    co_return QString();
}

QCoro::Task<DictationCleanup::Outcome> DictationCleanup::run(QString transcript, AppConfig config, StatusSink status)
{
    if (config.dictationCleanup == QLatin1String("off"))
        co_return Outcome{transcript};
    if (const QString skip = co_await skipReason(config); !skip.isEmpty()) {
        Log::line(QStringLiteral("🧹 [润色] %1，按原文输入").arg(skip));
        co_return Outcome{transcript};
    }
    if (transcript.size() > kMaxCharacters) {
        Log::line(QStringLiteral("🧹 [润色] 原文 %1 字，超过 %2 字，按原文输入").arg(transcript.size()).arg(kMaxCharacters));
        co_return Outcome{transcript};
    }
    status(UserText::of(QT_TRANSLATE_NOOP("UserText", "正在润色...")));
    const LLMRequest request = CleanupPrompt::request(transcript, config);
    const std::chrono::milliseconds limit = timeLimit(transcript);
    Log::line(QStringLiteral("🧹 [润色] 开始润色，级别 %1，模型 %2，限时 %3 ms")
                  .arg(config.dictationCleanup, request.model)
                  .arg(limit.count()));
    QElapsedTimer clock;
    clock.start();
    if (m_shown)
        m_shown(true);
    const auto hidden = qScopeGuard([this] {
        if (m_shown)
            m_shown(false);
    });
    const std::shared_ptr<ChatStream> stream = m_models.streamRequest(request, config);
    m_underWay = stream;
    m_cancelled = false;
    const auto timer = m_scheduler.schedule(limit, [stream, limit] {
        stream->abandon({kTimedOut, -1, QStringLiteral("%1 ms 内未完成").arg(limit.count())});
    });
    QString answer;
    while (const std::optional<QString> piece = co_await stream->next())
        answer += *piece;
    timer->invalidate();
    m_underWay.reset();
    if (m_cancelled) {
        Log::line(QStringLiteral("🚫 [润色] 润色中按下 Esc，取消输入"));
        co_return Outcome{QString(), true};
    }
    auto fallBack = [&](const QString &reason, const QString &detail) {
        Log::line(QStringLiteral("⚠️ [润色] 未采用润色结果（%1）：%2，按原文输入").arg(reason, detail));
        return Outcome{transcript, false, reason};
    };
    if (const std::optional<ServiceError> &error = stream->error()) {
        const bool late = error->domain == kTimedOut;
        co_return fallBack(late ? UserText::of(QT_TRANSLATE_NOOP("UserText", "润色超时"))
                                : UserText::of(QT_TRANSLATE_NOOP("UserText", "润色请求失败")),
                           error->description);
    }
    const CleanupGuard::Check check = CleanupGuard::check(transcript, answer);
    if (check.verdict != CleanupGuard::Verdict::Accepted) {
        co_return fallBack(CleanupGuard::reason(check.verdict),
                           QStringLiteral("%1 %2 \"%3\"")
                               .arg(QLatin1String(CleanupGuard::name(check.verdict)), check.detail, answer.left(100)));
    }
    Log::line(QStringLiteral("✅ [润色] 润色完成（%1 ms，%2）：\"%3\"").arg(clock.elapsed()).arg(check.detail, check.text.left(100)));
    co_return Outcome{check.text};
}

bool DictationCleanup::cancel()
{
    if (!m_underWay)
        return false;
    m_cancelled = true;
    m_underWay->abandon({kCancelled, -1, QStringLiteral("已取消")});
    return true;
}
