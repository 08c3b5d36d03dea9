#pragma once

#include <QStringList>

class SettingsStore;

// `quillwren config show|set`: the two settings records.
class ConfigCommand
{
public:
    explicit ConfigCommand(SettingsStore &store);

    // args: what follows "config". Returns the exit status.
    int run(const QStringList &args);

private:
    int show();
    int set(const QString &field, const QString &value);

    SettingsStore &m_store;
};
