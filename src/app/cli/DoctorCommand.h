#pragma once

#include <QStringList>

class Application;

// `quillwren doctor`: the session, then one line per capability (the
// backend, whether it works, the fix for what does not) as this process
// finds them, then what the running instance uses when one runs. Exit
// status 0 when the mode keys and the paste keystroke work, 1 otherwise.
class DoctorCommand
{
public:
    explicit DoctorCommand(Application &application);

    int run(const QStringList &args);

private:
    Application &m_application;
};
