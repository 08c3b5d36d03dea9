#pragma once

#include <QByteArray>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QStringList>
#include <QTemporaryDir>

#include <QCoroTask>

#include <functional>

namespace TestSupport {

// Runs a coroutine to completion on a local event loop. Only tests do this:
// the program itself never spins a nested loop.
template <typename T>
T await(QCoro::Task<T> &&task)
{
    return QCoro::waitFor(std::move(task));
}

// Declares Qt warnings that the code under test is expected to cause while
// this lives; every other warning fails the running test. Each pattern may
// match any number of warnings.
class ExpectedWarnings
{
public:
    explicit ExpectedWarnings(const QStringList &patterns);
    ~ExpectedWarnings();
    ExpectedWarnings(const ExpectedWarnings &) = delete;
    ExpectedWarnings &operator=(const ExpectedWarnings &) = delete;

    // Whether a live declaration expects the message (the test main asks).
    static bool consume(const QString &message);

private:
    QList<QRegularExpression> m_patterns;
};

// Collects the log lines written while it lives.
class LogCapture
{
public:
    LogCapture();
    ~LogCapture();
    const QStringList &lines() const { return m_lines; }
    void clear() { m_lines.clear(); }
    // The lines that start with the prefix.
    QStringList linesStartingWith(const QString &prefix) const;

private:
    QStringList m_lines;
};

struct ProcessResult
{
    int exitCode = -1;
    bool crashed = false;
    QString out;
    QString err;
};

// Runs the quillwren binary with the given arguments, standard input and
// environment; fails the current test when it does not end within the bound.
ProcessResult runQuillwren(const QStringList &args, const QProcessEnvironment &env,
                           const QByteArray &input = {}, int timeoutMs = 30000);

// Processes events until the predicate holds or the time is up; answers the predicate.
bool waitUntil(const std::function<bool()> &predicate, int timeoutMs = 5000);

// Processes events for the given time: for checks that something does not happen.
void settle(int ms);

// Runs a program to completion (xdotool, secret-tool, ...); its exit code.
int runTool(const QString &program, const QStringList &args, int timeoutMs = 10000);
// The same, for its standard output (xwininfo, xdotool getwindowfocus, ...).
QString toolOutput(const QString &program, const QStringList &args, int *exitCode = nullptr, int timeoutMs = 10000);

// An environment whose settings live in a fresh folder (XDG_CONFIG_HOME), so
// that the program never touches the user's own.
QProcessEnvironment isolatedEnvironment(const QTemporaryDir &configHome);

} // namespace TestSupport
