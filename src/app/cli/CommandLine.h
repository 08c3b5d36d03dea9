#pragma once

#include <QStringList>

class Application;
class QCoreApplication;

// The `quillwren` command line: one job per subcommand, run headless with the
// same services the tray application uses.
namespace CommandLine {

// args: the arguments after the program name. Returns the exit status.
int run(QCoreApplication &qtApp, Application &application, const QStringList &args);

QString usage();

// Whether the command needs a GUI application (clipboard, screens).
bool needsGui(const QStringList &args);

} // namespace CommandLine
