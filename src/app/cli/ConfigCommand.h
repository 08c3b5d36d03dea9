#pragma once

#include <QStringList>

#include <functional>
#include <optional>

class SettingsStore;

// `quillwren config show|set`: the two settings records.
class ConfigCommand
{
public:
    // The ids of the audio server's microphones, none when it did not answer:
    // inputDevice takes one of them (or nothing, the default).
    using InputIds = std::function<std::optional<QList<QByteArray>>()>;

    ConfigCommand(SettingsStore &store, InputIds inputs);

    // args: what follows "config". Returns the exit status.
    int run(const QStringList &args);

private:
    int show();
    int set(const QString &field, const QString &value);

    SettingsStore &m_store;
    InputIds m_inputs;
};
