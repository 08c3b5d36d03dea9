#include "TTSVoiceOption.h"

const QList<TTSVoiceOption> &TTSVoiceOption::all()
{
    static const QList<TTSVoiceOption> voices = [] {
        const QString language = QStringLiteral("普通话、英语");
        return QList<TTSVoiceOption>{
            {QStringLiteral("longanyang"), QStringLiteral("阳光男生"), language},
            {QStringLiteral("longanhuan"), QStringLiteral("活泼开朗女生"), language},
            {QStringLiteral("longyingxun_v3"), QStringLiteral("年轻温婉男生"), language},
            {QStringLiteral("longyingjing_v3"), QStringLiteral("低调沉稳女声"), language},
            {QStringLiteral("longyingling_v3"), QStringLiteral("温柔共情女声"), language},
            {QStringLiteral("longyingtao_v3"), QStringLiteral("温和沉稳女声"), language},
        };
    }();
    return voices;
}
