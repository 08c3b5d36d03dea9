#include "BffReplyPipeline.h"

#include "Delay.h"
#include "Log.h"
#include "ModelService.h"
#include "Prompts.h"
#include "ScreenCaptureService.h"
#include "TextInputService.h"
#include "UserText.h"

#include <QElapsedTimer>

BffReplyPipeline::BffReplyPipeline(ModelService &service, ScreenCaptureService &capture,
                                   TextInputService &input, Scheduler &scheduler)
    : m_service(service), m_capture(capture), m_input(input), m_scheduler(scheduler)
{
}

QCoro::Task<RunEnding> BffReplyPipeline::run(AppConfig config, StatusSink status)
{
    QElapsedTimer started;
    started.start();
    m_lastDraft.clear();
    m_lastDraftMs = -1;
    co_await delay(m_scheduler, kPauseBeforeCapture);
    const std::optional<QString> base64 = co_await m_capture.captureFocusedScreenAsBase64Async(
        ScreenCaptureService::kReplyMaxDimension, ScreenCaptureService::kReplyJpegQuality);
    if (!base64)
        co_return RunEnding::failed(
            UserText::of(QT_TRANSLATE_NOOP("UserText", "截屏失败，请在系统设置中授予屏幕录制权限")));
    if (base64->size() <= kSmallCaptureChars) {
        Log::line(QStringLiteral("⚠️ [BFF] 截图数据过小 (%1 字符)，可能是黑屏，请检查屏幕录制权限").arg(base64->size()));
    }
    status(UserText::of(QT_TRANSLATE_NOOP("UserText", "正在分析聊天内容...")));
    const Result<QString> reply = co_await m_service.analyzeChatScreenshot(*base64, config, Prompts::bffSystemPrompt());
    if (!reply) {
        Log::line(QStringLiteral("❌ [BFF] 分析失败：") + reply.error().description);
        co_return RunEnding::failed(
            UserText::of(QT_TRANSLATE_NOOP("UserText", "分析失败：%1")).arg(reply.error().description));
    }
    Log::line(QStringLiteral("💕 [BFF] 生成回复：") + reply.value().left(100));
    m_lastDraft = reply.value();
    m_lastDraftMs = started.elapsed();
    status(UserText::of(QT_TRANSLATE_NOOP("UserText", "正在输入回复...")));
    const bool pasted = co_await m_input.insertTextIntoFocusedApp(reply.value(), config.restoreClipboard);
    if (!pasted) {
        // The keystroke could not be sent: the reply waits on the clipboard.
        co_return RunEnding::onClipboard(reply.value());
    }
    co_return RunEnding::done(UserText::of(QT_TRANSLATE_NOOP("UserText", "BFF 回复已输入")));
}
