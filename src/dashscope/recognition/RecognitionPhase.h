#pragma once

// Where a recording stands.
enum class RecognitionPhase {
    Idle,         // not recording: no audio goes up
    Recording,    // audio streams into the running task
    Reconnecting, // the user still records, the task is being replaced; audio waits
    Offline,      // the task could not start: audio is only kept
};
