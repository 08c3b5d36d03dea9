// Client frames reaching the stand-in, in packets of any size: a protocol
// error or whole messages, the same for any split.
#include "FuzzChunks.h"
#include "WebSocketFrames.h"

namespace {
struct Reading
{
    QList<WebSocketFrames::Message> messages;
    QByteArray error;
};

Reading readAll(const QList<QByteArray> &packets)
{
    WebSocketFrames::Reader reader;
    Reading reading;
    for (const QByteArray &packet : packets) {
        reading.messages += reader.feed(packet);
        if (!reader.protocolError().isEmpty()) {
            reading.error = reader.protocolError();
            break;
        }
    }
    return reading;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace WebSocketFrames;
    const FuzzChunks input(data, size);
    const Reading whole = readAll({input.stream});
    const Reading split = readAll(input.packets());
    FUZZ_CHECK(split.error == whole.error);
    FUZZ_CHECK(split.messages.size() == whole.messages.size());
    for (qsizetype i = 0; i < split.messages.size(); ++i) {
        const Message &message = split.messages[i];
        FUZZ_CHECK(message.opcode == whole.messages[i].opcode && message.payload == whole.messages[i].payload);
        const bool known = message.opcode == Text || message.opcode == Binary || message.opcode == Close
            || message.opcode == Ping || message.opcode == Pong;
        FUZZ_CHECK(known);
        if (message.opcode >= Close)
            FUZZ_CHECK(message.payload.size() <= 125);
    }
    return 0;
}
