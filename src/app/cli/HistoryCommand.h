#pragma once

#include <QStringList>

class TakeHistory;

// `quillwren history [-n N] [--json]` and `quillwren history clear`: the
// takes kept in the history file, newest first.
class HistoryCommand
{
public:
    explicit HistoryCommand(TakeHistory &history);

    // args: what follows "history". Returns the exit status.
    int run(const QStringList &args);

private:
    TakeHistory &m_history;
};
