#include "VoiceInputPipeline.h"

#include "Log.h"
#include "TextInputService.h"
#include "UserText.h"

QCoro::Task<RunEnding> VoiceInputPipeline::run(QString text, bool restoreClipboard)
{
    Log::line(QStringLiteral("🎤 [语音输入] 开始处理，识别文本：\"%1\"").arg(text.left(100)));
    Log::line(QStringLiteral("⌨️ [语音输入] 开始注入文本..."));
    // Awaited into a local first: g++ 12 miscompiles a co_await of a call with
    // a temporary argument inside an if condition (the caller's frame is lost).
    const bool pasted = co_await m_textInput.insertTextIntoFocusedApp(text, restoreClipboard);
    if (!pasted) {
        // The keystroke could not be sent: say where the words are.
        Log::line(QStringLiteral("⚠️ [语音输入] 无法模拟粘贴，文本已在剪贴板"));
        co_return RunEnding::onClipboard(text);
    }
    Log::line(QStringLiteral("✅ [语音输入] 文本注入成功"));
    co_return RunEnding::done(UserText::of(QT_TRANSLATE_NOOP("UserText", "文本已输入")));
}
