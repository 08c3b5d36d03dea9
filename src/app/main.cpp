#include "CommandLine.h"

#include <QCoreApplication>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quillwren"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUILLWREN_VERSION));
    return CommandLine::run(app, QCoreApplication::arguments().mid(1));
}
