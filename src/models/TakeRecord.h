#pragma once

#include "AppMode.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <optional>

// One take as the history keeps it: what was said (or drafted), as heard
// too where a clean-up changed it, the answer
// where there was one, how it ended, how long the words took after the key
// was let go, and where its audio is kept. Never holds the API key.
struct TakeRecord
{
    // How a take ended, by its stored name.
    static constexpr auto kPasted = "pasted";       // typed into the focused window
    static constexpr auto kSpoken = "spoken";       // the chat's answer was spoken
    static constexpr auto kClipboard = "clipboard"; // left on the clipboard only
    static constexpr auto kFailed = "failed";
    static constexpr auto kCancelled = "cancelled";

    QDateTime time;
    AppMode mode = AppMode::VoiceInput;
    QString text;
    QString answer;
    QString ending;
    // From the release to the words; -1 when not known.
    qint64 latencyMs = -1;
    // The take's kept audio and its length; empty and -1 when none is kept.
    QString audio;
    qint64 audioMs = -1;
    // Why a take failed or was cancelled, as its status said; empty for the others.
    QString reason = {};
    // What the recogniser heard, where a clean-up changed it before it was
    // typed (text holds what was typed); empty for the others.
    QString raw = {};

    friend bool operator==(const TakeRecord &, const TakeRecord &) = default;

    // One line of compact JSON, without the newline.
    QByteArray toJson() const;
    // Nothing when the line is not a whole record (a line cut short by a
    // crash included).
    static std::optional<TakeRecord> fromJson(const QByteArray &line);
};
