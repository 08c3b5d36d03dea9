#pragma once

#include <QString>

#include <functional>

// The one logging helper: every log line of the program goes through here.
// A line is one event: an emoji, a bracketed component tag, then the text.
namespace Log {

// Writes one line to standard output and flushes it. Line breaks inside the
// text are folded into blanks so that an event never spans two lines.
void line(const QString &text);

// The only form in which an API key may appear in output: its first four
// characters, "****" and its last four when it has at least nine characters,
// else just "****".
QString maskApiKey(const QString &key);

// Sends the lines to standard error instead: for commands whose standard
// output is their result (an answer, a reply).
void useStandardError();

// Test seam: while a sink is set, lines go to it instead of standard output.
using Sink = std::function<void(const QString &)>;
void setSink(Sink sink);

} // namespace Log
