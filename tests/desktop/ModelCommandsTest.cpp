#include "CommandFixture.h"

#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QJsonArray>
#include <QJsonObject>
#include <QProcess>
#include <QScopeGuard>

namespace {

// `quillwren ask|speak|reply|transcribe --input`.
using ModelCommands = CommandFixture;

TEST_F(ModelCommands, AskStreamsTheAnswerAloneToStandardOutput)
{
    useScenario(R"({"chat":{"answers":{"你好吗？":"我很好，谢谢！"}}})");
    const auto result = run({QStringLiteral("ask"), QStringLiteral("你好吗？")});
    EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
    EXPECT_EQ(result.out, QStringLiteral("我很好，谢谢！\n"));
    EXPECT_TRUE(result.err.contains(QStringLiteral("🤖 [LLM-Stream] 发起流式请求:"))) << "log lines go to standard error";
    const QJsonObject body = server.recorder().recordsOfKind(QStringLiteral("http-request")).last()[QStringLiteral("json")].toObject();
    EXPECT_TRUE(body[QStringLiteral("messages")][0][QStringLiteral("content")].toString().startsWith(QStringLiteral("你是一个友好的语音聊天助手")));
}

TEST_F(ModelCommands, SpeakWritesTheClipAndReplyScalesTheImageAsACaptureWould)
{
    QTemporaryDir dir;
    const QString mp3 = dir.filePath(QStringLiteral("out.mp3"));
    auto spoken = run({QStringLiteral("speak"), QStringLiteral("你好，世界。"), QStringLiteral("-o"), mp3});
    EXPECT_EQ(spoken.exitCode, 0) << spoken.err.toStdString();
    QFile file(mp3);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_GT(file.size(), 1000);

    QImage tall(1000, 3000, QImage::Format_RGB32);
    tall.fill(Qt::white);
    const QString png = dir.filePath(QStringLiteral("chat.png"));
    ASSERT_TRUE(tall.save(png));
    useScenario(R"({"vision":{"reply":"好呀，周六见！"}})");
    const auto replied = run({QStringLiteral("reply"), QStringLiteral("--image"), png});
    EXPECT_EQ(replied.exitCode, 0) << replied.err.toStdString();
    EXPECT_EQ(replied.out, QStringLiteral("好呀，周六见！\n"));
    const QJsonObject image = server.recorder().recordsOfKind(QStringLiteral("image")).last();
    EXPECT_EQ(image[QStringLiteral("width")].toInt(), 640);
    EXPECT_EQ(image[QStringLiteral("height")].toInt(), 1920);
    EXPECT_TRUE(image[QStringLiteral("jpeg")].toBool());
}

TEST_F(ModelCommands, AnOpenAIStyleSpeechServerAndAChatHostGetTheirOwnKeysAlone)
{
    // The speech server is "localhost", the service (and its chat) 127.0.0.1.
    useScenario(R"({"hostKeys":{"localhost":"sk-local-speech-0001","127.0.0.1":"sk-chat-host-0002"},)"
                R"("chat":{"answers":{"你好":"你好呀"}}})");
    const auto set = [&](const char *field, const QString &value) {
        return run({QStringLiteral("config"), QStringLiteral("set"), QString::fromLatin1(field), value}).exitCode;
    };
    // The keyring outlives this test: a host key left behind would change every later chat.
    const auto forget = qScopeGuard([this] {
        for (const char *host : {"localhost", "127.0.0.1"})
            run({QStringLiteral("key"), QStringLiteral("remove"), QStringLiteral("--host"), QString::fromLatin1(host)});
    });
    ASSERT_EQ(set("speechService", QStringLiteral("openai")), 0);
    ASSERT_EQ(set("speechBaseURL", QStringLiteral("http://localhost:%1/v1").arg(server.port())), 0);
    ASSERT_EQ(set("speechModel", QStringLiteral("kokoro")), 0);
    ASSERT_EQ(set("speechVoice", QStringLiteral("af_sky")), 0);
    ASSERT_EQ(run({QStringLiteral("key"), QStringLiteral("set"), QStringLiteral("--host"), QStringLiteral("localhost")},
                  "sk-local-speech-0001\n").exitCode, 0);

    QTemporaryDir dir;
    const QString mp3 = dir.filePath(QStringLiteral("out.mp3"));
    auto spoken = run({QStringLiteral("speak"), QStringLiteral("你好。"), QStringLiteral("-o"), mp3});
    EXPECT_EQ(spoken.exitCode, 0) << spoken.err.toStdString();
    EXPECT_GT(QFileInfo(mp3).size(), 1000);
    const QJsonObject speech = server.recorder().recordsOfKind(QStringLiteral("speech")).last();
    EXPECT_EQ(speech[QStringLiteral("host")].toString(), QStringLiteral("localhost"));
    EXPECT_EQ(speech[QStringLiteral("authorization")].toString(), QStringLiteral("Bearer sk-l****0001"));
    EXPECT_EQ(speech[QStringLiteral("json")][QStringLiteral("voice")].toString(), QStringLiteral("af_sky"));
    EXPECT_EQ(server.recorder().recordsOfKind(QStringLiteral("ws-upgrade")).size(), 0);

    // The chat's host has a key of its own now: that one goes, not the service's.
    auto asked = run({QStringLiteral("ask"), QStringLiteral("你好")});
    EXPECT_EQ(asked.exitCode, 1) << "the service's key is refused on a host that takes only its own";
    ASSERT_EQ(run({QStringLiteral("key"), QStringLiteral("set"), QStringLiteral("--host"), QStringLiteral("127.0.0.1")},
                  "sk-chat-host-0002\n").exitCode, 0);
    asked = run({QStringLiteral("ask"), QStringLiteral("你好")});
    EXPECT_EQ(asked.exitCode, 0) << asked.err.toStdString();
    EXPECT_EQ(asked.out, QStringLiteral("你好呀\n"));

    // A server on this machine with no key stored gets none, and still speaks.
    ASSERT_EQ(run({QStringLiteral("key"), QStringLiteral("remove"), QStringLiteral("--host"), QStringLiteral("localhost")}).exitCode, 0);
    useScenario(R"({"audio":{"keylessHosts":["localhost"]}})");
    spoken = run({QStringLiteral("speak"), QStringLiteral("本机。"), QStringLiteral("-o"), mp3});
    EXPECT_EQ(spoken.exitCode, 0) << spoken.err.toStdString();
    EXPECT_EQ(server.recorder().recordsOfKind(QStringLiteral("speech")).last()[QStringLiteral("authorization")].toString(),
              QString()) << "no key at all, not the service's";
}

TEST_F(ModelCommands, FailuresGiveAMessageAndANonZeroStatus)
{
    useScenario(R"({"chat":{"fault":{"type":"http-error","status":429,"body":"slow down"}}})");
    auto limited = run({QStringLiteral("ask"), QStringLiteral("hi")});
    EXPECT_EQ(limited.exitCode, 1);
    EXPECT_TRUE(limited.err.contains(QStringLiteral("LLM 流式请求失败 (429): slow down")));

    auto badImage = run({QStringLiteral("reply"), QStringLiteral("--image"), QStringLiteral("/nonexistent.png")});
    EXPECT_EQ(badImage.exitCode, 2);
    EXPECT_TRUE(badImage.err.contains(QStringLiteral("cannot read")));
    EXPECT_EQ(run({QStringLiteral("speak"), QStringLiteral("text")}).exitCode, 2);
    EXPECT_EQ(run({QStringLiteral("ask")}).exitCode, 2);

    ASSERT_EQ(run({QStringLiteral("config"), QStringLiteral("set"), QStringLiteral("compatibleBaseURL"),
                   QStringLiteral("http://127.0.0.1:1/compatible-mode/v1")}).exitCode, 0);
    auto unreachable = run({QStringLiteral("ask"), QStringLiteral("hi")});
    EXPECT_EQ(unreachable.exitCode, 1);
    EXPECT_FALSE(unreachable.err.isEmpty());

    QProcessEnvironment noBus = env;
    noBus.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("unix:path=/nonexistent"));
    env = noBus;
    auto noKey = run({QStringLiteral("speak"), QStringLiteral("你好"), QStringLiteral("-o"), home.filePath(QStringLiteral("x.mp3"))});
    EXPECT_EQ(noKey.exitCode, 1);
    EXPECT_TRUE(noKey.err.contains(QStringLiteral("请先配置 API Key")));
    EXPECT_FALSE(QFile::exists(home.filePath(QStringLiteral("x.mp3"))));
}

