#pragma once

#include "TestSupport.h"

#include <QProcess>

#include <gtest/gtest.h>

// A window with a line edit in another process, as the user's chat app.
class PasteTarget
{
public:
    explicit PasteTarget(const QProcessEnvironment &env, const QStringList &args = {})
    {
        using TestSupport::settle;
        using TestSupport::waitUntil;
        m_process.setProcessEnvironment(env);
        m_process.start(QStringLiteral(PASTE_TARGET_BINARY), args);
        EXPECT_TRUE(waitUntil([this] { return read().contains(QStringLiteral("ready")); }, 5000));
        settle(500); // mapped and focused
    }
    ~PasteTarget()
    {
        m_process.kill();
        m_process.waitForFinished();
    }
    // The line edit's text as last printed.
    QString text()
    {
        const QStringList lines = read();
        for (qsizetype i = lines.size() - 1; i >= 0; --i) {
            if (lines[i].startsWith(QStringLiteral("text:")))
                return lines[i].mid(5);
        }
        return {};
    }

    // Whether a click reached the window.
    bool clicked() { return read().join(QLatin1Char('\n')).contains(QStringLiteral("click:")); }
    // Whether the key (as Qt names it: "Esc", "C") reached the window.
    bool gotKey(const QString &name) { return read().contains(QStringLiteral("key:") + name); }

private:
    QStringList read()
    {
        m_output += QString::fromUtf8(m_process.readAllStandardOutput());
        return m_output.split(QLatin1Char('\n'));
    }
    QProcess m_process;
    QString m_output;
};
