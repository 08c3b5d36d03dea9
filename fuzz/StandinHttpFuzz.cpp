// Requests reaching the stand-in's socket, in packets of any size: each is
// refused with a reason or read, and the split does not change what is read.
#include "FuzzChunks.h"
#include "HttpRequest.h"

#include <algorithm>

namespace {
struct Reading
{
    QList<HttpRequest> requests;
    QByteArray error;
};

Reading readAll(const QList<QByteArray> &packets)
{
    HttpRequestReader reader;
    Reading reading;
    for (const QByteArray &packet : packets) {
        // One request per feed; what follows it waits in the reader.
        for (auto request = reader.feed(packet); request; request = reader.feed({}))
            reading.requests.append(*request);
        if (!reader.error().isEmpty()) {
            reading.error = reader.error();
            break;
        }
    }
    return reading;
}

bool same(const QList<HttpRequest> &a, const QList<HttpRequest> &b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const HttpRequest &x, const HttpRequest &y) {
        return x.method == y.method && x.path == y.path && x.headers == y.headers && x.body == y.body;
    });
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const FuzzChunks input(data, size);
    const Reading whole = readAll({input.stream});
    const Reading split = readAll(input.packets());
    FUZZ_CHECK(split.error.isEmpty() == whole.error.isEmpty());
    if (whole.error.isEmpty())
        FUZZ_CHECK(same(split.requests, whole.requests));
    for (const HttpRequest &request : split.requests) {
        FUZZ_CHECK(request.body.size() <= HttpRequestReader::kMaxBodyBytes);
        (void)request.isWebSocketUpgrade();
    }
    return 0;
}
