#pragma once

#include <QStringList>

// `quillwren status` and `quillwren quit`: ask the running instance over the
// session bus. Exit status 1, with a message, when none runs.
namespace InstanceCommands {

int status(const QStringList &args);
int quit(const QStringList &args);

} // namespace InstanceCommands
