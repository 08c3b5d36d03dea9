#include "StandinClient.h"

namespace {

const QString kSynthesisTask = QStringLiteral("0123456789abcdef0123456789abcdef");

// Sample rate of the first MPEG audio frame: 22050 for MPEG-2 layer III index 0.
int mp3SampleRate(const QByteArray &mp3)
{
    qsizetype i = 0;
    if (mp3.startsWith("ID3") && mp3.size() > 10)
        i = 10 + ((mp3[6] & 0x7F) << 21 | (mp3[7] & 0x7F) << 14 | (mp3[8] & 0x7F) << 7 | (mp3[9] & 0x7F));
    for (; i + 3 < mp3.size(); ++i) {
        const auto b1 = uchar(mp3[i + 1]), b2 = uchar(mp3[i + 2]);
        if (uchar(mp3[i]) != 0xFF || (b1 & 0xE0) != 0xE0)
            continue;
        static const int mpeg1[] = {44100, 48000, 32000};
        static const int mpeg2[] = {22050, 24000, 16000};
        const int index = (b2 >> 2) & 3;
        if (index == 3)
            continue;
        return (b1 & 0x18) == 0x18 ? mpeg1[index] : mpeg2[index];
    }
    return 0;
}

class StandinSynthesis : public StandinFixture
{
protected:
    QByteArray synthesise(const QString &text)
    {
        WsClient client(server, key());
        client.sendJson(Frames::synthesisRunTask(kSynthesisTask));
        EXPECT_FALSE(client.waitForEvent(QStringLiteral("task-started")).isEmpty());
        client.sendJson(Frames::continueTask(kSynthesisTask, text));
        client.sendJson(Frames::finishTask(kSynthesisTask));
        EXPECT_FALSE(client.waitForEvent(QStringLiteral("task-finished")).isEmpty());
        return client.binary;
    }
};

TEST_F(StandinSynthesis, TextBecomesMp3At22050HzThatGrowsWithTheText)
{
    useScenario(R"({"synthesis":{"chunkBytes":1000}})");
    const QByteArray shortClip = synthesise(QStringLiteral("你好。"));
    const QByteArray longClip = synthesise(QStringLiteral("这是一个长得多的句子，用来检查音频的长度会随着文字变长。"));
    EXPECT_EQ(mp3SampleRate(shortClip), 22050);
    EXPECT_GT(longClip.size(), 2 * shortClip.size());
    EXPECT_EQ(server.recorder().recordsOfKind(QStringLiteral("tts-audio"))[1][QStringLiteral("bytes")].toInt(), longClip.size());
}

TEST_F(StandinSynthesis, TheSevenParametersAreCheckedByTypeAndValue)
{
    const QList<std::pair<QString, QJsonObject>> cases{
        {QStringLiteral("payload.parameters.rate must be a number"), {{QStringLiteral("rate"), QStringLiteral("1.0")}}},
        {QStringLiteral("payload.parameters.sample_rate must be 22050"), {{QStringLiteral("sample_rate"), 16000}}},
        {QStringLiteral("payload.parameters.volume must be an integer"), {{QStringLiteral("volume"), 50.5}}},
        {QStringLiteral("payload.parameters.format must be \"mp3\""), {{QStringLiteral("format"), QStringLiteral("wav")}}},
        {QStringLiteral("payload.parameters.text_type must be a string"), {{QStringLiteral("text_type"), true}}},
    };
    WsClient client(server, key());
    for (const auto &[expected, change] : cases) {
        QJsonObject frame = Frames::synthesisRunTask(kSynthesisTask);
        QJsonObject payload = frame[QStringLiteral("payload")].toObject();
        QJsonObject parameters = payload[QStringLiteral("parameters")].toObject();
        for (auto it = change.begin(); it != change.end(); ++it)
            parameters[it.key()] = it.value();
        payload[QStringLiteral("parameters")] = parameters;
        frame[QStringLiteral("payload")] = payload;
        client.sendJson(frame);
        EXPECT_EQ(client.waitForEvent(QStringLiteral("task-failed"))[QStringLiteral("header")][QStringLiteral("error_message")].toString(),
                  expected);
    }
    QJsonObject frame = Frames::synthesisRunTask(kSynthesisTask);
    QJsonObject payload = frame[QStringLiteral("payload")].toObject();
    QJsonObject parameters = payload[QStringLiteral("parameters")].toObject();
    parameters.remove(QStringLiteral("pitch"));
    payload[QStringLiteral("parameters")] = parameters;
    frame[QStringLiteral("payload")] = payload;
    client.sendJson(frame);
    EXPECT_EQ(client.waitForEvent(QStringLiteral("task-failed"))[QStringLiteral("header")][QStringLiteral("error_message")].toString(),
              QStringLiteral("payload.parameters.pitch is missing"));
}

TEST_F(StandinSynthesis, TextBeforeTheStartAndAudioFromTheClientFailTheTask)
{
    useScenario(R"({"synthesis":{"startDelayMs":200}})");
    WsClient client(server, key());
    client.sendJson(Frames::synthesisRunTask(kSynthesisTask));
    client.sendJson(Frames::continueTask(kSynthesisTask, QStringLiteral("太早了")));
    EXPECT_EQ(client.waitForEvent(QStringLiteral("task-failed"))[QStringLiteral("header")][QStringLiteral("error_message")].toString(),
              QStringLiteral("continue-task before task-started"));

    client.sendJson(Frames::synthesisRunTask(kSynthesisTask));
    ASSERT_FALSE(client.waitForEvent(QStringLiteral("task-started")).isEmpty());
    client.sendBinary("not for a tts task");
    EXPECT_EQ(client.waitForEvent(QStringLiteral("task-failed"))[QStringLiteral("header")][QStringLiteral("error_message")].toString(),
              QStringLiteral("binary frames are not accepted by a tts task"));
}

} // namespace
