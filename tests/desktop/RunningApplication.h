#pragma once

#include "CommandFixture.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <gtest/gtest.h>

#include <iostream>

// The real application process on the headless desktop, against the
// stand-in served by this test: keys through xdotool, speech into the
// virtual microphone, text into a window of another process.
class RunningApplication : public CommandFixture
{
protected:
    void SetUp() override
    {
        CommandFixture::SetUp();
        startApplication();
    }

    // Starts the application (again, after a quit: its log starts afresh).
    void startApplication()
    {
        output.clear();
        QProcessEnvironment appEnv = env;
        // On the accessibility bus, so that tests reach its windows as a screen reader does.
        appEnv.insert(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
        appEnv.insert(QStringLiteral("QT_ACCESSIBILITY"), QStringLiteral("1"));
        adjustEnvironment(appEnv);
        app.setProcessEnvironment(appEnv);
        app.start(QStringLiteral(QUILLWREN_BINARY), {QStringLiteral("run")});
        ASSERT_TRUE(TestSupport::waitUntil([this] { return logged(QStringLiteral("🟢 事件监听已启用")); }, 8000))
            << log().toStdString();
    }

    void TearDown() override
    {
        TestSupport::runTool(QStringLiteral("xdotool"), {QStringLiteral("keyup"), QStringLiteral("alt"),
                                                         QStringLiteral("ctrl"), QStringLiteral("super"),
                                                         QStringLiteral("shift")});
        if (app.state() != QProcess::NotRunning) {
            app.terminate();
            app.waitForFinished(5000);
        }
        if (HasFailure()) {
            std::cerr << log().toStdString() << "\nexit status " << int(app.exitStatus()) << " code " << app.exitCode()
                      << std::endl;
        }
    }

    // What a test adds to the application's environment before it starts.
    virtual void adjustEnvironment(QProcessEnvironment &appEnv) { Q_UNUSED(appEnv); }

    const QString &log()
    {
        output += QString::fromUtf8(app.readAllStandardError());
        return output;
    }
    bool logged(const QString &text) { return log().contains(text); }
    // A line the application writes before an effect this test saw may still
    // be in the pipe: waits a little for it.
    bool loggedSoon(const QString &text) { return TestSupport::waitUntil([&] { return logged(text); }, 3000); }

    // What the desktop's clipboard holds (this application serves it).
    QString clipboard()
    {
        return TestSupport::toolOutput(QStringLiteral("xclip"),
                                       {QStringLiteral("-o"), QStringLiteral("-selection"), QStringLiteral("clipboard")});
    }

    QJsonObject status()
    {
        const auto result = run({QStringLiteral("status")});
        EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
        return QJsonDocument::fromJson(result.out.toUtf8()).object();
    }

    // Holds the key for the time, then lets it go.
    void press(const QString &key, int holdMs)
    {
        ASSERT_EQ(TestSupport::runTool(QStringLiteral("xdotool"), {QStringLiteral("keydown"), key}), 0);
        TestSupport::settle(holdMs);
        ASSERT_EQ(TestSupport::runTool(QStringLiteral("xdotool"), {QStringLiteral("keyup"), key}), 0);
    }

    // Waits until the run under way has ended; the status it ended with.
    QString endingStatus()
    {
        QString message;
        EXPECT_TRUE(TestSupport::waitUntil([&] {
            TestSupport::settle(100);
            const QJsonObject now = status();
            message = now[QStringLiteral("statusMessage")].toString();
            return !now[QStringLiteral("isProcessing")].toBool() && now[QStringLiteral("currentMode")].isNull();
        }, 15000));
        return message;
    }

    bool idleWith(const QString &message)
    {
        const QJsonObject now = status();
        return now[QStringLiteral("statusMessage")].toString() == message && !now[QStringLiteral("isProcessing")].toBool()
               && now[QStringLiteral("currentMode")].isNull();
    }

#ifdef ATSPI_DRIVER
    // Runs the accessibility driver (helpers/atspi-drive.py) against the
    // application; its output.
    QString drive(const QStringList &args, int *exitCode = nullptr)
    {
        int status = -1;
        const QString out = TestSupport::toolOutput(
            QStringLiteral("/usr/bin/python3"), QStringList{QStringLiteral(ATSPI_DRIVER), QStringLiteral("quillwren")} + args,
            &status, 20000);
        if (exitCode)
            *exitCode = status;
        return out.trimmed();
    }
    bool act(const QStringList &args)
    {
        int status = -1;
        drive(args, &status);
        return status == 0;
    }
    // How many of the application's windows have the title.
    int windows(const QString &title) { return drive({QStringLiteral("windows"), title}).toInt(); }
#endif

    // Closes the window as a user does: focused, then the window manager's Alt+F4.
    void closeWithAltF4(const QString &title)
    {
        const QString window = TestSupport::toolOutput(QStringLiteral("xdotool"),
                                                       {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                                        QStringLiteral("--name"), title})
                                   .split(QLatin1Char('\n'), Qt::SkipEmptyParts)
                                   .value(0);
        ASSERT_FALSE(window.isEmpty()) << "no window " << title.toStdString() << " on the X server";
        ASSERT_EQ(TestSupport::runTool(QStringLiteral("xdotool"),
                                       {QStringLiteral("windowactivate"), QStringLiteral("--sync"), window}),
                  0);
        ASSERT_EQ(TestSupport::runTool(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("alt+F4")}), 0);
    }

