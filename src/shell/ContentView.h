#pragma once

#include "HistoryRetry.h"

#include <QStringList>
#include <QWidget>

#include <QCoroTask>

#include <functional>

class AppViewModel;
class QLabel;
class QProgressBar;
class RecentTakesView;

// The status window: what the assistant is doing now (working, its last
// message, or ready), what of the desktop works here, how to use the three
// modes, the newest takes to copy again (and the failed ones to send
// again), a reminder while no API key is
// configured, and what is amiss with the chosen microphone. Hidden at start; the
// tray icon shows it.
class ContentView : public QWidget
{
    Q_OBJECT

public:
    // capabilities: one line per capability of the desktop, asked afresh
    // each time the window is shown.
    explicit ContentView(AppViewModel &viewModel, std::function<QStringList()> capabilities = {},
                         QWidget *parent = nullptr);

    // The status line as shown: "正在处理...", the message, or "就绪".
    QString statusText() const;
    bool showsMissingKey() const;
    // The capability lines as shown.
    QString capabilitiesText() const;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void showStatus();
    // Grows the window to what its contents need at its width.
    void fitContents();
    QCoro::Task<> retry(TakeRecord take);

    AppViewModel &m_viewModel;
    QProgressBar *m_progress;
    QLabel *m_status;
    std::function<QStringList()> m_capabilityLines;
    QLabel *m_capabilities;
    QWidget *m_missingKey;
    QWidget *m_inputNotice;
    RecentTakesView *m_recent;
    HistoryRetry m_retry;
};
