#include "DesktopCommands.h"

#include "Console.h"
#include "DesktopBackend.h"
#include "ScreenCaptureService.h"
#include "TextInputService.h"

#include "Delay.h"

namespace {
// The application that pastes asks this process for the clipboard's text
// after the chord: stay long enough to answer.
constexpr int kServeClipboardMs = 1000;
} // namespace

DesktopCommands::DesktopCommands(DesktopBackend &desktop) : m_desktop(desktop) {}

QCoro::Task<int> DesktopCommands::type(QStringList args)
{
    double delaySeconds = 0;
    const qsizetype flag = args.indexOf(QStringLiteral("--delay"));
    if (flag >= 0) {
        bool ok = false;
        delaySeconds = flag + 1 < args.size() ? args.at(flag + 1).toDouble(&ok) : 0;
        if (!ok || delaySeconds < 0 || delaySeconds > 3600) {
            Console::err(QStringLiteral("usage: quillwren type \"TEXT\" [--delay SECONDS]  (a delay of 0 to 3600 s)"));
            co_return Console::UsageError;
        }
        args.remove(flag, 2);
    }
    if (args.size() != 1) {
        Console::err(QStringLiteral("usage: quillwren type \"TEXT\" [--delay SECONDS]"));
        co_return Console::UsageError;
    }
    if (!m_desktop.canPaste()) {
        Console::err(QStringLiteral("quillwren: this desktop takes no synthetic keys (no X11 display with XTest); "
                                    "nothing was typed"));
        co_return Console::Failure;
    }
    if (delaySeconds > 0)
        co_await delay(std::chrono::milliseconds(qint64(delaySeconds * 1000)));
    TextInputService input(m_desktop);
    co_await input.insertTextIntoFocusedApp(args.first());
    co_await delay(std::chrono::milliseconds(kServeClipboardMs));
    co_return Console::Success;
}

QCoro::Task<int> DesktopCommands::capture(QStringList args)
{
    const bool toStdout = args == QStringList{QStringLiteral("--base64")};
    const bool toFile = args.size() == 2 && args.first() == QLatin1String("-o") && !args.at(1).isEmpty();
    if (!toStdout && !toFile) {
        Console::err(QStringLiteral("usage: quillwren capture -o FILE.jpg | quillwren capture --base64"));
        co_return Console::UsageError;
    }
    ScreenCaptureService capture(m_desktop);
    const std::optional<QString> base64 = co_await capture.captureFocusedScreenAsBase64Async(
        ScreenCaptureService::kReplyMaxDimension, ScreenCaptureService::kReplyJpegQuality);
    if (!base64) {
        Console::err(QStringLiteral("quillwren: the focused screen could not be captured"));
        co_return Console::Failure;
    }
    if (toStdout) {
        Console::out(*base64);
        co_return Console::Success;
    }
    co_return Console::writeResultFile(args.at(1), QByteArray::fromBase64(base64->toLatin1()));
}
