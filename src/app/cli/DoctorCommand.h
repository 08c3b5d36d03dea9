#pragma once

#include <QStringList>

#include <QCoroTask>

class Application;

// `quillwren doctor`: the session, then one line per capability (the
// backend, whether it works, the fix for what does not) as this process
// finds them, then what the running instance uses when one runs, then
// whether the model service takes the stored key (a bounded check that
// spends no tokens). Exit status 0 when the mode keys and the paste
// keystroke work, 1 otherwise.
class DoctorCommand
{
public:
    explicit DoctorCommand(Application &application);

    QCoro::Task<int> run(QStringList args);

private:
    // The "service: ..." line.
    QCoro::Task<QString> serviceLine();

    Application &m_application;
};
