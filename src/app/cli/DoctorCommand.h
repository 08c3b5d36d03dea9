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
// spends no tokens), and, for each role another server serves (speech,
// transcription), whether it answers, takes its host's key and knows the model. Exit status 0 when the mode keys and the paste
// keystroke work, 1 otherwise.
class DoctorCommand
{
public:
    explicit DoctorCommand(Application &application);

    QCoro::Task<int> run(QStringList args);

private:
    // The "service: ..." line.
    QCoro::Task<QString> serviceLine();
    // A role served by another server: "speech (openai, URL): ..." or
    // "transcription (openai, URL): ...", its key, its model.
    struct OtherServer
    {
        QString role;
        QString baseUrl;
        QString model;
        QString settingPrefix; // "speech": speechBaseURL, speechModel
    };
    QCoro::Task<QString> otherServerLine(OtherServer server);
    static QString verdict(const OtherServer &server, const QString &host, const QString &key,
                           const ServiceCheck::Result &result);

    Application &m_application;
};
