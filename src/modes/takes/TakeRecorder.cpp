#include "TakeRecorder.h"

#include "SpeechRecognizer.h"
#include "TakeAudioKeeper.h"
#include "UserText.h"

#include <QDateTime>

QString TakeRecorder::reasonOf(const RunEnding &ending)
{
    if (ending.kind == RunEnding::Kind::Done || ending.kind == RunEnding::Kind::OnClipboard)
        return {};
    // An ending that hides its failure ("nothing heard" after a start that
    // failed) carries it as its detail: that is the reason.
    return ending.detail.isEmpty() ? ending.status : ending.detail;
}

void TakeRecorder::restart()
{
    m_text.clear();
    m_raw.clear();
    m_answer.clear();
    m_latencyMs = -1;
    m_released.start();
}

void TakeRecorder::heard(const QString &text)
{
    heard(text, m_released.isValid() ? m_released.elapsed() : -1);
}

void TakeRecorder::heard(const QString &text, qint64 latencyMs)
{
    m_text = text;
    m_latencyMs = latencyMs;
}

void TakeRecorder::typed(const QString &text)
{
    if (text.isEmpty() || text == m_text)
        return;
    m_raw = m_text;
    heard(text);
}

TakeRecorder::Ended TakeRecorder::end(std::optional<AppMode> mode, const RunEnding &endingAsRun)
{
    RunEnding ending = endingAsRun;
    // No words because the recogniser's server refused them: that is the news.
    if (mode && *mode != AppMode::BffReply && m_text.isEmpty() && ending.kind == RunEnding::Kind::NothingHeard
        && !m_recognizer.failure().isEmpty())
        ending = RunEnding::failed(UserText::of(QT_TRANSLATE_NOOP("UserText", "识别失败：%1")).arg(m_recognizer.failure()));
    const QString text = std::exchange(m_text, {});
    const QString raw = std::exchange(m_raw, {});
    const QString answer = std::exchange(m_answer, {});
    const qint64 latencyMs = std::exchange(m_latencyMs, -1);
    m_released.invalidate();
    const bool voice = mode && *mode != AppMode::BffReply;
    // What the user said may be lost with the service's trouble: such a take
    // is recorded even without words, so that it can be sent again.
    const bool troubled = voice
                          && (ending.kind == RunEnding::Kind::Failed || ending.kind == RunEnding::Kind::Cancelled
                              || m_recognizer.connectionTroubled());
    const TakeAudioKeeper::Kept kept = voice && m_keeper ? m_keeper->end(troubled) : TakeAudioKeeper::Kept{};
    RunEnding told = ending;
    if (!kept.lost.isEmpty()) {
        const QString lost = UserText::of(QT_TRANSLATE_NOOP("UserText", "本次录音也未能保存（%1）")).arg(kept.lost);
        told.detail = told.detail.isEmpty() ? lost : told.detail + QStringLiteral("；") + lost;
    }
    if (!mode || (text.isEmpty() && !troubled))
        return {std::nullopt, told};
    return {TakeRecord{QDateTime::currentDateTime(), *mode, text, answer, ending.historyName(*mode), latencyMs,
                       kept.path, kept.lengthMs, reasonOf(ending), raw},
            told};
}
