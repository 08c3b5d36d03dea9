#pragma once

#include "NetworkTimeouts.h"

#include <chrono>

// The recogniser's waits and delays; tests shorten them.
struct RealtimeASRTimings
{
    std::chrono::milliseconds runTaskDelay{300};
    std::chrono::milliseconds connectTimeout = NetworkTimeouts().recognitionStart;
    std::chrono::milliseconds finishTimeout = NetworkTimeouts().recognitionFinish;
    std::chrono::milliseconds pingInterval{15000};
    std::chrono::milliseconds reconnectDelay{300};
    std::chrono::milliseconds audioRetryDelay{150};
    std::chrono::milliseconds audioRestartDelay{300};
    // How long the recording goes on after the key's release: what was said
    // just before it is still in the audio path (the device's period, the
    // server's 40 ms buffer, our read), and people let go of the key while
    // the last syllable is still sounding. On the test desktop 80 ms kept a
    // word that ended 30 ms after the release; 100 leaves room for a real
    // device's period.
    std::chrono::milliseconds captureTail{100};
};
