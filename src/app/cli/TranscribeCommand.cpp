#include "TranscribeCommand.h"

#include "Application.h"
#include "Console.h"
#include "HostKeys.h"
#include "InterruptWatcher.h"
#include "MicrophoneCapture.h"
#include "RealtimeASRService.h"
#include "SettingsStore.h"
#include "UploadTranscriber.h"
#include "WavFileCapture.h"

#include <QSocketNotifier>
#include <QTimer>

#include <QCoroSignal>

#include <unistd.h>

TranscribeCommand::TranscribeCommand(Application &application) : m_application(application) {}

namespace {
int usage()
{
    Console::err(QStringLiteral("usage: quillwren transcribe --input FILE.wav [--fast] [--partial]\n"
                                "       quillwren transcribe --mic [--seconds N] [--partial]\n"
                                "         (Enter on a terminal, Ctrl+C or SIGTERM stops)"));
    return Console::UsageError;
}

// Resolves when the time is up, when the user interrupts (Ctrl+C, SIGTERM),
// or, on a terminal, presses Enter or ends the input. Standard input that is
// not a terminal (a script, /dev/null, a service) is not the user: it may end
// at once, and that must not cut the recording short.
class StopRequest : public QObject
{
    Q_OBJECT
public:
    explicit StopRequest(int seconds)
    {
        if (seconds > 0)
            QTimer::singleShot(seconds * 1000, this, &StopRequest::requested);
        if (isatty(STDIN_FILENO)) {
            m_stdin = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, this);
            connect(m_stdin, &QSocketNotifier::activated, this, [this] {
                char byte = 0;
                if (::read(STDIN_FILENO, &byte, 1) <= 0 || byte == '\n')
                    Q_EMIT requested();
            });
        }
        connect(&m_interrupt, &InterruptWatcher::interrupted, this, &StopRequest::requested);
    }

    bool listensToTheTerminal() const { return m_stdin != nullptr; }

Q_SIGNALS:
    void requested();

private:
    QSocketNotifier *m_stdin = nullptr;
    InterruptWatcher m_interrupt;
};
} // namespace

QCoro::Task<int> TranscribeCommand::run(QStringList args)
{
    const bool fast = args.removeAll(QStringLiteral("--fast")) > 0;
    const bool partial = args.removeAll(QStringLiteral("--partial")) > 0;
    std::unique_ptr<AudioCapture> capture;
    std::unique_ptr<StopRequest> stop;
    int micSeconds = 0;
    if (args.size() == 2 && args.first() == QLatin1String("--input")) {
        auto file = std::make_unique<WavFileCapture>(args.at(1), fast);
        if (!file->error().isEmpty()) {
            Console::err(QStringLiteral("quillwren: ") + file->error());
            co_return Console::UsageError;
        }
        capture = std::move(file);
    } else if (!args.isEmpty() && args.first() == QLatin1String("--mic") && (args.size() == 1 || args.size() == 3)) {
        bool ok = true;
        const int seconds = args.size() == 3 && args.at(1) == QLatin1String("--seconds") ? args.at(2).toInt(&ok) : 0;
        if (!ok || seconds < 0 || (args.size() == 3 && args.at(1) != QLatin1String("--seconds")))
            co_return usage();
        capture = m_application.newMicrophone(); // the microphone the takes use
        micSeconds = seconds;
    } else {
        co_return usage();
    }
    const AppConfig config = m_application.settings().loadAppConfig();
    // The recogniser the settings name: the service's, or an upload to another server.
    std::unique_ptr<SpeechRecognizer> recognizer;
    if (config.transcribesByUpload())
        recognizer = std::make_unique<UploadTranscriber>(HostKeys::fromKeyring(), *capture,
                                                         m_application.recognitionTimings().captureTail,
                                                         m_application.timeouts().transcriptionBase);
    else
        recognizer = std::make_unique<RealtimeASRService>(m_application.apiKeyProvider(), *capture,
                                                          m_application.endpoints().recognition(),
                                                          m_application.recognitionTimings());
    SpeechRecognizer &asr = *recognizer;
    if (partial) {
        QObject::connect(&asr, &SpeechRecognizer::currentTranscriptChanged,
                         [](const QString &text) { Console::err(QStringLiteral("… ") + text); });
    }
    if (const VoidResult connected = co_await asr.connect(config); !connected) {
        Console::err(QStringLiteral("quillwren: ") + connected.error().description);
        co_return Console::Failure;
    }
    // A file ends by itself: listen for that before it starts playing.
    auto *file = qobject_cast<WavFileCapture *>(capture.get());
    std::optional<QCoro::Task<std::optional<std::tuple<>>>> fileEnded;
    if (file)
        fileEnded.emplace(qCoro(file, &WavFileCapture::finished, std::chrono::milliseconds(-1)));
    if (const VoidResult started = co_await asr.startRecognition(config); !started) {
        Console::err(QStringLiteral("quillwren: ") + started.error().description);
        co_return Console::Failure;
    }
    if (fileEnded) {
        co_await std::move(*fileEnded);
    } else {
        // The microphone records from now on, for the given time or until the user stops it.
        stop = std::make_unique<StopRequest>(micSeconds);
        if (micSeconds > 0)
            Console::err(QStringLiteral("Recording for %1 s… (Ctrl+C stops sooner)").arg(micSeconds));
        else if (stop->listensToTheTerminal())
            Console::err(QStringLiteral("Recording… press Enter (or Ctrl+C) to stop."));
        else
            Console::err(QStringLiteral("Recording… Ctrl+C or SIGTERM stops."));
        co_await qCoro(stop.get(), &StopRequest::requested);
    }
    co_await asr.stopRecognition();
    const auto *realtime = qobject_cast<RealtimeASRService *>(&asr);
    const QString failure = realtime && realtime->recordingState().isError() ? realtime->recordingState().errorMessage()
                                                                             : asr.failure();
    if (!failure.isEmpty()) {
        Console::err(QStringLiteral("quillwren: ") + failure);
        co_return Console::Failure;
    }
    if (asr.finalTranscript().isEmpty()) {
        Console::err(QStringLiteral("quillwren: nothing was recognised (the transcript is empty)"));
        co_return Console::Failure;
    }
    Console::out(asr.finalTranscript());
    co_return Console::Success;
}

#include "TranscribeCommand.moc"
