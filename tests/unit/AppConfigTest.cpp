#include "AppConfig.h"
#include "Json.h"

#include <QJsonDocument>

#include <gtest/gtest.h>

namespace {

QJsonObject defaultObject()
{
    return *Json::parseObject(AppConfig::defaults().toJson());
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

} // namespace
