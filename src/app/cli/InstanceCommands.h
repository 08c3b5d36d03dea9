#pragma once

#include <QStringList>

#include <optional>

// `quillwren status`, `quillwren settings`, `quillwren quit` and the
// binding commands: ask the running instance over the session bus. Exit status 1, with a message, when
// none runs (`settings` starts one first).
namespace InstanceCommands {

int status(const QStringList &args);
int quit(const QStringList &args);
// How long `settings` waits for an application it started to be on the bus.
constexpr int kStartWaitMs = 10000;
int settings(const QStringList &args);
// `hold MODE`, `release [MODE]`, `toggle MODE` (command is the first word):
// the mode key going down and up, for the desktop's own key bindings. An
// unknown mode is a usage error (2).
int binding(const QString &command, const QStringList &args);
// `retry [N]`: the running instance sends a kept take's audio again; prints
// the status it ended with. 1 when it failed (why on standard error).
int retry(const QStringList &args);
// The running instance's capability lines; nullopt when none runs.
std::optional<QStringList> instanceCapabilities();

} // namespace InstanceCommands
