#include "TakeStart.h"

#include "Log.h"
#include "SpeechRecognizer.h"
#include "UserText.h"

QCoro::Task<> TakeStart::run(std::shared_ptr<TakeStart> start, SpeechRecognizer &recognizer, AppConfig config,
                             std::function<void(const QString &)> status)
{
    VoidResult result = Ok{};
    if (!recognizer.isWarmedUp() && !recognizer.isWarmingUp())
        result = co_await recognizer.connect(config);
    if (result && !start->m_cancelled)
        result = co_await recognizer.startRecognition(config);
    if (start->m_cancelled) {
        // The take was dropped meanwhile; a start that got through anyway
        // must not leave the microphone open.
        if (result)
            recognizer.cancelRecognition();
        start->m_done.release(false);
        co_return;
    }
    if (result) {
        status(UserText::of(QT_TRANSLATE_NOOP("UserText", "正在聆听...")));
    } else {
        Log::line(QStringLiteral("❌ [实时识别] 启动失败：") + result.error().description);
        start->m_failure
            = UserText::of(QT_TRANSLATE_NOOP("UserText", "实时识别启动失败：%1")).arg(result.error().description);
        status(start->m_failure);
        // What the user goes on saying is kept, to be sent again later.
        recognizer.recordWithoutService();
    }
    start->m_done.release(bool(result));
}

QCoro::Task<bool> TakeStart::started()
{
    co_return co_await m_done;
}
