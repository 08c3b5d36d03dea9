#include "HistoryRetry.h"

#include "AppViewModel.h"
#include "Log.h"
#include "TakeHistory.h"
#include "UserText.h"

HistoryRetry::HistoryRetry(AppViewModel &controller, QString historyPath)
    : m_controller(controller), m_historyPath(std::move(historyPath))
{
}

std::optional<TakeRecord> HistoryRetry::pick(const QList<TakeRecord> &newestFirst, int n, QString *why)
{
    if (n > 0) {
        if (n > newestFirst.size()) {
            *why = UserText::of(QT_TRANSLATE_NOOP("UserText", "历史记录中没有第 %1 条")).arg(n);
            return std::nullopt;
        }
        return newestFirst.at(n - 1);
    }
    for (const TakeRecord &record : newestFirst) {
        const bool failed = record.ending == QLatin1String(TakeRecord::kFailed)
                            || record.ending == QLatin1String(TakeRecord::kCancelled);
        if (failed && !record.audio.isEmpty())
            return record;
    }
    *why = UserText::of(QT_TRANSLATE_NOOP("UserText", "没有保存了音频的失败或取消的录音"));
    return std::nullopt;
}

QCoro::Task<TakeRetry::Outcome> HistoryRetry::retry(int n)
{
    QString why;
    const std::optional<TakeRecord> record = pick(TakeHistory(m_historyPath).newest(), n, &why);
    if (!record)
        co_return TakeRetry::Outcome{{}, false, why};
    co_return co_await retry(*record);
}

QCoro::Task<TakeRetry::Outcome> HistoryRetry::retry(TakeRecord record)
{
    // Only a file of our own is read, and removed once the take is done: a
    // history line edited by hand must not name anything else.
    if (!record.audio.isEmpty() && !TakeHistory(m_historyPath).audioFolder().holds(record.audio)) {
        co_return TakeRetry::Outcome{
            {}, false,
            UserText::of(QT_TRANSLATE_NOOP("UserText", "无法读取保存的音频：%1"))
                .arg(record.audio + QStringLiteral(": not one of the kept takes"))};
    }
    const TakeRecord before = record;
    TakeRetry::Outcome outcome = co_await m_controller.retryTake(std::move(record));
    QString error;
    if (outcome.record && !TakeHistory(m_historyPath).update(before, *outcome.record, &error))
        Log::line(QStringLiteral("⚠️ [历史] 无法更新重试的记录：") + error);
    co_return outcome;
}
