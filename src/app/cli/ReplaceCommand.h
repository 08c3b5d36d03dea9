#pragma once

#include <QStringList>

class SettingsStore;

// `quillwren replace add FROM TO | list | remove FROM`: the fixed
// corrections applied to dictated text and to the chat's question.
class ReplaceCommand
{
public:
    explicit ReplaceCommand(SettingsStore &store);

    // args: what follows "replace". Returns the exit status.
    int run(const QStringList &args);

private:
    SettingsStore &m_store;
};
