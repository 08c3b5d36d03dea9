#pragma once

#include "AppMode.h"
#include "TakeRecord.h"
#include "UserText.h"

#include <QString>

// How a run ended: the status line it leaves, and what kind of ending it was,
// so that the shell can tell a user who is looking elsewhere about the
// endings that need them (a failure, words left on the clipboard).
struct RunEnding
{
    enum class Kind {
        Done,         // the text was typed or the answer spoken
        OnClipboard,  // the text could not be typed: it waits on the clipboard
        Failed,       // nothing came of it because something failed
        NothingHeard, // the recording held no speech
        Cancelled,    // the user cancelled the take
    };

    Kind kind = Kind::Done;
    QString status;
    // What the user may need besides the status: the start of the words left
    // on the clipboard, or the failure behind an ending that hides it.
    QString detail;

    bool needsAttention() const { return kind == Kind::OnClipboard || kind == Kind::Failed; }
    bool isFailure() const { return kind == Kind::Failed || kind == Kind::NothingHeard; }

    // How the history names this ending of a take of the mode.
    QString historyName(AppMode mode) const
    {
        switch (kind) {
        case Kind::Done:
            return QString::fromLatin1(mode == AppMode::ChatAssistant ? TakeRecord::kSpoken : TakeRecord::kPasted);
        case Kind::OnClipboard:
            return QString::fromLatin1(TakeRecord::kClipboard);
        case Kind::Cancelled:
            return QString::fromLatin1(TakeRecord::kCancelled);
        case Kind::Failed:
        case Kind::NothingHeard:
            break;
        }
        return QString::fromLatin1(TakeRecord::kFailed);
    }

    static RunEnding done(const QString &status) { return {Kind::Done, status, {}}; }
    static RunEnding failed(const QString &status, const QString &detail = {}) { return {Kind::Failed, status, detail}; }
    // The status says the words are on the clipboard; the detail starts them.
    static RunEnding onClipboard(const QString &text)
    {
        return {Kind::OnClipboard, UserText::of(QT_TRANSLATE_NOOP("UserText", "文本已复制到剪贴板，请手动粘贴")),
                firstWords(text)};
    }

    // The first words of a text, for a glance: at most 40 characters, cut
    // with an ellipsis, on one line.
    static QString firstWords(const QString &text)
    {
        QString line = text.simplified();
        constexpr qsizetype kMax = 40;
        if (line.size() > kMax) {
            qsizetype keep = kMax - 1;
            if (line.at(keep - 1).isHighSurrogate())
                --keep; // never half a character
            line = line.left(keep) + QChar(0x2026);
        }
        return line;
    }
};
