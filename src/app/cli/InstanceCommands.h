#pragma once

#include <QStringList>

// `quillwren status`, `quillwren settings` and `quillwren quit`: ask the
// running instance over the session bus. Exit status 1, with a message, when
// none runs (`settings` starts one first).
namespace InstanceCommands {

int status(const QStringList &args);
int quit(const QStringList &args);
// How long `settings` waits for an application it started to be on the bus.
constexpr int kStartWaitMs = 10000;
int settings(const QStringList &args);

} // namespace InstanceCommands
