// The GlobalShortcuts portal of a desktop as the tests play it, on the
// session bus of $DBUS_SESSION_BUS_ADDRESS: it binds what the client asks
// for, with the chords the client suggests, and reads what the user does
// from standard input, one line each: "activate ID" (the shortcut's keys go
// down), "deactivate ID" (they come up). Prints "ready" once it holds the
// portal's name; ends with standard input.

#include "FakePortal.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <cstdio>
#include <unistd.h>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    FakePortal portal(0);
    portal.screenshotVersion = 0;
    portal.globalShortcutsVersion = 1;
    if (!portal.start()) {
        std::fprintf(stderr, "shortcuts-portal: the portal's name is taken\n");
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QByteArray pending;
    QObject::connect(&input, &QSocketNotifier::activated, &app, [&] {
        char buffer[256];
        const ssize_t count = read(STDIN_FILENO, buffer, sizeof buffer);
        if (count <= 0) {
            QCoreApplication::quit();
            return;
        }
        pending.append(buffer, count);
        for (qsizetype end = pending.indexOf('\n'); end >= 0; end = pending.indexOf('\n')) {
            const QList<QByteArray> words = pending.left(end).trimmed().split(' ');
            pending.remove(0, end + 1);
            if (words.size() != 2)
                continue;
            const QString id = QString::fromUtf8(words[1]);
            if (words[0] == "activate")
                portal.activate(id);
            else if (words[0] == "deactivate")
                portal.deactivate(id);
            std::printf("%s %s\n", words[0].constData(), words[1].constData());
            std::fflush(stdout);
        }
    });
    return app.exec();
}
