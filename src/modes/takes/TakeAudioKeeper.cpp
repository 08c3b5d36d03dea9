#include "TakeAudioKeeper.h"

#include "AppConfig.h"
#include "Log.h"

#include <QDateTime>
#include <QFile>

TakeAudioKeeper::TakeAudioKeeper(TakeAudioFolder folder) : m_folder(std::move(folder)) {}

void TakeAudioKeeper::begin(const AppConfig &config)
{
    if (isKeeping())
        end(true);
    m_problem.clear();
    if (config.keepAudio == QLatin1String("none") || !config.keepHistory)
        return;
    m_keepAll = config.keepAudio == QLatin1String("all");
    m_writeFailed = false;
    QString error;
    const QString path = m_folder.newFile(QDateTime::currentDateTime(), &error);
    if (path.isEmpty() || !m_writer.open(path, &error)) {
        Log::line(QStringLiteral("⚠️ [录音保存] 无法保存本次音频：") + error);
        m_problem = error;
    }
}

void TakeAudioKeeper::append(const QByteArray &pcm)
{
    if (isKeeping() && !m_writer.write(pcm) && !std::exchange(m_writeFailed, true)) {
        Log::line(QStringLiteral("⚠️ [录音保存] 写入音频失败：") + m_writer.path());
        m_problem = QStringLiteral("cannot write ") + m_writer.path();
    }
}

TakeAudioKeeper::Kept TakeAudioKeeper::end(bool troubled)
{
    const QString problem = std::exchange(m_problem, {});
    // A take that was to be kept and could not be: the caller says so.
    const Kept lost{{}, -1, troubled ? problem : QString()};
    if (!isKeeping())
        return lost;
    const QString path = m_writer.path();
    const bool written = m_writer.finish();
    if (!written || m_writer.samples() == 0 || (!troubled && !m_keepAll)) {
        QFile::remove(path);
        if (!written && troubled && m_writer.samples() > 0)
            return {{}, -1, problem.isEmpty() ? QStringLiteral("cannot write ") + path : problem};
        return lost;
    }
    m_folder.prune(path);
    Log::line(QStringLiteral("💾 [录音保存] 本次音频已保存：%1（%2 ms）").arg(path).arg(m_writer.lengthMs()));
    return {path, m_writer.lengthMs()};
}
