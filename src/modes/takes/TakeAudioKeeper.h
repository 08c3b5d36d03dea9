#pragma once

#include "TakeAudioFile.h"
#include "TakeAudioFolder.h"

#include <QString>

struct AppConfig;

// Keeps the audio of the take under way: written to a new file in the
// folder as it is heard; at the take's end kept or removed as the settings
// say ("failed": only when the take failed, was cancelled or lost its
// connection; "all"; "none": never written). Nothing is kept while the
// history is off.
class TakeAudioKeeper
{
public:
    explicit TakeAudioKeeper(TakeAudioFolder folder);

    struct Kept
    {
        QString path; // empty when nothing was kept
        qint64 lengthMs = -1;
        // Why the audio of a take that was to be kept could not be (a full
        // disk, a folder that cannot be made); empty otherwise.
        QString lost = {};
    };

    // A take starts (an unfinished one is ended as troubled).
    void begin(const AppConfig &config);
    void append(const QByteArray &pcm);
    // troubled: the take failed, was cancelled or lost its connection.
    Kept end(bool troubled);
    bool isKeeping() const { return m_writer.isOpen(); }

private:
    TakeAudioFolder m_folder;
    TakeAudioWriter m_writer;
    bool m_keepAll = false;
    bool m_writeFailed = false;
    // Why the take under way cannot be kept whole, if it cannot.
    QString m_problem;
};