TEST_F(ModelCommands, TranscribeSendsAWavFileAsMicrophoneAudioAndPrintsTheTranscript)
{
    useScenario(R"({"recognition":{"sentences":["第一句。","第二句。"],"audioMsPerResult":100}})");
    QTemporaryDir dir;
    const QString wav = writeTone(dir.filePath(QStringLiteral("tone.wav")), 44100, 2, 1.0);
    const auto result = run({QStringLiteral("transcribe"), QStringLiteral("--input"), wav, QStringLiteral("--fast")});
    EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
    EXPECT_EQ(result.out, QStringLiteral("第一句。第二句。\n"));
    const auto audio = server.recorder().recordsOfKind(QStringLiteral("audio"));
    ASSERT_EQ(audio.size(), 1);
    EXPECT_NEAR(audio[0][QStringLiteral("dominant_hz")].toDouble(), 440, 1);
    EXPECT_NEAR(audio[0][QStringLiteral("duration_ms")].toDouble(), 1000, 5) << "the whole file, resampled to 16 kHz";
    EXPECT_LT(audio[0][QStringLiteral("max_step")].toDouble(), 0.1) << "no clicks";

    const QString notWav = dir.filePath(QStringLiteral("notes.txt"));
    QFile text(notWav);
    text.open(QIODevice::WriteOnly);
    text.write("not audio");
    text.close();
    for (const QStringList &args : {QStringList{QStringLiteral("transcribe"), QStringLiteral("--input"), notWav},
                                    QStringList{QStringLiteral("transcribe"), QStringLiteral("--input"), dir.filePath(QStringLiteral("missing.wav"))},
                                    QStringList{QStringLiteral("transcribe")}}) {
        const auto bad = run(args);
        EXPECT_EQ(bad.exitCode, 2) << args.join(QLatin1Char(' ')).toStdString();
        EXPECT_FALSE(bad.err.isEmpty());
    }

    // Another transcription server in the settings: the file goes there, whole, and nothing to the service.
    useScenario(R"({"recognition":{"sentences":["另一台服务器。"]},"audio":{"keylessHosts":["localhost"]}})");
    ASSERT_EQ(run({QStringLiteral("config"), QStringLiteral("set"), QStringLiteral("transcriptionService"),
                   QStringLiteral("openai")}).exitCode, 0);
    ASSERT_EQ(run({QStringLiteral("config"), QStringLiteral("set"), QStringLiteral("transcriptionBaseURL"),
                   QStringLiteral("http://localhost:%1/v1").arg(server.port())}).exitCode, 0);
    const qsizetype upgrades = server.recorder().recordsOfKind(QStringLiteral("ws-upgrade")).size();
    const auto uploaded = run({QStringLiteral("transcribe"), QStringLiteral("--input"), wav, QStringLiteral("--fast")});
    EXPECT_EQ(uploaded.exitCode, 0) << uploaded.err.toStdString();
    EXPECT_EQ(uploaded.out, QStringLiteral("另一台服务器。\n"));
    const QJsonObject upload = server.recorder().recordsOfKind(QStringLiteral("transcription")).last();
    EXPECT_NEAR(upload[QStringLiteral("file")][QStringLiteral("bytes")].toInt(), 32000 + 44, 3200) << "the whole second, as WAV";
    EXPECT_EQ(server.recorder().recordsOfKind(QStringLiteral("ws-upgrade")).size(), upgrades);
    // Refused there: the server's words, and a failure status.
    useScenario(R"({"recognition":{"sentences":["x"]}})");
    const auto refused = run({QStringLiteral("transcribe"), QStringLiteral("--input"), wav, QStringLiteral("--fast")});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_TRUE(refused.err.contains(QStringLiteral("转写失败 (401): Incorrect API key provided."))) << refused.err.toStdString();
}