    qsizetype audioFramesReceived() const { return server.recorder().recordsOfKind(QStringLiteral("ws-binary")).size(); }

    // Speaks a second of tone into the microphone once the recording has
    // started (once frames beyond framesBefore reach the stand-in).
    void speakWhileRecording(qsizetype framesBefore)
    {
        ASSERT_TRUE(TestSupport::waitUntil([&] { return audioFramesReceived() > framesBefore; }, 8000))
            << "the recording never started";
        const QString wav = writeTone(dir.filePath(QStringLiteral("speech.wav")), 16000, 1, 1.0);
        QProcess speaker;
        speaker.start(QStringLiteral("paplay"), {QStringLiteral("--device=vmic_sink"), wav});
        TestSupport::settle(1400);
        speaker.kill(); // paplay lingers draining the null sink; the tone has been heard
        speaker.waitForFinished(5000);
    }

    // An xterm running the shell command, with the keyboard focus.
    void openFocusedXterm(QProcess &xterm, const QString &command)
    {
        xterm.setProcessEnvironment(env);
        xterm.start(QStringLiteral("xterm"), {QStringLiteral("-e"), QStringLiteral("sh"), QStringLiteral("-c"), command});
        ASSERT_EQ(TestSupport::runTool(QStringLiteral("xdotool"),
                                       {QStringLiteral("search"), QStringLiteral("--sync"), QStringLiteral("--class"),
                                        QStringLiteral("xterm"), QStringLiteral("windowactivate"), QStringLiteral("--sync")}),
                  0);
        TestSupport::settle(300);
    }

    // An xterm with the keyboard focus whose input (raw, unechoed) goes to a
    // file; typedIntoXterm() reads it.
    void openTypingXterm(QProcess &xterm)
    {
        openFocusedXterm(xterm, QStringLiteral("stty raw -echo; exec cat > '%1'").arg(xtermFile()));
    }
    QString typedIntoXterm()
    {
        QFile file(xtermFile());
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }
    QString xtermFile() const { return dir.filePath(QStringLiteral("typed.txt")); }

    // Holds the key, speaks a second of tone once the recording runs, releases.
    void holdAndSpeak(const QString &key)
    {
        const qsizetype before = audioFramesReceived();
        ASSERT_EQ(TestSupport::runTool(QStringLiteral("xdotool"), {QStringLiteral("keydown"), key}), 0);
        speakWhileRecording(before);
        ASSERT_EQ(TestSupport::runTool(QStringLiteral("xdotool"), {QStringLiteral("keyup"), key}), 0);
    }

    QTemporaryDir dir;
    QProcess app;
    QString output;
};

// The running application with the service's waits cut to a twentieth, so
// that an unanswered request is given up on after 3 s instead of 60.
class RunningApplicationWithShortWaits : public RunningApplication
{
protected:
    void adjustEnvironment(QProcessEnvironment &appEnv) override
    {
        appEnv.insert(QStringLiteral("QUILLWREN_TIMEOUT_SCALE"), QStringLiteral("0.05"));
    }
};
