#include "TranscribeCommand.h"

#include "Console.h"
#include "KeychainManager.h"
#include "RealtimeASRService.h"
#include "SettingsStore.h"
#include "WavFileCapture.h"

#include <QCoroSignal>

TranscribeCommand::TranscribeCommand(SettingsStore &settings) : m_settings(settings) {}

QCoro::Task<int> TranscribeCommand::run(QStringList args)
{
    const bool fast = args.removeAll(QStringLiteral("--fast")) > 0;
    const bool partial = args.removeAll(QStringLiteral("--partial")) > 0;
    if (args.size() != 2 || args.first() != QLatin1String("--input")) {
        Console::err(QStringLiteral("usage: quillwren transcribe --input FILE.wav [--fast] [--partial]"));
        co_return Console::UsageError;
    }
    WavFileCapture file(args.at(1), fast);
    if (!file.error().isEmpty()) {
        Console::err(QStringLiteral("quillwren: ") + file.error());
        co_return Console::UsageError;
    }
    RealtimeASRService asr([] { return KeychainManager::shared().read(); }, file);
    if (partial) {
        QObject::connect(&asr, &RealtimeASRService::currentTranscriptChanged,
                         [](const QString &text) { Console::err(QStringLiteral("… ") + text); });
    }
    const AppConfig config = m_settings.loadAppConfig();
    if (const VoidResult connected = co_await asr.connect(config); !connected) {
        Console::err(QStringLiteral("quillwren: ") + connected.error().description);
        co_return Console::Failure;
    }
    // Listen for the end before the file starts playing.
    auto ended = qCoro(&file, &WavFileCapture::finished);
    if (const VoidResult started = co_await asr.startRecognition(config); !started) {
        Console::err(QStringLiteral("quillwren: ") + started.error().description);
        co_return Console::Failure;
    }
    co_await std::move(ended);
    co_await asr.stopRecognition();
    if (asr.recordingState().isError()) {
        Console::err(QStringLiteral("quillwren: ") + asr.recordingState().errorMessage());
        co_return Console::Failure;
    }
    Console::out(asr.finalTranscript());
    co_return Console::Success;
}