// `quillwren words`: the hot words synced to the service's vocabulary, and
// the run-tasks that name it.
TEST_F(ModelCommands, HotWordsAreSyncedToOneVocabularyThatEveryTakeNames)
{
    const auto customizations = [this] { return server.recorder().recordsOfKind(QStringLiteral("customization")); };
    const auto input = [&](qsizetype i) { return customizations().at(i)[QStringLiteral("json")][QStringLiteral("input")].toObject(); };
    QTemporaryDir dir;
    const QString tone = writeTone(dir.filePath(QStringLiteral("tone.wav")), 16000, 1, 0.5);
    const auto transcribe = [&] {
        return run({QStringLiteral("transcribe"), QStringLiteral("--input"), tone, QStringLiteral("--fast")});
    };

    auto added = run({QStringLiteral("words"), QStringLiteral("add"), QStringLiteral("通义千问")});
    EXPECT_EQ(added.exitCode, 0) << added.err.toStdString();
    ASSERT_EQ(customizations().size(), 1);
    EXPECT_EQ(customizations()[0][QStringLiteral("json")][QStringLiteral("model")].toString(), QStringLiteral("speech-biasing"));
    EXPECT_EQ(input(0)[QStringLiteral("action")].toString(), QStringLiteral("create_vocabulary"));
    EXPECT_EQ(input(0)[QStringLiteral("target_model")].toString(), QStringLiteral("fun-asr-realtime"));
    EXPECT_EQ(input(0)[QStringLiteral("prefix")].toString(), QStringLiteral("quillwren"));
    EXPECT_EQ(input(0)[QStringLiteral("vocabulary")].toArray(),
              QJsonArray({QJsonObject{{QStringLiteral("text"), QStringLiteral("通义千问")}, {QStringLiteral("weight"), 4}}}));
    const QString id = customizations()[0][QStringLiteral("answer")][QStringLiteral("output")][QStringLiteral("vocabulary_id")].toString();
    ASSERT_FALSE(id.isEmpty());
    EXPECT_TRUE(run({QStringLiteral("words"), QStringLiteral("list")}).out.contains(QStringLiteral("synced (%1)").arg(id)));
    EXPECT_EQ(transcribe().exitCode, 0);
    auto used = server.recorder().recordsOfKind(QStringLiteral("asr-vocabulary"));
    ASSERT_EQ(used.size(), 1) << "the take's run-task names the vocabulary";
    EXPECT_EQ(used[0][QStringLiteral("vocabulary_id")].toString(), id);
    EXPECT_TRUE(used[0][QStringLiteral("known")].toBool());
    EXPECT_EQ(used[0][QStringLiteral("target_model")].toString(), used[0][QStringLiteral("model")].toString());

    // Another word: the same vocabulary, updated with the whole list.
    EXPECT_EQ(run({QStringLiteral("words"), QStringLiteral("add"), QStringLiteral("Quillwren"), QStringLiteral("--weight"),
                   QStringLiteral("5")}).exitCode, 0);
    ASSERT_EQ(customizations().size(), 2);
    EXPECT_EQ(input(1)[QStringLiteral("action")].toString(), QStringLiteral("update_vocabulary"));
    EXPECT_EQ(input(1)[QStringLiteral("vocabulary_id")].toString(), id);
    EXPECT_EQ(input(1)[QStringLiteral("vocabulary")].toArray().size(), 2);

    // Entries the service would refuse are refused before they are stored.
    for (const QStringList &bad : {QStringList{QStringLiteral("一二三四五六七八九十一二三四五六")},
                                   QStringList{QStringLiteral("one two three four five six seven eight")},
                                   QStringList{QStringLiteral("零"), QStringLiteral("--weight"), QStringLiteral("0")},
                                   QStringList{QStringLiteral("六"), QStringLiteral("--weight"), QStringLiteral("6")}}) {
        const auto refused = run(QStringList{QStringLiteral("words"), QStringLiteral("add")} + bad);
        EXPECT_EQ(refused.exitCode, 2) << bad.join(u' ').toStdString();
        EXPECT_TRUE(refused.err.contains(QStringLiteral("nothing was stored"))) << refused.err.toStdString();
    }
    EXPECT_EQ(customizations().size(), 2);

    // The service fails the sync: the word is kept, the take runs without the vocabulary.
    useScenario(R"({"customization":{"fault":{"type":"http-error","status":500,"message":"busy"}}})");
    added = run({QStringLiteral("words"), QStringLiteral("add"), QStringLiteral("百炼")});
    EXPECT_EQ(added.exitCode, 0);
    EXPECT_TRUE(added.err.contains(QStringLiteral("could not be updated: HTTP 500: busy"))) << added.err.toStdString();
    const QString listed = run({QStringLiteral("words"), QStringLiteral("list")}).out;
    EXPECT_TRUE(listed.contains(QStringLiteral("百炼  weight 4"))) << listed.toStdString();
    EXPECT_TRUE(listed.contains(QStringLiteral("sync failed: HTTP 500: busy"))) << listed.toStdString();
    const auto failedTake = transcribe();
    EXPECT_EQ(failedTake.exitCode, 0);
    EXPECT_EQ(failedTake.err.count(QStringLiteral("热词词表不可用")), 1) << "said once";
    EXPECT_EQ(server.recorder().recordsOfKind(QStringLiteral("asr-vocabulary")).size(), 1) << "no ID for that take";

    // A create answered without an ID is a failure too, not an ID of "".
    useScenario(R"({"customization":{"omitId":true}})");
    auto env2 = env;
    std::swap(env, env2);
    env.insert(QStringLiteral("QUILLWREN_NATIVE_URL"), server.nativeBaseUrl().replace(QStringLiteral("127.0.0.1"), QStringLiteral("localhost")));
    EXPECT_TRUE(run({QStringLiteral("words"), QStringLiteral("list")}).out.contains(QStringLiteral("sync failed")))
        << "a vocabulary of another host is not this one's";
    added = run({QStringLiteral("words"), QStringLiteral("add"), QStringLiteral("别处")});
    EXPECT_TRUE(added.err.contains(QStringLiteral("no vocabulary_id"))) << added.err.toStdString();
    // Another host (a region changed): a vocabulary of its own.
    useScenario("{}");
    const qsizetype before = customizations().size();
    EXPECT_EQ(run({QStringLiteral("words"), QStringLiteral("remove"), QStringLiteral("别处")}).exitCode, 0);
    ASSERT_GT(customizations().size(), before);
    EXPECT_EQ(input(customizations().size() - 1)[QStringLiteral("action")].toString(), QStringLiteral("create_vocabulary"));
    EXPECT_EQ(customizations().last()[QStringLiteral("host")].toString(), QStringLiteral("localhost"));
    std::swap(env, env2);

    // Back on the first host: the words go to a vocabulary of its own again,
    // and removing the last word deletes it.
    for (const QString &word : {QStringLiteral("百炼"), QStringLiteral("Quillwren")})
        EXPECT_EQ(run({QStringLiteral("words"), QStringLiteral("remove"), word}).exitCode, 0);
    EXPECT_EQ(run({QStringLiteral("words"), QStringLiteral("remove"), QStringLiteral("通义千问")}).exitCode, 0);
    EXPECT_EQ(input(customizations().size() - 1)[QStringLiteral("action")].toString(), QStringLiteral("delete_vocabulary"));
    EXPECT_TRUE(run({QStringLiteral("words"), QStringLiteral("list")}).out.contains(QStringLiteral("no hot words")));
    EXPECT_EQ(run({QStringLiteral("words"), QStringLiteral("remove"), QStringLiteral("没有")}).exitCode, 1);

    // A vocabulary deleted on the service meanwhile (in its console) is made anew.
    EXPECT_EQ(run({QStringLiteral("words"), QStringLiteral("add"), QStringLiteral("灵积")}).exitCode, 0);
    const QString gone = customizations().last()[QStringLiteral("answer")][QStringLiteral("output")][QStringLiteral("vocabulary_id")].toString();
    ASSERT_FALSE(gone.isEmpty());
    server.vocabularies().handle({{QStringLiteral("model"), QStringLiteral("speech-biasing")},
                                  {QStringLiteral("input"), QJsonObject{{QStringLiteral("action"), QStringLiteral("delete_vocabulary")},
                                                                        {QStringLiteral("vocabulary_id"), gone}}}},
                                 {});
    EXPECT_EQ(run({QStringLiteral("words"), QStringLiteral("add"), QStringLiteral("模型工作室")}).exitCode, 0);
    const qsizetype last = customizations().size() - 1;
    EXPECT_EQ(customizations()[last - 1][QStringLiteral("status")].toInt(), 404);
    EXPECT_EQ(input(last)[QStringLiteral("action")].toString(), QStringLiteral("create_vocabulary"));
    EXPECT_EQ(input(last)[QStringLiteral("vocabulary")].toArray().size(), 2);
    EXPECT_TRUE(run({QStringLiteral("words"), QStringLiteral("list")}).out.contains(QStringLiteral("synced (vocab-")));
}

