#pragma once

#include <QString>

// What the recogniser (and the file recorder) is doing, for the user interface.
class RecordingState
{
public:
    enum class Kind { Idle, Recording, Processing, Error };

    RecordingState() = default;
    static RecordingState idle() { return RecordingState(Kind::Idle, {}); }
    static RecordingState recording() { return RecordingState(Kind::Recording, {}); }
    static RecordingState processing() { return RecordingState(Kind::Processing, {}); }
    static RecordingState error(const QString &message) { return RecordingState(Kind::Error, message); }

    Kind kind() const { return m_kind; }
    bool isError() const { return m_kind == Kind::Error; }
    // The message of an error state; empty otherwise.
    const QString &errorMessage() const { return m_message; }

    friend bool operator==(const RecordingState &, const RecordingState &) = default;

private:
    RecordingState(Kind kind, QString message) : m_kind(kind), m_message(std::move(message)) {}

    Kind m_kind = Kind::Idle;
    QString m_message;
};
