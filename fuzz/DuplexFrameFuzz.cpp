// The frames the service sends on the duplex WebSocket: any text is either
// refused or read into an event with its optional parts.
#include "DuplexProtocol.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray text(reinterpret_cast<const char *>(data), qsizetype(size));
    const auto frame = DuplexProtocol::parse(text);
    if (!frame)
        return 0;
    (void)DuplexProtocol::errorMessage(frame->header);
    if (frame->payload) {
        (void)DuplexProtocol::sentenceText(*frame->payload);
        (void)DuplexProtocol::sentenceFlag(*frame->payload, QStringLiteral("sentence_end"));
        (void)DuplexProtocol::billedDuration(*frame->payload);
    }
    return 0;
}
