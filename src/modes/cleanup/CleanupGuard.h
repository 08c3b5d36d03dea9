#pragma once

#include <QString>

// Whether a model's answer is an edit of the dictated words, or something
// else that must never be typed in their place (an answer to them, a
// summary, a translation, a preamble, the prompt's tag, nothing).
//
// Texts are compared as units (TextUnits: a CJK character, a word, a number
// however written; punctuation and spaces count for nothing). A clean-up
// removes fillers and false starts, adds punctuation and writes numbers as
// digits; it keeps the rest of the transcript's units in their order. So, with n the
// transcript's units, s those of them that are not fillers or stutters (a
// guess from a short list: 嗯, 那个, 就是说, um, uh, a unit said twice), m the
// answer's units and k the longest run of units both share in order:
// - far longer: m > 1.5 n + 8 (a list's numbers and a little slack; an
//   answer or an explanation adds far more);
// - far shorter: m + 3 < 0.4 s (corrections rarely take more than half of
//   what is said; a summary keeps far less);
// - not the transcript's words: k < 0.7 m - 2 (at most about a third of the
//   answer new: digits for numbers, list markers; an answer of the same
//   length is mostly new);
// - too little of the transcript kept: k < 0.5 s - 1 (a sentence dropped,
//   an instruction in it obeyed);
// - another script: the transcript's main script (the one most of its units
//   are written in, from three units on) makes up less than half as large a
//   share of the answer (a translation, which shares no units, is caught by
//   the others too; this names it).
// The slack terms keep short takes, where one filler is a large share, from
// being refused.
namespace CleanupGuard {

enum class Verdict {
    Accepted,
    Empty,
    HoldsTag,
    Preamble,
    OtherScript,
    FarLonger,
    FarShorter,
    OtherWords,
    TooLittleKept,
};

struct Check
{
    Verdict verdict = Verdict::Accepted;
    // The edited text to type when accepted: the answer without reasoning,
    // surrounding blanks or quotes the transcript did not have.
    QString text;
    // The figures behind the verdict, for the log.
    QString detail;
};

// The answer as a model streamed it, checked against the transcript.
Check check(const QString &transcript, const QString &answer);
// The content without reasoning some servers put into it ("<think>...</think>",
// also one left open, which is all reasoning).
QString withoutReasoning(const QString &content);
// Why the answer was not typed, as the status says it (translated where shown).
QString reason(Verdict verdict);
// The verdict's name for the log.
const char *name(Verdict verdict);

} // namespace CleanupGuard
