#pragma once

#include <QStringList>

class QCoreApplication;
class Application;

// `quillwren monitor-keys`: runs the hotkey monitor with the stored shortcuts
// and prints what it reports as it happens, until interrupted. Besides the
// monitor's own log lines it prints one line per notification:
//   onKeyDown MODE, onKeyDownCancelled MODE,
//   currentMode MODE (+N ms after the press), currentMode none
// where MODE is voice_input, chat_assistant or bff_reply.
class MonitorKeysCommand
{
public:
    explicit MonitorKeysCommand(Application &application);

    int run(QCoreApplication &app, const QStringList &args);

private:
    Application &m_application;
};
