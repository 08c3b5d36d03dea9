#include "AppConfig.h"

#include "Json.h"

#include <QJsonArray>
#include <QRegularExpression>

#include <array>
#include <span>

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
const QString kReplacements = QStringLiteral("replacements");
const QString kKeepHistory = QStringLiteral("keepHistory");
const QString kRestoreClipboard = QStringLiteral("restoreClipboard");
const QString kKeyRoute = QStringLiteral("keyRoute");
const QString kServiceRegion = QStringLiteral("serviceRegion");
const QString kWorkspaceId = QStringLiteral("workspaceId");
const QString kAsrLanguage = QStringLiteral("asrLanguage");
const QString kHandsFreeVoiceInput = QStringLiteral("handsFreeVoiceInput");
const QString kHandsFreeChatAssistant = QStringLiteral("handsFreeChatAssistant");
const QString kPauseMedia = QStringLiteral("pauseMedia");
const QString kSoundCues = QStringLiteral("soundCues");
const QString kInputDevice = QStringLiteral("inputDevice");
const QString kKeepAudio = QStringLiteral("keepAudio");
const QString kHotWords = QStringLiteral("hotWords");
const QString kVocabulary = QStringLiteral("vocabulary");
const QString kHandsFreeLimitSeconds = QStringLiteral("handsFreeLimitSeconds");
const QString kDictationCleanup = QStringLiteral("dictationCleanup");
const QString kLiveCaption = QStringLiteral("liveCaption");
const QString kSpeechService = QStringLiteral("speechService");
const QString kTranscriptionService = QStringLiteral("transcriptionService");
// Free text that must not be empty, each with its default.
constexpr std::pair<const char *, QString AppConfig::*> kSpeechTexts[] = {
    {"speechBaseURL", &AppConfig::speechBaseURL},
    {"speechModel", &AppConfig::speechModel},
    {"speechVoice", &AppConfig::speechVoice}};
constexpr std::pair<const char *, QString AppConfig::*> kTranscriptionTexts[] = {
    {"transcriptionBaseURL", &AppConfig::transcriptionBaseURL},
    {"transcriptionModel", &AppConfig::transcriptionModel}};
const QString kCleanupModel = QStringLiteral("cleanupModel");
const QString kCleanupInstructions = QStringLiteral("cleanupInstructions");
const QString kCleanupSkipApps = QStringLiteral("cleanupSkipApps");
const QString kFrom = QStringLiteral("from");
const QString kTo = QStringLiteral("to");

// The list, or nothing when any entry is not a {"from", "to"} pair of strings.
std::optional<QList<TextReplacement>> replacementsIn(const QJsonValue &value)
{
    if (!value.isArray())
        return std::nullopt;
    QList<TextReplacement> list;
    for (const QJsonValue &entry : value.toArray()) {
        const auto from = Json::stringMember(entry.toObject(), kFrom);
        const auto to = Json::stringMember(entry.toObject(), kTo);
        if (!entry.isObject() || !from || !to)
            return std::nullopt;
        list.append({*from, *to});
    }
    return list;
}
} // namespace

const QStringList &AppConfig::keyRoutes()
{
    static const QStringList routes{QStringLiteral("auto"), QStringLiteral("x11"), QStringLiteral("evdev"),
                                    QStringLiteral("portal"), QStringLiteral("bindings")};
    return routes;
}

const QStringList &AppConfig::serviceRegions()
{
    static const QStringList regions{QStringLiteral("beijing"), QStringLiteral("singapore")};
    return regions;
}

const QStringList &AppConfig::asrLanguages()
{
    static const QStringList languages{QStringLiteral("auto"), QStringLiteral("zh"), QStringLiteral("en"),
                                       QStringLiteral("ja")};
    return languages;
}

const QStringList &AppConfig::keepAudioChoices()
{
    static const QStringList choices{QStringLiteral("failed"), QStringLiteral("all"), QStringLiteral("none")};
    return choices;
}

const QStringList &AppConfig::speechServices()
{
    static const QStringList services{QStringLiteral("dashscope"), QStringLiteral("openai")};
    return services;
}

const QStringList &AppConfig::dictationCleanupLevels()
{
    static const QStringList levels{QStringLiteral("off"), QStringLiteral("light"), QStringLiteral("full")};
    return levels;
}

bool AppConfig::isValidHandsFreeLimit(double seconds)
{
    return seconds >= kMinHandsFreeLimit && seconds <= kMaxHandsFreeLimit && seconds == double(int(seconds));
}

bool AppConfig::isValidWorkspaceId(const QString &id)
{
    static const QRegularExpression label(QStringLiteral("^[A-Za-z0-9](?:[A-Za-z0-9-]{0,61}[A-Za-z0-9])?$"));
    return id.isEmpty() || label.match(id).hasMatch();
}

