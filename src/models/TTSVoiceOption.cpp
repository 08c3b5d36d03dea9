#include "TTSVoiceOption.h"
#include "UserText.h"

const QList<TTSVoiceOption> &TTSVoiceOption::all()
{
    static const QList<TTSVoiceOption> voices = [] {
        const QString language = UserText::of(QT_TRANSLATE_NOOP("UserText", "普通话、英语"));
        return QList<TTSVoiceOption>{
            {QStringLiteral("longanyang"), UserText::of(QT_TRANSLATE_NOOP("UserText", "阳光男生")), language},
            {QStringLiteral("longanhuan"), UserText::of(QT_TRANSLATE_NOOP("UserText", "活泼开朗女生")), language},
            {QStringLiteral("longyingxun_v3"), UserText::of(QT_TRANSLATE_NOOP("UserText", "年轻温婉男生")), language},
            {QStringLiteral("longyingjing_v3"), UserText::of(QT_TRANSLATE_NOOP("UserText", "低调沉稳女声")), language},
            {QStringLiteral("longyingling_v3"), UserText::of(QT_TRANSLATE_NOOP("UserText", "温柔共情女声")), language},
            {QStringLiteral("longyingtao_v3"), UserText::of(QT_TRANSLATE_NOOP("UserText", "温和沉稳女声")), language},
        };
    }();
    return voices;
}
