#include "RecognitionTaskOptions.h"

#include "DuplexProtocol.h"
#include "Log.h"
#include "Vocabulary.h"

void RecognitionTaskOptions::update(const AppConfig &config)
{
    m_language = config.asrLanguage == QLatin1String("auto") ? QString() : config.asrLanguage;
    m_vocabularyId = Vocabulary::usableId(config, m_model);
    if (const Vocabulary::Sync sync = Vocabulary::state(config, m_model);
        m_vocabularyId.isEmpty() && sync != Vocabulary::Sync::NoWords) {
        const QString why = Vocabulary::describe(config, m_model);
        if (std::exchange(m_vocabularyNotice, why) != why)
            Log::line(QStringLiteral("⚠️ [RealtimeASR] 热词词表不可用（%1），本次识别不使用热词").arg(why));
    } else {
        m_vocabularyNotice.clear();
    }
}

QByteArray RecognitionTaskOptions::runTaskFrame(const QString &taskId) const
{
    Log::line(QStringLiteral("📤 [RealtimeASR] 发送 run-task：%1, 格式：PCM, 采样率：16000Hz, heartbeat:true").arg(m_model));
    if (!m_language.isEmpty())
        Log::line(QStringLiteral("🗣️ [RealtimeASR] 识别语言：") + m_language);
    if (!m_vocabularyId.isEmpty())
        Log::line(QStringLiteral("📖 [RealtimeASR] 热词词表：") + m_vocabularyId);
    return DuplexProtocol::recognitionRunTaskFrame(taskId, m_model, m_language, m_vocabularyId);
}
