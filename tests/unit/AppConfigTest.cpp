#include "AppConfig.h"
#include "Json.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <gtest/gtest.h>

namespace {

QJsonObject defaultObject()
{
    return *Json::parseObject(AppConfig::defaults().toJson());
}

// The record as earlier versions wrote it.
const QByteArray kSevenMembers(R"({"llmModel":"qwen3.5-flash",)"
                               R"("compatibleBaseURL":"https://dashscope.aliyuncs.com/compatible-mode/v1",)"
                               R"("asrModel":"fun-asr-realtime","ttsModel":"cosyvoice-v3-flash",)"
                               R"("ttsVoice":"longanyang","vlModel":"qwen-vl-max","enableLLMPolish":false)");

TEST(AppConfig, EncodesItsMembersInFieldOrder)
{
    EXPECT_EQ(AppConfig::defaults().toJson(),
              kSevenMembers + R"(,"replacements":[],"keepHistory":true,"restoreClipboard":false,"keyRoute":"auto",)"
                              R"("serviceRegion":"beijing","workspaceId":"","asrLanguage":"auto",)"
                              R"("handsFreeVoiceInput":true,"handsFreeChatAssistant":false,"handsFreeLimitSeconds":300,)"
                              R"("pauseMedia":true,"soundCues":false,"inputDevice":"","keepAudio":"failed","hotWords":[],)"
                              R"("vocabulary":{"error":"","id":"","target":"","words":[]},)"
                              R"("dictationCleanup":"off","cleanupModel":"","cleanupInstructions":"","cleanupSkipApps":[],"liveCaption":false,)"
                              R"("speechService":"dashscope","speechBaseURL":"https://api.openai.com/v1",)"
                              R"("speechModel":"gpt-4o-mini-tts","speechVoice":"alloy","transcriptionService":"dashscope",)"
                              R"("transcriptionBaseURL":"https://api.openai.com/v1","transcriptionModel":"gpt-4o-mini-transcribe"})");
}

TEST(AppConfig, HotWordsAreCheckedAgainstTheServicesLimitsBeforeTheyAreStored)
{
    const auto problem = [](const QString &text, int weight = HotWord::kDefaultWeight) {
        return HotWord::problem({text, weight});
    };
    EXPECT_TRUE(problem(QStringLiteral("通义千问")).isEmpty());
    EXPECT_TRUE(problem(QStringLiteral("一二三四五六七八九十一二三四五")).isEmpty()) << "15 characters";
    EXPECT_TRUE(problem(QStringLiteral("一二三四五六七八九十一二三四五六")).contains(QStringLiteral("at most 15")));
    EXPECT_TRUE(problem(QStringLiteral("a b c d e f g")).isEmpty()) << "7 words";
    EXPECT_TRUE(problem(QStringLiteral("a b c d e f g h")).contains(QStringLiteral("at most 7")));
    EXPECT_TRUE(problem(QStringLiteral("Quillwren"), 0).contains(QStringLiteral("from 1 to 5")));
    EXPECT_FALSE(problem(QStringLiteral("Quillwren"), 6).isEmpty());
    EXPECT_FALSE(problem(QString()).isEmpty());
    EXPECT_FALSE(problem(QStringLiteral(" Qwen")).isEmpty());

    // Stored words that break a limit (edited by hand) are dropped whole,
    // the rest of the record kept; the vocabulary's state comes back as it was.
    AppConfig config;
    config.hotWords = {{QStringLiteral("千问"), 4}, {QStringLiteral("Qwen"), 5}};
    config.vocabulary = {QStringLiteral("vocab-quillwren-1"), QStringLiteral("https://h/api/v1 fun-asr-realtime"),
                         config.hotWords, QString()};
    EXPECT_EQ(AppConfig::fromJson(config.toJson()), config);
    QJsonObject object = *Json::parseObject(config.toJson());
    object[QStringLiteral("hotWords")] = QJsonArray{QJsonObject{{QStringLiteral("text"), QStringLiteral("x")},
                                                                {QStringLiteral("weight"), 9}}};
    const std::optional<AppConfig> loaded = AppConfig::fromJson(QJsonDocument(object).toJson());
    ASSERT_TRUE(loaded);
    EXPECT_TRUE(loaded->hotWords.isEmpty());
    EXPECT_EQ(loaded->vocabulary, config.vocabulary);
}

TEST(AppConfig, ARecordWithoutTheLaterMembersLoadsAndABrokenOneKeepsTheRest)
{
    EXPECT_EQ(AppConfig::fromJson(kSevenMembers + '}'), AppConfig::defaults());

    AppConfig config;
    config.replacements = {{QStringLiteral("千问"), QStringLiteral("Qwen")}, {QStringLiteral("a"), QString()}};
    config.keepHistory = false;
    config.restoreClipboard = true;
    config.llmModel = QStringLiteral("qwen-plus");
    config.serviceRegion = QStringLiteral("singapore");
    config.workspaceId = QStringLiteral("llm-7Xk2-a9");
    config.asrLanguage = QStringLiteral("ja");
    config.handsFreeVoiceInput = false;
    config.handsFreeChatAssistant = true;
    config.handsFreeLimitSeconds = 45;
    config.pauseMedia = false;
    config.soundCues = true;
    config.inputDevice = QStringLiteral("alsa_input.usb-Blue_Yeti-00.analog-stereo");
    config.dictationCleanup = QStringLiteral("light");
    config.cleanupModel = QStringLiteral("qwen-turbo");
    config.cleanupInstructions = QString(AppConfig::kMaxCleanupInstructions, QChar(0x5B57));
    config.cleanupSkipApps = {QStringLiteral("code"), QStringLiteral("org.gnome.Terminal")};
    config.liveCaption = true;
    config.speechService = QStringLiteral("openai");
    config.speechBaseURL = QStringLiteral("http://localhost:8000/v1");
    config.speechModel = QStringLiteral("kokoro");
    config.speechVoice = QStringLiteral("af_sky");
    config.transcriptionService = QStringLiteral("openai");
    config.transcriptionBaseURL = QStringLiteral("https://api.groq.com/openai/v1");
    config.transcriptionModel = QStringLiteral("whisper-large-v3-turbo");
    EXPECT_EQ(AppConfig::fromJson(config.toJson()), config);

    // A broken later member costs only itself, never the model settings.
    for (const QByteArray &broken : {QByteArray(R"("replacements":"千问")"),
                                     QByteArray(R"("replacements":[{"from":"a"}])"),
                                     QByteArray(R"("replacements":[{"from":1,"to":"b"}])"),
                                     QByteArray(R"("keepHistory":"no")"),
                                     QByteArray(R"("serviceRegion":"frankfurt")"),
                                     QByteArray(R"("serviceRegion":1)"),
                                     QByteArray(R"("workspaceId":"ws.evil.example/x")"),
                                     QByteArray(R"("workspaceId":"-ws")"),
                                     QByteArray(R"("workspaceId":["ws"])"),
                                     QByteArray(R"("asrLanguage":"fr")"),
                                     QByteArray(R"("asrLanguage":["en"])"),
                                     QByteArray(R"("handsFreeVoiceInput":"off")"),
                                     QByteArray(R"("handsFreeChatAssistant":1)"),
                                     QByteArray(R"("handsFreeLimitSeconds":0)"),
                                     QByteArray(R"("handsFreeLimitSeconds":3601)"),
                                     QByteArray(R"("handsFreeLimitSeconds":12.5)"),
                                     QByteArray(R"("handsFreeLimitSeconds":"60")"),
                                     QByteArray(R"("pauseMedia":0)"),
                                     QByteArray(R"("soundCues":"yes")"),
                                     QByteArray(R"("inputDevice":{"name":"mic"})"),
                                     QByteArray(R"("dictationCleanup":"on")"),
                                     QByteArray(R"("dictationCleanup":true)"),
                                     QByteArray(R"("cleanupModel":7)"),
                                     QByteArray(R"("cleanupInstructions":")") + QByteArray(501, 'x') + '"',
                                     QByteArray(R"("cleanupSkipApps":"code")"),
                                     QByteArray(R"("cleanupSkipApps":[1,"",null])"),
                                     QByteArray(R"("liveCaption":"on")"),
                                     QByteArray(R"("speechService":"google")"),
                                     QByteArray(R"("speechBaseURL":"  ")"),
                                     QByteArray(R"("speechModel":5)"),
                                     QByteArray(R"("speechVoice":"")"),
                                     QByteArray(R"("transcriptionService":"whisper")"),
                                     QByteArray(R"("transcriptionModel":"")")}) {
        const auto loaded = AppConfig::fromJson(kSevenMembers + ',' + broken + '}');
        ASSERT_TRUE(loaded) << broken.toStdString();
        EXPECT_EQ(*loaded, AppConfig::defaults()) << broken.toStdString();
    }
    // Each of the three costs only itself.
    const auto mixed = AppConfig::fromJson(kSevenMembers + R"(,"serviceRegion":"singapore","workspaceId":"a b",)"
                                                           R"("asrLanguage":"en"})");
    ASSERT_TRUE(mixed);
    EXPECT_EQ(mixed->serviceRegion, QStringLiteral("singapore"));
    EXPECT_TRUE(mixed->workspaceId.isEmpty());
    EXPECT_EQ(mixed->asrLanguage, QStringLiteral("en"));
}

TEST(AppConfig, RoundTripsFreeTextIncludingEmptyAndEscapedStrings)
{
    AppConfig config;
    config.llmModel = QStringLiteral("qwen-max \"latest\"\n");
    config.compatibleBaseURL = QStringLiteral("http://127.0.0.1:8080/compatible-mode/v1");
    config.vlModel.clear();
    config.ttsVoice = QStringLiteral("声音\\1");
    config.enableLLMPolish = true;
    EXPECT_EQ(AppConfig::fromJson(config.toJson()), config);
}

TEST(AppConfig, EveryOriginalMemberIsRequiredWithItsType)
{
    const QJsonObject good = defaultObject();
    ASSERT_TRUE(AppConfig::fromJson(QJsonDocument(good).toJson()));
    for (const QString &member : Json::parseObject(kSevenMembers + '}')->keys()) {
        QJsonObject missing = good;
        missing.remove(member);
        EXPECT_FALSE(AppConfig::fromJson(QJsonDocument(missing).toJson()))
            << "without " << member.toStdString();

        QJsonObject mistyped = good;
        mistyped.insert(member, good.value(member).isBool() ? QJsonValue(QStringLiteral("false"))
                                                            : QJsonValue(1));
        EXPECT_FALSE(AppConfig::fromJson(QJsonDocument(mistyped).toJson()))
            << "mistyped " << member.toStdString();

        QJsonObject null = good;
        null.insert(member, QJsonValue::Null);
        EXPECT_FALSE(AppConfig::fromJson(QJsonDocument(null).toJson()));
    }
    QJsonObject extra = good;
    extra.insert(QStringLiteral("theme"), QStringLiteral("dark"));
    EXPECT_EQ(AppConfig::fromJson(QJsonDocument(extra).toJson()), AppConfig());
    EXPECT_FALSE(AppConfig::fromJson("[]"));
    EXPECT_FALSE(AppConfig::fromJson("{"));
}

} // namespace
