#pragma once

#include "AudioInputWatcher.h"

#include <QStringList>

#include <optional>

// `quillwren devices`: the microphones of the audio server, the chosen one
// (the inputDevice setting) marked, and the server's default named.
class DevicesCommand
{
public:
    // How long the audio server has to list its inputs.
    static constexpr int kListTimeoutMs = 3000;

    DevicesCommand(AudioInputWatcher &watcher, QByteArray chosen);

    int run(const QStringList &args);

    // The server's microphones once it has listed them; none when it did not
    // answer in time. Runs the event loop meanwhile.
    static std::optional<QList<AudioInputWatcher::Input>> listInputs(AudioInputWatcher &watcher);
    // Their ids alone.
    static std::optional<QList<QByteArray>> listInputIds(AudioInputWatcher &watcher);

private:
    AudioInputWatcher &m_watcher;
    QByteArray m_chosen;
};
