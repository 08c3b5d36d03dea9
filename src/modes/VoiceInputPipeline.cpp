#include "VoiceInputPipeline.h"

#include "Log.h"
#include "TakeRecorder.h"
#include "TextInputService.h"
#include "TextReplacements.h"
#include "UserText.h"

QCoro::Task<RunEnding> VoiceInputPipeline::run(QString text, AppConfig config, DictationCleanup::StatusSink status)
{
    Log::line(QStringLiteral("🎤 [语音输入] 开始处理，识别文本：\"%1\"").arg(text.left(100)));
    const DictationCleanup::Outcome cleaned = co_await m_cleanup.run(text, config, std::move(status));
    if (cleaned.cancelled)
        co_return RunEnding{RunEnding::Kind::Cancelled, UserText::of(QT_TRANSLATE_NOOP("UserText", "已取消")), {}};
    // The user's own fixes win over the model's.
    const QString typed = cleaned.text == text ? text : TextReplacements::apply(cleaned.text, config.replacements);
    m_take.typed(typed);
    Log::line(QStringLiteral("⌨️ [语音输入] 开始注入文本..."));
    // Awaited into a local first: g++ 12 miscompiles a co_await of a call with
    // a temporary argument inside an if condition (the caller's frame is lost).
    const bool pasted = co_await m_textInput.insertTextIntoFocusedApp(typed, config.restoreClipboard);
    if (!pasted) {
        // The keystroke could not be sent: say where the words are.
        Log::line(QStringLiteral("⚠️ [语音输入] 无法模拟粘贴，文本已在剪贴板"));
        co_return RunEnding::onClipboard(typed);
    }
    Log::line(QStringLiteral("✅ [语音输入] 文本注入成功"));
    if (!cleaned.fallback.isEmpty()) {
        // Typed as heard: the user learns why it was not cleaned up.
        co_return RunEnding::done(UserText::of(QT_TRANSLATE_NOOP("UserText", "文本已输入（未润色：%1）")).arg(cleaned.fallback));
    }
    co_return RunEnding::done(UserText::of(QT_TRANSLATE_NOOP("UserText", "文本已输入")));
}
