#include "AppConfig.h"
#include "Json.h"
#include "RecordingState.h"
#include "ServiceError.h"
#include "TTSVoiceOption.h"

#include <QJsonDocument>

#include <gtest/gtest.h>

namespace {

QJsonObject defaultObject()
{
    return *Json::parseObject(AppConfig::defaults().toJson());
}

TEST(AppConfig, DefaultsAreTheServiceModelsAndTheProductionBaseURL)
{
    const AppConfig config;
    EXPECT_EQ(config.llmModel, QStringLiteral("qwen3.5-flash"));
    EXPECT_EQ(config.compatibleBaseURL,
              QStringLiteral("https://dashscope.aliyuncs.com/compatible-mode/v1"));
    EXPECT_EQ(config.asrModel, QStringLiteral("fun-asr-realtime"));
    EXPECT_EQ(config.ttsModel, QStringLiteral("cosyvoice-v3-flash"));
    EXPECT_EQ(config.ttsVoice, QStringLiteral("longanyang"));
    EXPECT_EQ(config.vlModel, QStringLiteral("qwen-vl-max"));
    EXPECT_FALSE(config.enableLLMPolish);
}

TEST(AppConfig, EncodesSevenMembersInFieldOrder)
{
    EXPECT_EQ(AppConfig::defaults().toJson(),
              QByteArray(R"({"llmModel":"qwen3.5-flash",)"
                         R"("compatibleBaseURL":"https://dashscope.aliyuncs.com/compatible-mode/v1",)"
                         R"("asrModel":"fun-asr-realtime","ttsModel":"cosyvoice-v3-flash",)"
                         R"("ttsVoice":"longanyang","vlModel":"qwen-vl-max","enableLLMPolish":false})"));
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

TEST(AppConfig, EveryMemberIsRequiredWithItsType)
{
    const QJsonObject good = defaultObject();
    ASSERT_TRUE(AppConfig::fromJson(QJsonDocument(good).toJson()));
    for (const QString &member : good.keys()) {
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

TEST(TTSVoiceOption, SixVoicesInPickerOrder)
{
    const auto &voices = TTSVoiceOption::all();
    ASSERT_EQ(voices.size(), 6);
    const QStringList ids{QStringLiteral("longanyang"),      QStringLiteral("longanhuan"),
                          QStringLiteral("longyingxun_v3"),  QStringLiteral("longyingjing_v3"),
                          QStringLiteral("longyingling_v3"), QStringLiteral("longyingtao_v3")};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(voices[i].id, ids[i]);
        EXPECT_EQ(voices[i].language, QStringLiteral("普通话、英语"));
    }
    EXPECT_EQ(voices[0].attribute, QStringLiteral("阳光男生"));
    EXPECT_EQ(voices[5].attribute, QStringLiteral("温和沉稳女声"));
    EXPECT_EQ(&TTSVoiceOption::all(), &voices) << "built once and shared";
}

TEST(SharedValues, RecordingStateAndResultCarryTheirPayload)
{
    EXPECT_EQ(RecordingState(), RecordingState::idle());
    EXPECT_EQ(RecordingState::error(QStringLiteral("a")), RecordingState::error(QStringLiteral("a")));
    EXPECT_NE(RecordingState::error(QStringLiteral("a")), RecordingState::error(QStringLiteral("b")));
    EXPECT_NE(RecordingState::recording(), RecordingState::processing());
    EXPECT_EQ(RecordingState::error(QStringLiteral("麦克风")).errorMessage(), QStringLiteral("麦克风"));

    const Result<int> value = 7;
    ASSERT_TRUE(value.ok());
    EXPECT_EQ(value.value(), 7);
    const ServiceError error{QStringLiteral("RealtimeASR"), -1, QStringLiteral("连接超时")};
    const Result<int> failure = error;
    EXPECT_FALSE(failure);
    EXPECT_EQ(failure.error(), error);
}

} // namespace
