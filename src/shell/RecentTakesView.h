#pragma once

#include "TakeRecord.h"

#include <QWidget>

#include <functional>

class QLabel;
class QVBoxLayout;

// The newest takes of the history in the status window, newest first, each
// with a button that copies its words (the answer too, for a question): a
// take whose paste went wrong is not lost once the clipboard has changed, and
// a take a clean-up edited copies the words as heard too. A
// take that failed or was cancelled and whose audio is kept has a button
// that sends it again.
class RecentTakesView : public QWidget
{
    Q_OBJECT

public:
    static constexpr int kShown = 20;

    explicit RecentTakesView(QWidget *parent = nullptr);

    // Reads the history file again.
    void refresh();
    // What the retry buttons do.
    void setRetry(std::function<void(const TakeRecord &)> retry) { m_retry = std::move(retry); }

private:
    std::function<void(const TakeRecord &)> m_retry;
    QVBoxLayout *m_rows;
    QLabel *m_empty;
};
