#pragma once

#include <QStringList>

#include <QCoroTask>

class DashScopeAPIService;
class SettingsStore;

// `quillwren ask|speak|reply|cleanup`: one request to the model service each, with the
// stored settings and key. Their results go to standard output, their log
// lines to standard error.
class ModelCommands
{
public:
    ModelCommands(DashScopeAPIService &service, SettingsStore &settings);

    // Streams the answer to a question as it arrives.
    QCoro::Task<int> ask(QStringList args);
    // Writes the synthesised MP3 of a text: speak TEXT -o FILE.
    QCoro::Task<int> speak(QStringList args);
    // Prints the reply the vision model drafts for a screenshot: reply --image FILE.
    QCoro::Task<int> reply(QStringList args);
    // Prints what dictation would type for the words with the clean-up at the
    // level (the stored one, light when that is off): the edit, or the words
    // as heard with the reason on standard error. cleanup [--level L] TEXT.
    QCoro::Task<int> cleanup(QStringList args);

private:
    DashScopeAPIService &m_service;
    SettingsStore &m_settings;
};
