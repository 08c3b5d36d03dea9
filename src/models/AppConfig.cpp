#include "AppConfig.h"

#include "Json.h"

#include <array>

namespace {
// The string members in field order; "enableLLMPolish" (a boolean) follows them.
constexpr std::array<std::pair<const char *, QString AppConfig::*>, 6> kStringFields = {{
    {"llmModel", &AppConfig::llmModel},
    {"compatibleBaseURL", &AppConfig::compatibleBaseURL},
    {"asrModel", &AppConfig::asrModel},
    {"ttsModel", &AppConfig::ttsModel},
    {"ttsVoice", &AppConfig::ttsVoice},
    {"vlModel", &AppConfig::vlModel},
}};
const QString kEnableLLMPolish = QStringLiteral("enableLLMPolish");
} // namespace

QByteArray AppConfig::toJson() const
{
    Json::ObjectWriter writer;
    for (const auto &[name, field] : kStringFields)
        writer.add(QString::fromLatin1(name), this->*field);
    writer.add(kEnableLLMPolish, enableLLMPolish);
    return writer.bytes();
}

std::optional<AppConfig> AppConfig::fromJson(const QByteArray &json)
{
    const auto object = Json::parseObject(json);
    if (!object)
        return std::nullopt;
    AppConfig result;
    for (const auto &[name, field] : kStringFields) {
        const auto value = Json::stringMember(*object, QString::fromLatin1(name));
        if (!value)
            return std::nullopt;
        result.*field = *value;
    }
    const auto polish = Json::boolMember(*object, kEnableLLMPolish);
    if (!polish)
        return std::nullopt;
    result.enableLLMPolish = *polish;
    return result;
}
