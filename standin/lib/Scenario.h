#pragma once

#include <QHash>
#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <optional>

// A fault the stand-in plays instead of the normal answer. Its type is one of
// "never-answer", "close-after", "task-failed", "http-error", "malformed",
// "split-packets", "no-done"; its options are the other members of its JSON.
struct Fault
{
    QString type; // empty: no fault
    QJsonObject options;

    bool is(const char *name) const { return type == QLatin1String(name); }
    int intOption(const char *name, int fallback) const;
    QString stringOption(const char *name, const QString &fallback = {}) const;
    // A non-empty array option as strings, else the fallback.
    QStringList stringsOption(const char *name, const QStringList &fallback) const;
};

struct RecognitionScript
{
    // The real service takes tens to hundreds of milliseconds to start a
    // task, so a client that sends audio right after run-task is caught.
    int startDelayMs = 100;
    // One sentence per utterance, in order; each is shown growing in interim
    // results before its final result.
    QStringList sentences{QStringLiteral("你好，这是本地替身服务的识别结果。")};
    int interimResults = 2;
    // A result is sent for every this much audio received (at 16 kHz); what
    // is left of the script is sent when the client finishes the task.
    int audioMsPerResult = 200;
    // Words only for speech: above 0, no sentence comes until this much of
    // the audio has been voiced (frames at an RMS of kVoicedRms or more), as
    // the service's voice detection passes over clicks and short tones; a
    // task finished before then ends with no words.
    int minVoicedMs = 0;
    static constexpr double kVoicedRms = 0.02;
    bool heartbeat = false;
    int finishDelayMs = 0;
    // The payload of "task-finished"; the real service usually sends {"output": {}}.
    std::optional<QJsonObject> finishedPayload;
    QStringList models{QStringLiteral("fun-asr-realtime")};
    Fault fault;
};

struct SynthesisScript
{
    int startDelayMs = 0;
    int chunkBytes = 4096;
    int chunkDelayMs = 0;
    // "tone": a deterministic tone; "espeak": speech from espeak-ng when installed.
    QString voice = QStringLiteral("tone");
    // By a piece of the text: the tone's pitch (else 440 Hz), and a delay
    // before its audio (so later sentences can be answered first).
    QHash<QString, int> toneHz;
    QHash<QString, int> delayMs;
    // By a piece of the text: its audio in this many frames, spread evenly
    // over spreadMs (as the real service streams a sentence); and a sentence
    // whose stream stops after so many frames, with nothing more
    // (stallAfterFrames) or with a task-failed (failAfterFrames).
    QHash<QString, int> frames;
    QHash<QString, int> spreadMs;
    QHash<QString, int> stallAfterFrames;
    QHash<QString, int> failAfterFrames;
    QStringList models{QStringLiteral("cosyvoice-v3-flash"), QStringLiteral("cosyvoice-v3-plus"),
                       QStringLiteral("cosyvoice-v2")};
    Fault fault;
};

struct ChatScript
{
    // Answers by the text of the last user message; otherwise the default,
    // which (when empty) repeats the question in a few sentences.
    QHash<QString, QString> answers;
    QString defaultAnswer;
    int chunkChars = 4;
    int chunkDelayMs = 20;
    bool crlf = false; // end event lines with CR LF instead of LF
    QStringList models{QStringLiteral("qwen3.5-flash"), QStringLiteral("qwen-plus"),
                       QStringLiteral("qwen-max"), QStringLiteral("qwen-turbo"), QStringLiteral("qwen-flash")};
    Fault fault;

    QString answerFor(const QString &question) const;
};

struct VisionScript
{
    QString reply = QStringLiteral("好的，我这就过去！");
    int delayMs = 0;
    QStringList models{QStringLiteral("qwen-vl-max"), QStringLiteral("qwen-vl-plus"),
                       QStringLiteral("qwen3-vl-plus"), QStringLiteral("qwen3-vl-flash")};
    Fault fault;
};

// A dictation's clean-up: a chat request whose user message holds the
// transcript in a <transcript> tag. The answer is the edit the mapping gives
// for the transcript, else the stand-in's own (fillers removed); or, by
// "behaviour", what a model does wrong instead: "answer" (a reply to the
// words), "preamble", "empty", "translate", "tag" (the edit still tagged),
// "think" (reasoning in the content before the edit) or "reasoning" (in
// reasoning_content). It starts after delayMs, in pieces of chunkChars every
// chunkDelayMs, or whole (one JSON completion even when a stream was asked
// for, as some servers answer). With refuseThinking, a request with
// enable_thinking is refused as a server without that switch refuses it.
struct CleanupScript
{
    QHash<QString, QString> edits;
    QString behaviour = QStringLiteral("edit");
    int delayMs = 0;
    int chunkChars = 8;
    int chunkDelayMs = 0;
    bool whole = false;
    bool refuseThinking = false;
    Fault fault;

    static const QStringList &behaviours();
};

// The custom vocabularies' requests: a fault ("http-error", "never-answer")
// instead of the answer, or a create answered without its ID; each answer
// after delayMs (the request itself takes effect at once).
struct CustomizationScript
{
    bool omitId = false;
    int delayMs = 0;
    Fault fault;
};

// The OpenAI-style audio interface (…/audio/transcriptions, …/audio/speech),
// as speech servers of that family answer it: the transcript (empty: the
// recognition sentences, joined) after delayMs, in events of chunkChars when
// a stream is asked for (unless ignoreStream: a plain JSON answer then, as
// whisper-1 gives); the speech's MP3 in pieces of chunkBytes every
// chunkDelayMs; the models each knows; the hosts that take requests with no
// key at all (a server on the user's own machine); a fault as for the chat
// ("http-error", "never-answer").
struct AudioApiScript
{
    QString transcript;
    int delayMs = 0;
    int chunkChars = 4;
    bool ignoreStream = false;
    int chunkBytes = 4096;
    int chunkDelayMs = 0;
    QStringList transcriptionModels{QStringLiteral("gpt-4o-mini-transcribe"), QStringLiteral("gpt-4o-transcribe"),
                                    QStringLiteral("whisper-1"), QStringLiteral("whisper-large-v3"),
                                    QStringLiteral("whisper-large-v3-turbo")};
    QStringList speechModels{QStringLiteral("gpt-4o-mini-tts"), QStringLiteral("tts-1"), QStringLiteral("tts-1-hd"),
                             QStringLiteral("kokoro")};
    QStringList keylessHosts;
    Fault fault;
};

// What the stand-in answers, per kind of request. Read from a JSON file at
// start and replaceable while running; every member is optional.
struct Scenario
{
    QString apiKey = QStringLiteral("sk-standin-0123456789");
    // Host name (as the client's Host header has it, without a port) → the
    // only key accepted there, as a region's hosts accept only its keys.
    // Hosts not listed take apiKey.
    QHash<QString, QString> hostKeys;
    RecognitionScript recognition;
    SynthesisScript synthesis;
    ChatScript chat;
    VisionScript vision;
    CleanupScript cleanup;
    CustomizationScript customization;
    AudioApiScript audio;

    // Nothing and a message naming the offending member on error.
    static std::optional<Scenario> fromJson(const QByteArray &json, QString *error);
};
