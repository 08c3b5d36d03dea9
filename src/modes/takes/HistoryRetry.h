#pragma once

#include "TakeRetry.h"

#include <QList>
#include <QString>

#include <QCoroTask>

#include <optional>

class AppViewModel;

// A take of the history sent again through the controller, its record
// then updated where it stands (never added a second time).
class HistoryRetry
{
public:
    HistoryRetry(AppViewModel &controller, QString historyPath);

    // n as `history` numbers the takes (1: the newest); 0: the newest take
    // that failed or was cancelled and has its audio.
    QCoro::Task<TakeRetry::Outcome> retry(int n);
    QCoro::Task<TakeRetry::Outcome> retry(TakeRecord record);

    // The take n stands for among the records (newest first), or why none.
    static std::optional<TakeRecord> pick(const QList<TakeRecord> &newestFirst, int n, QString *why);

private:
    AppViewModel &m_controller;
    QString m_historyPath;
};
