#include "TranscribeCommand.h"

#include "AudioInputWatcher.h"
#include "Console.h"
#include "InterruptWatcher.h"
#include "KeychainManager.h"
#include "MicrophoneCapture.h"
#include "PlatformFactory.h"
#include "RealtimeASRService.h"
#include "SettingsStore.h"
#include "WavFileCapture.h"

#include <QSocketNotifier>
#include <QTimer>

#include <QCoroSignal>

#include <unistd.h>

TranscribeCommand::TranscribeCommand(SettingsStore &settings) : m_settings(settings) {}

namespace {
int usage()
{
    Console::err(QStringLiteral("usage: quillwren transcribe --input FILE.wav [--fast] [--partial]\n"
                                "       quillwren transcribe --mic [--seconds N] [--partial]   (Enter or Ctrl+C stops)"));
    return Console::UsageError;
}

// Resolves when the user presses Enter, closes standard input, or interrupts.
class StopRequest : public QObject
{
    Q_OBJECT
public:
    explicit StopRequest(int seconds)
    {
        if (seconds > 0) {
            QTimer::singleShot(seconds * 1000, this, &StopRequest::requested);
            return;
        }
        m_stdin = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, this);
        connect(m_stdin, &QSocketNotifier::activated, this, [this] {
            char byte = 0;
            if (::read(STDIN_FILENO, &byte, 1) <= 0 || byte == '\n')
                Q_EMIT requested();
        });
        connect(&m_interrupt, &InterruptWatcher::interrupted, this, &StopRequest::requested);
    }
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
    std::unique_ptr<AudioInputWatcher> inputWatcher; // declared first: the capture uses it to the end
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
        inputWatcher = PlatformFactory::createAudioInputWatcher();
        capture = std::make_unique<MicrophoneCapture>(inputWatcher.get());
        micSeconds = seconds;
    } else {
        co_return usage();
    }
    RealtimeASRService asr([] { return KeychainManager::shared().read(); }, *capture);
    if (partial) {
        QObject::connect(&asr, &RealtimeASRService::currentTranscriptChanged,
                         [](const QString &text) { Console::err(QStringLiteral("… ") + text); });
    }
    const AppConfig config = m_settings.loadAppConfig();
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
        if (micSeconds == 0)
            Console::err(QStringLiteral("Recording… press Enter (or Ctrl+C) to stop."));
        co_await qCoro(stop.get(), &StopRequest::requested);
    }
    co_await asr.stopRecognition();
    if (asr.recordingState().isError()) {
        Console::err(QStringLiteral("quillwren: ") + asr.recordingState().errorMessage());
        co_return Console::Failure;
    }
    Console::out(asr.finalTranscript());
    co_return Console::Success;
}

#include "TranscribeCommand.moc"
