#include "ConfigCommand.h"

#include "Console.h"
#include "DashScopeEndpoints.h"
#include "Json.h"
#include "SettingsStore.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QUrl>

namespace {
const QString kModifier = QStringLiteral("modifier");

QString fieldList(const QJsonObject &appConfig, const QJsonObject &shortcuts)
{
    QStringList fields = appConfig.keys();
    for (const QString &mode : shortcuts.keys()) {
        for (const QString &member : shortcuts.value(mode).toObject().keys())
            fields << mode + QLatin1Char('.') + member;
    }
    return fields.join(QStringLiteral(", "));
}

// The new value of a member, of the same JSON type as the current one.
std::optional<QJsonValue> parseValue(const QString &member, const QJsonValue &current,
                                     const QString &text, QString *problem)
{
    if (current.isBool()) {
        if (text == QLatin1String("true") || text == QLatin1String("false"))
            return QJsonValue(text == QLatin1String("true"));
        *problem = QStringLiteral("expects true or false");
        return std::nullopt;
    }
    if (current.isDouble()) {
        bool whole = false;
        const int seconds = text.toInt(&whole);
        if (whole && member == QLatin1String("handsFreeLimitSeconds") && AppConfig::isValidHandsFreeLimit(seconds))
            return QJsonValue(seconds);
        *problem = QStringLiteral("expects a whole number of seconds from %1 to %2")
                       .arg(AppConfig::kMinHandsFreeLimit)
                       .arg(AppConfig::kMaxHandsFreeLimit);
        return std::nullopt;
    }
    if (member == kModifier && !ModifierKeys::fromRawValue(text)) {
        *problem = QStringLiteral("expects one of option, control, command, shift");
        return std::nullopt;
    }
    // Members with a fixed set of values: a value outside it would load as
    // the default, so it is refused instead of silently dropped.
    const std::pair<const char *, const QStringList &> choices[] = {{"keyRoute", AppConfig::keyRoutes()},
                                                                   {"serviceRegion", AppConfig::serviceRegions()},
                                                                   {"asrLanguage", AppConfig::asrLanguages()},
                                                                   {"keepAudio", AppConfig::keepAudioChoices()},
                                                                   {"dictationCleanup", AppConfig::dictationCleanupLevels()},
                                                                   {"speechService", AppConfig::speechServices()},
                                                                   {"transcriptionService", AppConfig::speechServices()}};
    for (const auto &[name, values] : choices) {
        if (member == QLatin1String(name) && !values.contains(text)) {
            *problem = QStringLiteral("expects one of ") + values.join(QStringLiteral(", "));
            return std::nullopt;
        }
    }
    if (member == QLatin1String("workspaceId") && !AppConfig::isValidWorkspaceId(text)) {
        *problem = QStringLiteral("a workspace ID is made of letters, digits and hyphens (it becomes part of the "
                                  "service's host name); leave it empty for the region's shared host");
        return std::nullopt;
    }
    if (member == QLatin1String("speechBaseURL") || member == QLatin1String("transcriptionBaseURL")) {
        const QUrl url(text.trimmed());
        if (!url.isValid() || url.host().isEmpty()
            || (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https"))) {
            *problem = QStringLiteral("expects an http(s) URL such as https://api.openai.com/v1 or "
                                      "http://localhost:8000/v1");
            return std::nullopt;
        }
        return QJsonValue(text.trimmed());
    }
    if ((member == QLatin1String("speechModel") || member == QLatin1String("speechVoice")
         || member == QLatin1String("transcriptionModel"))
        && text.trimmed().isEmpty()) {
        *problem = QStringLiteral("must not be empty");
        return std::nullopt;
    }
    if (member == QLatin1String("cleanupInstructions") && text.size() > AppConfig::kMaxCleanupInstructions) {
        *problem = QStringLiteral("at most %1 characters (this is %2)").arg(AppConfig::kMaxCleanupInstructions).arg(text.size());
        return std::nullopt;
    }
    // A list given as one argument: "code, org.gnome.Terminal".
    if (member == QLatin1String("cleanupSkipApps")) {
        QStringList apps;
        for (const QString &app : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            if (!app.trimmed().isEmpty())
                apps << app.trimmed();
        }
        return QJsonValue(QJsonArray::fromStringList(apps));
    }
    return QJsonValue(text);
}
} // namespace

ConfigCommand::ConfigCommand(SettingsStore &store, InputIds inputs) : m_store(store), m_inputs(std::move(inputs)) {}

int ConfigCommand::run(const QStringList &args)
{
    if (args == QStringList{QStringLiteral("show")})
        return show();
    if (args.size() == 3 && args.first() == QLatin1String("set"))
        return set(args.at(1), args.at(2));
    Console::err(QStringLiteral("usage: quillwren config show | quillwren config set FIELD VALUE"));
    return Console::UsageError;
}

int ConfigCommand::show()
{
    const AppConfig appConfig = m_store.loadAppConfig();
    // Where the settings (and $QUILLWREN_WS_URL) send each request.
    const DashScopeEndpoints endpoints = DashScopeEndpoints::forConfig(appConfig);
    const QByteArray derived = Json::ObjectWriter()
                                   .add(QStringLiteral("webSocket"), endpoints.duplex.toString())
                                   .add(QStringLiteral("compatibleMode"), endpoints.compatibleBase)
                                   .add(QStringLiteral("native"), endpoints.nativeBase)
                                   .bytes();
    const QByteArray json = Json::ObjectWriter()
                                .addRaw(QString::fromLatin1(SettingsStore::kShortcutConfigKey),
                                        m_store.loadShortcutConfig().toJson())
                                .addRaw(QString::fromLatin1(SettingsStore::kAppConfigKey), appConfig.toJson())
                                .addRaw(QStringLiteral("endpoints"), derived)
                                .bytes();
    Console::out(QString::fromUtf8(json));
    return Console::Success;
}

int ConfigCommand::set(const QString &field, const QString &value)
{
    // Fields are the records' own JSON members ("llmModel", "voiceInput.enabled"):
    // the value is put into the record's JSON and the record decoded strictly
    // again, so nothing the loader would reject can be stored.
    AppConfig appConfig = m_store.loadAppConfig();
    ShortcutConfig shortcuts = m_store.loadShortcutConfig();
    QJsonObject appObject = *Json::parseObject(appConfig.toJson());
    QJsonObject shortcutObject = *Json::parseObject(shortcuts.toJson());

    const QStringList path = field.split(QLatin1Char('.'));
    const bool isAppField = path.size() == 1 && appObject.contains(field);
    const bool isShortcutField = path.size() == 2 && shortcutObject.contains(path[0])
                                 && shortcutObject.value(path[0]).toObject().contains(path[1]);
    if (!isAppField && !isShortcutField) {
        Console::err(QStringLiteral("Unknown field \"%1\"; nothing was stored. Fields: %2")
                         .arg(field, fieldList(appObject, shortcutObject)));
        return Console::UsageError;
    }

    if (isAppField && (appObject.value(field).isArray() || appObject.value(field).isObject())
        && field != QLatin1String("cleanupSkipApps")) {
        const QString how = field == QLatin1String("replacements") ? QStringLiteral("edit it with `quillwren replace`")
                            : field == QLatin1String("hotWords")   ? QStringLiteral("edit it with `quillwren words`")
                                                                   : QStringLiteral("Quillwren keeps it itself");
        Console::err(QStringLiteral("%1 is not set this way: %2; nothing was stored.").arg(field, how));
        return Console::UsageError;
    }
    if (field == QLatin1String("inputDevice") && !value.isEmpty()) {
        const std::optional<QList<QByteArray>> inputs = m_inputs ? m_inputs() : std::nullopt;
        if (!inputs) {
            Console::err(QStringLiteral("The audio server did not answer, so \"%1\" cannot be checked; nothing was "
                                        "stored.").arg(value));
            return Console::Failure;
        }
        if (!inputs->contains(value.toUtf8())) {
            QStringList names;
            for (const QByteArray &id : *inputs)
                names << QString::fromUtf8(id);
            Console::err(QStringLiteral("Invalid value \"%1\" for inputDevice: not a microphone here (%2; see "
                                        "`quillwren devices`); nothing was stored.")
                             .arg(value, names.isEmpty() ? QStringLiteral("there is none") : names.join(QStringLiteral(", "))));
            return Console::UsageError;
        }
    }
    QString problem;
    if (isAppField) {
        const auto parsed = parseValue(field, appObject.value(field), value, &problem);
        if (parsed) {
            appObject.insert(field, *parsed);
            appConfig = *AppConfig::fromJson(QJsonDocument(appObject).toJson());
            m_store.saveAppConfig(appConfig);
        }
    } else {
        QJsonObject mode = shortcutObject.value(path[0]).toObject();
        const auto parsed = parseValue(path[1], mode.value(path[1]), value, &problem);
        if (parsed) {
            mode.insert(path[1], *parsed);
            shortcutObject.insert(path[0], mode);
            shortcuts = *ShortcutConfig::fromJson(QJsonDocument(shortcutObject).toJson());
            m_store.saveShortcutConfig(shortcuts);
        }
    }
    if (!problem.isEmpty()) {
        Console::err(QStringLiteral("Invalid value \"%1\" for %2: %3; nothing was stored.")
                         .arg(value, field, problem));
        return Console::UsageError;
    }

    Console::out(QStringLiteral("%1 = %2").arg(field, value));
    const QString warning = ShortcutConfig::conflictWarning(shortcuts.conflicts());
    if (!warning.isEmpty())
        Console::err(warning);
    return Console::Success;
}
