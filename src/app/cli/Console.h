#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// Plain text for the command line's user: results on standard output,
// complaints on standard error, both UTF-8 and flushed at once so that they
// interleave correctly with log lines.
namespace Console {

void out(const QString &text);
// Without a line break, for text that arrives in pieces.
void outPiece(const QString &text);
void err(const QString &text);

// The exit statuses of every command.
enum ExitStatus { Success = 0, Failure = 1, UsageError = 2 };

// Writes a command's result file whole or not at all (an existing file is
// never left half replaced) and says so: "PATH (N bytes)" on standard output,
// or why not on standard error. Success or Failure.
ExitStatus writeResultFile(const QString &path, const QByteArray &data);

// Reads a secret from standard input: one line typed without echo when it is a
// terminal, else everything up to end of input. The final line break is dropped;
// blanks are kept. Nothing when the input cannot be read.
std::optional<QString> readSecret(const QString &prompt);

} // namespace Console
