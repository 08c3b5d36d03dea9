#include "DevicesCommand.h"

#include "Console.h"

#include <QCoreApplication>
#include <QDeadlineTimer>

DevicesCommand::DevicesCommand(AudioInputWatcher &watcher, QByteArray chosen)
    : m_watcher(watcher), m_chosen(std::move(chosen))
{
}

std::optional<QList<AudioInputWatcher::Input>> DevicesCommand::listInputs(AudioInputWatcher &watcher)
{
    QDeadlineTimer deadline(kListTimeoutMs);
    while (!watcher.isReady() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    if (!watcher.isReady())
        return std::nullopt;
    return watcher.inputs();
}

std::optional<QList<QByteArray>> DevicesCommand::listInputIds(AudioInputWatcher &watcher)
{
    const auto inputs = listInputs(watcher);
    if (!inputs)
        return std::nullopt;
    QList<QByteArray> ids;
    for (const AudioInputWatcher::Input &input : *inputs)
        ids << input.id;
    return ids;
}

int DevicesCommand::run(const QStringList &args)
{
    if (!args.isEmpty()) {
        Console::err(QStringLiteral("usage: quillwren devices"));
        return Console::UsageError;
    }
    const auto inputs = listInputs(m_watcher);
    if (!inputs) {
        Console::err(QStringLiteral("quillwren: the audio server did not answer; no microphone can be listed"));
        return Console::Failure;
    }
    // "*" marks the one takes record from: the chosen one, or the default
    // when none is chosen (or the chosen one is not there).
    const QByteArray defaultId = m_watcher.defaultInputId();
    bool chosenHere = false;
    for (const AudioInputWatcher::Input &input : *inputs)
        chosenHere = chosenHere || input.id == m_chosen;
    const QByteArray used = chosenHere ? m_chosen : defaultId;
    QStringList lines;
    for (const AudioInputWatcher::Input &input : *inputs) {
        QString line = (input.id == used ? QStringLiteral("* ") : QStringLiteral("  ")) + QString::fromUtf8(input.id)
                       + QLatin1Char('\t') + input.description;
        if (input.id == defaultId)
            line += QStringLiteral(" (default)");
        lines << line;
    }
    if (!m_chosen.isEmpty() && !chosenHere)
        lines << QStringLiteral("  %1\t(chosen, not connected: takes use the default)").arg(QString::fromUtf8(m_chosen));
    if (inputs->isEmpty())
        lines << QStringLiteral("(no microphone)");
    Console::out(lines.join(QLatin1Char('\n')));
    return Console::Success;
}
