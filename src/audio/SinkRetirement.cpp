#include "SinkRetirement.h"

#include <QAudioSink>
#include <QTimer>

namespace SinkRetirement {

void retire(std::unique_ptr<QAudioSink> sink, QObject *owner)
{
    if (!sink)
        return;
    sink->disconnect(owner);
    sink->stop();
    QAudioSink *kept = sink.release();
    kept->setParent(owner);
    QTimer::singleShot(kKeptMs, kept, &QObject::deleteLater);
}

} // namespace SinkRetirement
