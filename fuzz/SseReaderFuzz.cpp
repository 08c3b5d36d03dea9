// A streamed chat answer in packets of any size: the lines, and so the data
// the client decodes, do not depend on where the packets break.
#include "ChatRecords.h"
#include "FuzzChunks.h"
#include "SseLineReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const FuzzChunks input(data, size);
    SseLineReader whole;
    QList<QByteArray> expected = whole.feed(input.stream);
    expected += whole.finish();

    SseLineReader split;
    QList<QByteArray> lines;
    for (const QByteArray &packet : input.packets())
        lines += split.feed(packet);
    lines += split.finish();
    FUZZ_CHECK(lines == expected);

    for (const QByteArray &line : lines) {
        FUZZ_CHECK(!line.contains('\n') && !line.contains('\r'));
        if (const auto payload = SseLineReader::dataOf(line))
            (void)LLMResponse::fromJson(*payload);
    }
    return 0;
}
