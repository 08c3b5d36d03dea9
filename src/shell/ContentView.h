#pragma once

#include <QWidget>

class AppViewModel;
class QLabel;
class QProgressBar;

// The status window: what the assistant is doing now (working, its last
// message, or ready), how to use the three modes, and a reminder while no
// API key is configured. Hidden at start; the tray icon shows it.
class ContentView : public QWidget
{
    Q_OBJECT

public:
    explicit ContentView(AppViewModel &viewModel, QWidget *parent = nullptr);

    // The status line as shown: "正在处理...", the message, or "就绪".
    QString statusText() const;
    bool showsMissingKey() const;

private:
    void showStatus();

    AppViewModel &m_viewModel;
    QProgressBar *m_progress;
    QLabel *m_status;
    QWidget *m_missingKey;
};
