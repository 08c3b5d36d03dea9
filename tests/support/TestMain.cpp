#include "ProcessEnd.h"
#include "TestSupport.h"

#include <QCoreApplication>
#include <QApplication>

#include <gtest/gtest.h>

#include <cstdio>

namespace {
QtMessageHandler previousHandler = nullptr;

// A Qt warning nobody expected fails the test that caused it: it is how Qt
// reports a misuse (a bad connection, a timer on a dead object, a socket
// used in the wrong state) that would otherwise pass unnoticed.
void failOnUnexpectedWarnings(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtWarningMsg || type == QtCriticalMsg) {
        if (!TestSupport::ExpectedWarnings::consume(message)) {
            ADD_FAILURE() << "unexpected Qt " << (type == QtWarningMsg ? "warning" : "critical message") << ": "
                          << message.toStdString();
        }
    }
    previousHandler(type, context, message);
}
} // namespace

// Every test program runs with a Qt application, so that timers, sockets and
// coroutines behave as they do in the program. QUILLWREN_TEST_GUI asks for a
// GUI application (clipboard, screens, widgets) on the offscreen platform;
// QUILLWREN_TEST_GUI=xcb for one on the X server of $DISPLAY.
int main(int argc, char *argv[])
{
    // The tests check the windows' texts in their Chinese originals: the
    // application processes they start get them whatever this machine's
    // language is (a test that wants another sets its own).
    qputenv("LANGUAGE", "zh_CN");
    const bool gui = qEnvironmentVariableIsSet("QUILLWREN_TEST_GUI");
    if (qgetenv("QUILLWREN_TEST_GUI") == "xcb")
        qputenv("QT_QPA_PLATFORM", "xcb");
    else if (gui && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    std::unique_ptr<QCoreApplication> app = gui ? std::make_unique<QApplication>(argc, argv)
                                                : std::make_unique<QCoreApplication>(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    previousHandler = qInstallMessageHandler(failOnUnexpectedWarnings);
    const int status = RUN_ALL_TESTS();
    app.reset();
    // As the program ends: without the libraries' static destructors.
    ProcessEnd::now(status);
}
