#pragma once

#include <memory>

class QAudioSink;
class QObject;

// Qt 6.4's PulseAudio sink asks the server to drain a stream whose source
// has reached its end and names itself as the drain's receiver; closing the
// sink does not withdraw that, so a reply that comes after the sink was
// deleted calls into freed memory (the crash seen when a sound ends on a busy
// server). A sink that is done with is therefore stopped and kept, as a child
// of its owner, for a few seconds before it is deleted: by then the server
// has answered or forgotten the stream.
namespace SinkRetirement {

inline constexpr int kKeptMs = 5000;

// Stops the sink now and deletes it kKeptMs later, or with its owner.
void retire(std::unique_ptr<QAudioSink> sink, QObject *owner);

} // namespace SinkRetirement
