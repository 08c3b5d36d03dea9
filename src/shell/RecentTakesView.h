#pragma once

#include <QWidget>

class QLabel;
class QVBoxLayout;

// The newest takes of the history in the status window, newest first, each
// with a button that copies its words (the answer too, for a question): a
// take whose paste went wrong is not lost once the clipboard has changed.
class RecentTakesView : public QWidget
{
    Q_OBJECT

public:
    static constexpr int kShown = 20;

    explicit RecentTakesView(QWidget *parent = nullptr);

    // Reads the history file again.
    void refresh();

private:
    QVBoxLayout *m_rows;
    QLabel *m_empty;
};
