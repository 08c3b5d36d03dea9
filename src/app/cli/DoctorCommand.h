#pragma once

#include "AppConfig.h"
#include "ServiceCheck.h"

#include <QStringList>

#include <QCoroTask>

class Application;

// `quillwren doctor`: the session, then one line per capability (the
// backend, whether it works, the fix for what does not) as this process
// finds them, then what the running instance uses when one runs, then
// whether the model service takes the stored key (a bounded check that
// spends no tokens), and, where another server speaks the answers, whether
// it answers, takes its host's key and knows the model. Exit status 0 when the mode keys and the paste
// keystroke work, 1 otherwise.
class DoctorCommand
{
public:
    explicit DoctorCommand(Application &application);

    QCoro::Task<int> run(QStringList args);

private:
    // The "service: ..." line.
    QCoro::Task<QString> serviceLine();
    // The "speech (openai, URL): ..." line; empty while the service speaks.
    QCoro::Task<QString> speechLine();
    static QString speechVerdict(const AppConfig &config, const QString &host, const QString &key,
                                 const ServiceCheck::Result &result);

    Application &m_application;
};
