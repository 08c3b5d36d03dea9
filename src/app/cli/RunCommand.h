#pragma once

#include <QStringList>

class Application;
class QCoreApplication;

// `quillwren` or `quillwren run`: the application itself. Holds the mode keys
// until the user quits (`quillwren quit`, Ctrl+C, SIGTERM); one instance per
// session. Log lines go to standard error.
class RunCommand
{
public:
    explicit RunCommand(Application &application);

    int run(QCoreApplication &app, const QStringList &args);

private:
    Application &m_application;
};
