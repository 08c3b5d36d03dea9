#pragma once

#include "AppConfig.h"
#include "RetryHost.h"
#include "ServiceError.h"
#include "TakeRecord.h"

#include <QByteArray>
#include <QString>

#include <QCoroTask>

#include <functional>
#include <memory>
#include <optional>

class AudioCapture;
class SpeechRecognizer;
struct RunEnding;

// A kept take sent again, as a run of its host's (the mode controller): its audio
// is played into a recogniser of its own, paced as it was spoken, and the
// transcript finishes the take as its mode would, except that dictated text
// goes to the clipboard (whatever window has the focus now is not the one
// it was meant for) and the chat assistant answers aloud.
class TakeRetry
{
public:
    // The recogniser the settings name, on the kept audio.
    using RecognizerFactory = std::function<std::unique_ptr<SpeechRecognizer>(AudioCapture &, const AppConfig &)>;

    struct Outcome
    {
        // The take's record as it now stands (its audio still named when it
        // is kept); nothing when the retry could not run at all.
        std::optional<TakeRecord> record;
        bool succeeded = false;
        // The status it ended with, or why it could not run.
        QString status;
    };

    // The host and the factory must outlive the retry.
    TakeRetry(RetryHost &host, const RecognizerFactory &recognizers) : m_host(host), m_recognizers(recognizers) {}

    QCoro::Task<Outcome> run(TakeRecord record);

    // The transcript (empty when nothing was recognised), or why there is none.
    static QCoro::Task<Result<QString>> recognize(RecognizerFactory factory, QByteArray pcm, AppConfig config);

private:
    // The mode's ending for the transcript.
    QCoro::Task<RunEnding> finish(TakeRecord &record, const QString &text, const AppConfig &config);

    RetryHost &m_host;
    const RecognizerFactory &m_recognizers;
};