QByteArray AppConfig::toJson() const
{
    Json::ObjectWriter writer;
    for (const auto &[name, field] : kStringFields)
        writer.add(QString::fromLatin1(name), this->*field);
    writer.add(kEnableLLMPolish, enableLLMPolish);
    QJsonArray list;
    for (const TextReplacement &replacement : replacements)
        list.append(QJsonObject{{kFrom, replacement.from}, {kTo, replacement.to}});
    writer.add(kReplacements, list);
    writer.add(kKeepHistory, keepHistory);
    writer.add(kRestoreClipboard, restoreClipboard);
    writer.add(kKeyRoute, keyRoute);
    writer.add(kServiceRegion, serviceRegion);
    writer.add(kWorkspaceId, workspaceId);
    writer.add(kAsrLanguage, asrLanguage);
    writer.add(kHandsFreeVoiceInput, handsFreeVoiceInput);
    writer.add(kHandsFreeChatAssistant, handsFreeChatAssistant);
    writer.add(kHandsFreeLimitSeconds, handsFreeLimitSeconds);
    writer.add(kPauseMedia, pauseMedia);
    writer.add(kSoundCues, soundCues);
    writer.add(kInputDevice, inputDevice);
    writer.add(kKeepAudio, keepAudio);
    writer.add(kHotWords, HotWords::toJson(hotWords));
    writer.add(kVocabulary, HotWords::stateToJson(vocabulary));
    writer.add(kDictationCleanup, dictationCleanup);
    writer.add(kCleanupModel, cleanupModel);
    writer.add(kCleanupInstructions, cleanupInstructions);
    writer.add(kCleanupSkipApps, QJsonArray::fromStringList(cleanupSkipApps));
    writer.add(kLiveCaption, liveCaption);
    writer.add(kSpeechService, speechService);
    for (const auto &[name, field] : kSpeechTexts)
        writer.add(QString::fromLatin1(name), this->*field);
    writer.add(kTranscriptionService, transcriptionService);
    for (const auto &[name, field] : kTranscriptionTexts)
        writer.add(QString::fromLatin1(name), this->*field);
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
    // Added later: a record without them (or with a broken one) keeps the
    // rest of the user's settings.
    result.replacements = replacementsIn(object->value(kReplacements)).value_or(QList<TextReplacement>());
    result.keepHistory = Json::boolMember(*object, kKeepHistory).value_or(true);
    result.restoreClipboard = Json::boolMember(*object, kRestoreClipboard).value_or(false);
    const QString route = Json::stringMember(*object, kKeyRoute).value_or(QString());
    if (keyRoutes().contains(route))
        result.keyRoute = route;
    const QString region = Json::stringMember(*object, kServiceRegion).value_or(QString());
    if (serviceRegions().contains(region))
        result.serviceRegion = region;
    const QString workspace = Json::stringMember(*object, kWorkspaceId).value_or(QString());
    if (isValidWorkspaceId(workspace))
        result.workspaceId = workspace;
    const QString language = Json::stringMember(*object, kAsrLanguage).value_or(QString());
    if (asrLanguages().contains(language))
        result.asrLanguage = language;
    result.handsFreeVoiceInput = Json::boolMember(*object, kHandsFreeVoiceInput).value_or(true);
    result.handsFreeChatAssistant = Json::boolMember(*object, kHandsFreeChatAssistant).value_or(false);
    const QJsonValue limit = object->value(kHandsFreeLimitSeconds);
    if (isValidHandsFreeLimit(limit.toDouble(-1)))
        result.handsFreeLimitSeconds = limit.toInt();
    result.pauseMedia = Json::boolMember(*object, kPauseMedia).value_or(true);
    result.soundCues = Json::boolMember(*object, kSoundCues).value_or(false);
    result.inputDevice = Json::stringMember(*object, kInputDevice).value_or(QString());
    const QString keep = Json::stringMember(*object, kKeepAudio).value_or(QString());
    if (keepAudioChoices().contains(keep))
        result.keepAudio = keep;
    result.hotWords = HotWords::fromJson(object->value(kHotWords)).value_or(QList<HotWord>());
    result.vocabulary = HotWords::stateFromJson(object->value(kVocabulary));
    const QString cleanup = Json::stringMember(*object, kDictationCleanup).value_or(QString());
    if (dictationCleanupLevels().contains(cleanup))
        result.dictationCleanup = cleanup;
    result.cleanupModel = Json::stringMember(*object, kCleanupModel).value_or(QString()).trimmed();
    const QString instructions = Json::stringMember(*object, kCleanupInstructions).value_or(QString());
    if (instructions.size() <= kMaxCleanupInstructions)
        result.cleanupInstructions = instructions;
    const QJsonValue skipped = object->value(kCleanupSkipApps);
    if (skipped.isArray()) {
        for (const QJsonValue &app : skipped.toArray()) {
            if (app.isString() && !app.toString().trimmed().isEmpty())
                result.cleanupSkipApps << app.toString().trimmed();
        }
    }
    result.liveCaption = Json::boolMember(*object, kLiveCaption).value_or(false);
    const QString speech = Json::stringMember(*object, kSpeechService).value_or(QString());
    if (speechServices().contains(speech))
        result.speechService = speech;
    const QString transcription = Json::stringMember(*object, kTranscriptionService).value_or(QString());
    if (speechServices().contains(transcription))
        result.transcriptionService = transcription;
    using Texts = std::span<const std::pair<const char *, QString AppConfig::*>>;
    for (const Texts texts : {Texts(kSpeechTexts), Texts(kTranscriptionTexts)}) {
        for (const auto &[name, field] : texts) {
            const QString text = Json::stringMember(*object, QString::fromLatin1(name)).value_or(QString()).trimmed();
            if (!text.isEmpty())
                result.*field = text;
        }
    }
    return result;
}
