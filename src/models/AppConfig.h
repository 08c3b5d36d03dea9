#pragma once

#include "HotWords.h"
#include "TextReplacements.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// The model settings. Stored as JSON under "appConfig". All strings are free
// text: nothing is validated when set or saved.
struct AppConfig
{
    static constexpr auto kDefaultLlmModel = "qwen3.5-flash";
    static constexpr auto kDefaultCompatibleBaseURL =
        "https://dashscope.aliyuncs.com/compatible-mode/v1";
    static constexpr auto kDefaultAsrModel = "fun-asr-realtime";
    static constexpr auto kDefaultTtsModel = "cosyvoice-v3-flash";
    static constexpr auto kDefaultTtsVoice = "longanyang";
    static constexpr auto kDefaultVlModel = "qwen-vl-max";
    static constexpr auto kDefaultOpenAIBaseURL = "https://api.openai.com/v1";

    QString llmModel = QString::fromLatin1(kDefaultLlmModel);
    QString compatibleBaseURL = QString::fromLatin1(kDefaultCompatibleBaseURL);
    // Shown and edited only: recognition always asks for "fun-asr-realtime".
    QString asrModel = QString::fromLatin1(kDefaultAsrModel);
    QString ttsModel = QString::fromLatin1(kDefaultTtsModel);
    QString ttsVoice = QString::fromLatin1(kDefaultTtsVoice);
    QString vlModel = QString::fromLatin1(kDefaultVlModel);
    // Stored and reset with the record; nothing reads it.
    bool enableLLMPolish = false;
    // Applied, in order, to dictated text and to the chat's question.
    QList<TextReplacement> replacements;
    // Whether each take is kept in the history file.
    bool keepHistory = true;
    // Whether the clipboard's earlier content is put back after a paste
    // (off: the pasted text stays on the clipboard).
    bool restoreClipboard = false;
    // How the mode keys are read: "auto" (the session decides), or one of
    // "x11", "evdev", "portal", "bindings" where that works; applied at start.
    QString keyRoute = QStringLiteral("auto");
    // Where the account lives: "beijing" or "singapore"; a key works only in
    // its own region. Together with the workspace it chooses the service's
    // hosts (see the endpoints' derivation).
    QString serviceRegion = QStringLiteral("beijing");
    // A workspace's own host ("{id}.cn-beijing.maas.aliyuncs.com"); empty:
    // the region's shared host.
    QString workspaceId;
    // The language the recogniser is told to expect: "auto" (it detects it),
    // "zh", "en" or "ja".
    QString asrLanguage = QStringLiteral("auto");
    // Whether a double tap of the mode's key starts a take that goes on
    // without the key held (until the key's next press): on for dictation,
    // off for the chat assistant (some applications use a double Ctrl).
    bool handsFreeVoiceInput = true;
    bool handsFreeChatAssistant = false;
    // The longest such take, in seconds (kMinHandsFreeLimit to kMaxHandsFreeLimit).
    int handsFreeLimitSeconds = 300;
    static constexpr int kMinHandsFreeLimit = 10;
    static constexpr int kMaxHandsFreeLimit = 3600;
    // Whether media players that are playing are paused while a voice mode
    // records and while an answer is spoken, and played again after.
    bool pauseMedia = true;
    // A short rising tone when recording starts, a falling one when it stops.
    bool soundCues = false;
    // The microphone: the audio server's stable name of an input device;
    // empty for the server's default.
    QString inputDevice;
    // Which takes' audio is kept beside the history, to be sent again:
    // "failed" (those that failed or were cancelled), "all" or "none".
    QString keepAudio = QStringLiteral("failed");
    // The user's words, taught to the recogniser as a vocabulary of the
    // service, and where that vocabulary stands.
    QList<HotWord> hotWords;
    VocabularyState vocabulary;
    // Dictated text tidied by a chat model before it is typed: "off",
    // "light" or "full". The model (empty: llmModel), the user's own rule for
    // it (at most kMaxCleanupInstructions characters), and the applications
    // (window classes or app IDs) whose takes are typed as heard.
    QString dictationCleanup = QStringLiteral("off");
    QString cleanupModel;
    QString cleanupInstructions;
    QStringList cleanupSkipApps;
    static constexpr int kMaxCleanupInstructions = 500;
    // The words heard so far shown beside the ball while a dictation or a
    // question is recorded.
    bool liveCaption = false;
    // Where a spoken answer is made: "dashscope" (the service's duplex
    // endpoint, with ttsModel and ttsVoice) or "openai" (any server of the
    // OpenAI-style POST {speechBaseURL}/audio/speech, with its own model and
    // voice names, sent the key stored for its host and no other).
    QString speechService = QStringLiteral("dashscope");
    // Who turns a take's speech into words: "dashscope" (the realtime
    // recogniser, streaming while the key is held) or "openai" (the take's
    // audio sent once the key is let go to an OpenAI-style
    // POST {transcriptionBaseURL}/audio/transcriptions, with that server's
    // model name, and the key stored for its host or none).
    QString transcriptionService = QStringLiteral("dashscope");
    QString transcriptionBaseURL = QString::fromLatin1(kDefaultOpenAIBaseURL);
    QString transcriptionModel = QStringLiteral("gpt-4o-mini-transcribe");
    QString speechBaseURL = QString::fromLatin1(kDefaultOpenAIBaseURL);
    QString speechModel = QStringLiteral("gpt-4o-mini-tts");
    QString speechVoice = QStringLiteral("alloy");

    friend bool operator==(const AppConfig &, const AppConfig &) = default;

    static AppConfig defaults() { return {}; }
    // The values keyRoute, serviceRegion and asrLanguage may take.
    static const QStringList &keyRoutes();
    static const QStringList &serviceRegions();
    static const QStringList &asrLanguages();
    static const QStringList &keepAudioChoices();
    static const QStringList &dictationCleanupLevels();
    static const QStringList &speechServices();
    bool transcribesByUpload() const { return transcriptionService == QLatin1String("openai"); }
    // Whether the text can stand as a workspace ID: one host label (ASCII
    // letters, digits and inner hyphens, at most 63), or empty.
    static bool isValidWorkspaceId(const QString &id);
    // A whole number of seconds within the hands-free limits.
    static bool isValidHandsFreeLimit(double seconds);

    // Compact JSON, members in field order.
    QByteArray toJson() const;
    // Strict: the seven original members required with their JSON types;
    // the later ones ("replacements", "keepHistory", "restoreClipboard",
    // "keyRoute", "serviceRegion", "workspaceId", "asrLanguage",
    // "handsFreeVoiceInput", "handsFreeChatAssistant", "handsFreeLimitSeconds",
    // "pauseMedia", "soundCues", "inputDevice", "keepAudio", "hotWords", "vocabulary", "dictationCleanup", "cleanupModel",
    // "cleanupInstructions", "cleanupSkipApps", "liveCaption", "speechService", "speechBaseURL",
    // "speechModel", "speechVoice", "transcriptionService", "transcriptionBaseURL", "transcriptionModel") are
    // optional
    // (a record written before them loads) and take their defaults when
    // malformed; extra members ignored.
    static std::optional<AppConfig> fromJson(const QByteArray &json);
};
