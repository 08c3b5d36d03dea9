#pragma once

#include <QString>

#include <chrono>
#include <optional>

// How long the program waits for the service before it gives up and says so.
struct NetworkTimeouts
{
    // An HTTP request (chat, vision) fails after this long without a byte
    // moving; a streamed answer that keeps sending is never cut.
    std::chrono::milliseconds httpInactivity{60000};
    // A whole speech synthesis call.
    std::chrono::milliseconds synthesis{15000};
    // Recognition: from connecting to the task's start, and from the end of
    // the audio to the task's end.
    std::chrono::milliseconds recognitionStart{10000};
    std::chrono::milliseconds recognitionFinish{5000};
    // `doctor`'s check of the key and the endpoints, as a whole.
    std::chrono::milliseconds serviceCheck{8000};
    // A take sent to a transcription server: this long, and 1 s more for
    // every 2 s of audio (at most 3 minutes).
    std::chrono::milliseconds transcriptionBase{15000};

    // Every wait multiplied by a factor: longer for a slow link, much shorter
    // for tests that play an unanswering service.
    NetworkTimeouts scaled(double factor) const;

    // The defaults, scaled by $QUILLWREN_TIMEOUT_SCALE when that is a positive
    // number; a value that is not is reported in *problem and ignored.
    static NetworkTimeouts fromEnvironment(QString *problem = nullptr);
    static std::optional<double> parseScale(const QString &text);
};
