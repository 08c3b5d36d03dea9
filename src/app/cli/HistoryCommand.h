#pragma once

#include <QStringList>

class TakeHistory;

// `quillwren history [-n N] [--json]`, `quillwren history --raw N` and
// `quillwren history clear`: the takes kept in the history file, newest first.
class HistoryCommand
{
public:
    explicit HistoryCommand(TakeHistory &history);

    // args: what follows "history". Returns the exit status.
    int run(const QStringList &args);

private:
    // The words take N was heard as, before any clean-up.
    int printRaw(const QString &numberText);

    TakeHistory &m_history;
};