// Two processes changing the words at once (the command line while the
// instance syncs): the second waits for the first's sync and updates the
// vocabulary the first made, instead of making one of its own.
TEST_F(ModelCommands, SyncsOfTwoProcessesAtOnceMakeOneVocabulary)
{
    useScenario(R"({"customization":{"delayMs":800}})");
    QProcess first, second;
    for (QProcess *process : {&first, &second}) {
        process->setProcessEnvironment(env);
        process->setProcessChannelMode(QProcess::MergedChannels);
        process->start(QStringLiteral(QUILLWREN_BINARY), {QStringLiteral("words"), QStringLiteral("add"),
                                                          process == &first ? QStringLiteral("通义") : QStringLiteral("百炼")});
    }
    ASSERT_TRUE(TestSupport::waitUntil([&] { return first.state() == QProcess::NotRunning && second.state() == QProcess::NotRunning; },
                          20000));
    EXPECT_EQ(first.exitCode(), 0);
    EXPECT_EQ(second.exitCode(), 0);
    // The log goes to standard output, the command's words to standard error.
    const QByteArray waited = first.readAll() + second.readAll();
    QStringList created;
    for (const QJsonObject &record : server.recorder().recordsOfKind(QStringLiteral("customization"))) {
        if (record[QStringLiteral("json")][QStringLiteral("input")][QStringLiteral("action")].toString()
            == QLatin1String("create_vocabulary"))
            created << record[QStringLiteral("answer")][QStringLiteral("output")][QStringLiteral("vocabulary_id")].toString();
    }
    ASSERT_EQ(created.size(), 1) << "two vocabularies were made: " << created.join(u' ').toStdString();
    EXPECT_TRUE(waited.contains("等待另一个进程的词表同步结束")) << "the two syncs did not overlap";
    EXPECT_TRUE(run({QStringLiteral("words"), QStringLiteral("list")}).out.contains(QStringLiteral("synced (%1)").arg(created[0])));
}

} // namespace

