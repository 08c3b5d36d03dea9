#include "ModelCommands.h"

#include "Console.h"
#include "DashScopeAPIService.h"
#include "DictationCleanup.h"
#include "ImageEncoding.h"
#include "Prompts.h"
#include "Scheduler.h"
#include "ScreenCaptureService.h"
#include "SettingsStore.h"
#include "UserText.h"
#include "null/NullDesktopBackend.h"

#include <QImageReader>

namespace {
int failed(const ServiceError &error)
{
    Console::err(QStringLiteral("quillwren: ") + error.description);
    return Console::Failure;
}

int usage(const char *text)
{
    Console::err(QStringLiteral("usage: quillwren ") + QLatin1String(text));
    return Console::UsageError;
}
} // namespace

ModelCommands::ModelCommands(DashScopeAPIService &service, SettingsStore &settings)
    : m_service(service), m_settings(settings)
{
}

QCoro::Task<int> ModelCommands::ask(QStringList args)
{
    if (args.size() != 1 || args.first().trimmed().isEmpty())
        co_return usage("ask \"QUESTION\"");
    auto stream = m_service.streamChat({{QStringLiteral("user"), args.first()}}, Prompts::chatSystemPrompt(),
                                       m_settings.loadAppConfig());
    bool any = false;
    while (const auto increment = co_await stream->next()) {
        Console::outPiece(*increment);
        any = true;
    }
    if (any)
        Console::outPiece(QStringLiteral("\n"));
    if (stream->error())
        co_return failed(*stream->error());
    co_return Console::Success;
}

QCoro::Task<int> ModelCommands::speak(QStringList args)
{
    const qsizetype flag = args.indexOf(QStringLiteral("-o"));
    if (args.size() != 3 || flag < 0 || flag == 2 || args.at(flag + 1).isEmpty())
        co_return usage("speak \"TEXT\" -o FILE.mp3");
    const QString path = args.at(flag + 1);
    args.remove(flag, 2);
    const QString text = args.first();
    if (text.trimmed().isEmpty())
        co_return usage("speak \"TEXT\" -o FILE.mp3  (the text is empty)");

    const Result<QByteArray> clip = co_await m_service.synthesizeSpeech(text, m_settings.loadAppConfig());
    if (!clip)
        co_return failed(clip.error());
    co_return Console::writeResultFile(path, clip.value());
}

QCoro::Task<int> ModelCommands::reply(QStringList args)
{
    if (args.size() != 2 || args.first() != QLatin1String("--image"))
        co_return usage("reply --image FILE  (PNG or JPEG)");
    QImageReader reader(args.at(1));
    reader.setAutoTransform(true);
    const QImage image = reader.read();
    if (image.isNull()) {
        Console::err(QStringLiteral("quillwren: cannot read %1 as an image: %2").arg(args.at(1), reader.errorString()));
        co_return Console::UsageError;
    }
    // Scaled and encoded as a screen capture would be.
    const auto base64 = ImageEncoding::jpegBase64(
        ImageEncoding::resizeImage(image, ScreenCaptureService::kReplyMaxDimension), ScreenCaptureService::kReplyJpegQuality);
    if (!base64) {
        Console::err(QStringLiteral("quillwren: cannot encode %1 as JPEG").arg(args.at(1)));
        co_return Console::Failure;
    }
    const Result<QString> answer =
        co_await m_service.analyzeChatScreenshot(*base64, m_settings.loadAppConfig(), Prompts::bffSystemPrompt());
    if (!answer)
        co_return failed(answer.error());
    Console::out(answer.value());
    co_return Console::Success;
}

QCoro::Task<int> ModelCommands::cleanup(QStringList args)
{
    AppConfig config = m_settings.loadAppConfig();
    if (config.dictationCleanup == QLatin1String("off"))
        config.dictationCleanup = QStringLiteral("light");
    const qsizetype flag = args.indexOf(QStringLiteral("--level"));
    if (flag >= 0) {
        if (flag + 1 >= args.size() || !AppConfig::dictationCleanupLevels().contains(args.at(flag + 1))
            || args.at(flag + 1) == QLatin1String("off"))
            co_return usage("cleanup [--level light|full] \"TEXT\"");
        config.dictationCleanup = args.at(flag + 1);
        args.remove(flag, 2);
    }
    if (args.size() != 1 || args.first().trimmed().isEmpty())
        co_return usage("cleanup [--level light|full] \"TEXT\"");
    // No window here: nothing is skipped for being a terminal.
    NullDesktopBackend desktop;
    QObject context;
    QtScheduler scheduler(&context);
    DictationCleanup cleanup(m_service, desktop, scheduler);
    const DictationCleanup::Outcome outcome = co_await cleanup.run(args.first(), config, [](const QString &) {});
    Console::out(outcome.text);
    if (!outcome.fallback.isEmpty())
        Console::err(QStringLiteral("quillwren: typed as heard: ") + UserText::shown(outcome.fallback));
    co_return Console::Success;
}
