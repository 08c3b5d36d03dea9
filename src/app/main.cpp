#include "Application.h"
#include "CommandLine.h"
#include "Memory.h"
#include "ProcessEnd.h"
#include "Translations.h"

#include <QCoreApplication>
#include <QApplication>

#include <memory>

int main(int argc, char *argv[])
{
    Memory::configureAllocator(); // before anything allocates
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    // The clipboard, the screens and the windows need a GUI application; the
    // rest runs without a display. They go through X: in a Wayland session
    // through XWayland (the xcb plugin, chosen before Qt would pick its
    // Wayland one), so that the indicator can place itself and the paste and
    // the capture have an X server to talk to. With no X display at all, an
    // offscreen one lets the command say so instead of aborting.
    if (CommandLine::needsGui(args) && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", qEnvironmentVariableIsEmpty("DISPLAY") ? "offscreen" : "xcb");
    int status = 0;
    {
        std::unique_ptr<QCoreApplication> qtApplication = CommandLine::needsGui(args)
                                                            ? std::make_unique<QApplication>(argc, argv)
                                                            : std::make_unique<QCoreApplication>(argc, argv);
        QCoreApplication &app = *qtApplication;
        QCoreApplication::setApplicationName(QStringLiteral("quillwren"));
        QCoreApplication::setApplicationVersion(QStringLiteral(QUILLWREN_VERSION));
        Translations::install(app);
        Application quillwren; // after Qt's application: its backends need one
        status = CommandLine::run(app, quillwren, QCoreApplication::arguments().mid(1));
    } // the application, then Qt's: everything of ours ends here
    ProcessEnd::now(status);
}
