// The stand-in's readers of what a client sends: HTTP requests and WebSocket
// frames, in packets of any size, and their refusals.
#include "HttpRequest.h"
#include "WebSocketFrames.h"

#include <QtEndian>

#include <gtest/gtest.h>

using namespace WebSocketFrames;

namespace {

// A client frame: masked, with the header byte given whole (FIN, RSV, opcode).
QByteArray clientFrame(quint8 head, const QByteArray &payload, bool masked = true)
{
    QByteArray frame(1, char(head));
    const char maskBit = masked ? char(0x80) : char(0);
    if (payload.size() < 126) {
        frame.append(char(maskBit | char(payload.size())));
    } else {
        frame.append(char(maskBit | 126));
        char length[2];
        qToBigEndian(quint16(payload.size()), length);
        frame.append(length, 2);
    }
    if (!masked)
        return frame + payload;
    const QByteArray mask("\x0f\xa0\x5c\x33", 4);
    frame += mask;
    for (qsizetype i = 0; i < payload.size(); ++i)
        frame.append(char(payload[i] ^ mask[i % 4]));
    return frame;
}

QList<Message> feedByteByByte(Reader &reader, const QByteArray &bytes)
{
    QList<Message> messages;
    for (const char byte : bytes)
        messages += reader.feed(QByteArray(1, byte));
    return messages;
}

TEST(StandinWebSocketReader, FragmentsJoinAroundAControlFrameWhateverThePacketSizes)
{
    const QByteArray audio(300, '\x11');
    const QByteArray stream = clientFrame(0x02, audio.left(100)) // binary, not final
        + clientFrame(0x89, "ping") // a ping between the fragments
        + clientFrame(0x80, audio.mid(100)) // the final continuation
        + clientFrame(0x81, QByteArray("{\"header\":{}}"));
    for (const bool split : {false, true}) {
        Reader reader;
        const QList<Message> messages = split ? feedByteByByte(reader, stream) : reader.feed(stream);
        ASSERT_EQ(messages.size(), 3) << "split " << split;
        EXPECT_EQ(messages[0].opcode, Ping);
        EXPECT_EQ(messages[0].payload, "ping");
        EXPECT_EQ(messages[1].opcode, Binary);
        EXPECT_EQ(messages[1].payload, audio) << "unmasked and joined in order";
        EXPECT_EQ(messages[2].opcode, Text);
        EXPECT_TRUE(reader.protocolError().isEmpty());
    }
}

TEST(StandinWebSocketReader, FramesBreakingTheProtocolAreRefusedAndNothingOfThemIsDelivered)
{
    const struct
    {
        QByteArray bytes;
        QByteArray error;
    } cases[] = {
        {clientFrame(0x81, "x", false), "a client frame without a mask"},
        {clientFrame(0xC1, "x"), "a frame with reserved bits set"},
        {clientFrame(0x83, "x"), "an unknown opcode"},
        // Reserved control opcodes were once handed on as messages.
        {clientFrame(0x8B, "x"), "an unknown opcode"},
        {clientFrame(0x8F, ""), "an unknown opcode"},
        {clientFrame(0x09, "x"), "a fragmented or oversized control frame"},
        {clientFrame(0x89, QByteArray(126, 'p')), "a fragmented or oversized control frame"},
        {clientFrame(0x80, "x"), "a continuation frame without a message to continue"},
        {clientFrame(0x01, "a") + clientFrame(0x81, "b"), "a new message inside a fragmented one"},
    };
    for (const auto &c : cases) {
        Reader reader;
        EXPECT_TRUE(reader.feed(c.bytes).isEmpty()) << c.error.constData();
        EXPECT_EQ(reader.protocolError(), c.error);
    }

    Reader huge;
    QByteArray head("\x82\xff", 2);
    char length[8];
    qToBigEndian(quint64(1) << 63, length);
    EXPECT_TRUE(huge.feed(head + QByteArray(length, 8) + "mask").isEmpty());
    EXPECT_EQ(huge.protocolError(), "a frame larger than 64 MiB") << "a 2^63-byte length is not trusted";
}

TEST(StandinHttpReader, RequestsArriveInAnyPacketsAndFollowEachOther)
{
    const QByteArray bytes = "POST /compatible-mode/v1/chat/completions?x=1 HTTP/1.1\r\n"
                             "Content-Type: application/json\r\nContent-Length: 7\r\n\r\n{\"a\":1}"
                             "GET /api-ws/v1/inference HTTP/1.1\r\nUpgrade: WebSocket\r\n\r\n\x81\x80";
    HttpRequestReader reader;
    QList<HttpRequest> requests;
    for (const char byte : bytes) {
        for (auto request = reader.feed(QByteArray(1, byte)); request; request = reader.feed({}))
            requests.append(*request);
    }
    ASSERT_EQ(requests.size(), 2);
    EXPECT_EQ(requests[0].method, "POST");
    EXPECT_EQ(requests[0].path, QStringLiteral("/compatible-mode/v1/chat/completions"));
    EXPECT_EQ(requests[0].header("CONTENT-TYPE"), "application/json");
    EXPECT_EQ(requests[0].body, "{\"a\":1}");
    EXPECT_TRUE(requests[1].isWebSocketUpgrade());
    EXPECT_EQ(reader.leftover(), QByteArray("\x81\x80")) << "the client's first frame bytes wait for the WebSocket";
    EXPECT_TRUE(reader.error().isEmpty());
}

TEST(StandinHttpReader, WhatItCannotReadIsRefusedWithAReason)
{
    const struct
    {
        QByteArray bytes;
        QByteArray error;
    } cases[] = {
        {"HELLO\r\n\r\n", "not an HTTP/1.x request line"},
        {"GET / HTTP/2\r\n\r\n", "not an HTTP/1.x request line"},
        {"POST / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n", "chunked request bodies are not supported"},
        {"POST / HTTP/1.1\r\nContent-Length: -4\r\n\r\n", "bad Content-Length"},
        {"POST / HTTP/1.1\r\nContent-Length: 12abc\r\n\r\n", "bad Content-Length"},
        {"POST / HTTP/1.1\r\nContent-Length: 99999999999\r\n\r\n", "bad Content-Length"},
        {"GET / HTTP/1.1\r\nX: " + QByteArray(HttpRequestReader::kMaxHeadBytes, 'x'), "request head too large"},
    };
    for (const auto &c : cases) {
        HttpRequestReader reader;
        reader.setAcceptChunked(false); // as strict
        EXPECT_FALSE(reader.feed(c.bytes)) << c.error.constData();
        EXPECT_EQ(reader.error(), c.error);
    }
}

TEST(StandinHttpReader, AChunkedBodyIsJoinedHoweverItArrivesAndABadOneRefused)
{
    const QByteArray head = "POST /v1/audio/transcriptions HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n";
    const QByteArray bytes = head + "5\r\nhello\r\n7;ext=1\r\n, world\r\n0\r\nX-Trailer: 1\r\n\r\n" + head + "0\r\n\r\n";
    HttpRequestReader reader;
    QList<HttpRequest> requests;
    for (const char byte : bytes) {
        for (auto request = reader.feed(QByteArray(1, byte)); request; request = reader.feed({}))
            requests.append(*request);
    }
    ASSERT_EQ(requests.size(), 2) << reader.error().constData();
    EXPECT_EQ(requests[0].body, "hello, world");
    EXPECT_EQ(requests[1].body, "");

    const struct
    {
        QByteArray chunks;
        QByteArray error;
    } bad[] = {
        {"zz\r\nhello\r\n", "bad chunk size line"},
        {"5\r\nhelloXX", "a chunk does not end with CRLF"},
        {"5000001\r\n", "request body too large"},
    };
    for (const auto &b : bad) {
        HttpRequestReader chunked;
        EXPECT_FALSE(chunked.feed(head + b.chunks));
        EXPECT_EQ(chunked.error(), b.error);
    }
}

} // namespace
