#pragma once

#include <QByteArray>
#include <QList>

#include <optional>

// The server side of the WebSocket wire format: the handshake's accept value,
// an incremental reader of client frames (masked, possibly fragmented) and the
// writer of server frames (never masked).
namespace WebSocketFrames {

enum Opcode : quint8 { Continuation = 0x0, Text = 0x1, Binary = 0x2, Close = 0x8, Ping = 0x9, Pong = 0xA };

// Sec-WebSocket-Accept for a client's Sec-WebSocket-Key.
QByteArray acceptKey(const QByteArray &clientKey);

QByteArray encode(Opcode opcode, const QByteArray &payload);
QByteArray closeFrame(quint16 code, const QByteArray &reason = {});
// The status code a close frame's payload carries (1005: none).
int closeCode(const QByteArray &payload);

// One complete message (fragments joined) or control frame.
struct Message
{
    Opcode opcode;
    QByteArray payload;
};

class Reader
{
public:
    // Appends bytes from the socket; returns the messages completed by them.
    QList<Message> feed(const QByteArray &bytes);
    // Set when the client broke the protocol (unmasked frame, bad opcode, ...).
    const QByteArray &protocolError() const { return m_error; }
    static constexpr qint64 kMaxMessageBytes = 64 * 1024 * 1024;

private:
    std::optional<Message> takeFrame();

    QByteArray m_buffer;
    QByteArray m_error;
    std::optional<Opcode> m_fragmentOpcode;
    QByteArray m_fragments;
};

} // namespace WebSocketFrames
