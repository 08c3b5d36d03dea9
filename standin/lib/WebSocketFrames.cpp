#include "WebSocketFrames.h"

#include <QCryptographicHash>
#include <QtEndian>

namespace WebSocketFrames {

QByteArray acceptKey(const QByteArray &clientKey)
{
    return QCryptographicHash::hash(clientKey.trimmed() + "258EAFA5-E914-47DA-95CA-C5AB0DC85B11",
                                    QCryptographicHash::Sha1)
        .toBase64();
}

QByteArray encode(Opcode opcode, const QByteArray &payload)
{
    QByteArray frame;
    frame.append(char(0x80 | opcode));
    const qint64 size = payload.size();
    if (size < 126) {
        frame.append(char(size));
    } else if (size <= 0xFFFF) {
        frame.append(char(126));
        char length[2];
        qToBigEndian(quint16(size), length);
        frame.append(length, 2);
    } else {
        frame.append(char(127));
        char length[8];
        qToBigEndian(quint64(size), length);
        frame.append(length, 8);
    }
    return frame + payload;
}

int closeCode(const QByteArray &payload)
{
    return payload.size() >= 2 ? (uchar(payload[0]) << 8 | uchar(payload[1])) : 1005;
}

QByteArray closeFrame(quint16 code, const QByteArray &reason)
{
    char bytes[2];
    qToBigEndian(code, bytes);
    return encode(Close, QByteArray(bytes, 2) + reason);
}

QList<Message> Reader::feed(const QByteArray &bytes)
{
    m_buffer += bytes;
    QList<Message> messages;
    while (m_error.isEmpty()) {
        auto message = takeFrame();
        if (!message)
            break;
        messages.append(*message);
    }
    return messages;
}

std::optional<Message> Reader::takeFrame()
{
    for (;;) {
        if (m_buffer.size() < 2)
            return std::nullopt;
        const auto *data = reinterpret_cast<const uchar *>(m_buffer.constData());
        const bool fin = data[0] & 0x80;
        const bool reservedBits = data[0] & 0x70;
        const auto opcode = Opcode(data[0] & 0x0F);
        const bool masked = data[1] & 0x80;
        quint64 length = data[1] & 0x7F;
        qsizetype offset = 2;
        if (length == 126) {
            if (m_buffer.size() < 4)
                return std::nullopt;
            length = qFromBigEndian<quint16>(data + 2);
            offset = 4;
        } else if (length == 127) {
            if (m_buffer.size() < 10)
                return std::nullopt;
            length = qFromBigEndian<quint64>(data + 2);
            offset = 10;
        }
        if (!masked) {
            m_error = "a client frame without a mask";
            return std::nullopt;
        }
        // No extension is ever agreed on, so no frame may use the reserved bits.
        if (reservedBits) {
            m_error = "a frame with reserved bits set";
            return std::nullopt;
        }
        if (length > quint64(kMaxMessageBytes)) {
            m_error = "a frame larger than 64 MiB";
            return std::nullopt;
        }
        if (m_buffer.size() < offset + 4 + qsizetype(length))
            return std::nullopt;
        const uchar *mask = data + offset;
        QByteArray payload(reinterpret_cast<const char *>(data + offset + 4), qsizetype(length));
        for (qsizetype i = 0; i < payload.size(); ++i)
            payload[i] = char(payload[i] ^ mask[i % 4]);
        m_buffer.remove(0, offset + 4 + qsizetype(length));

        if (opcode == Close || opcode == Ping || opcode == Pong) {
            if (!fin || length > 125) {
                m_error = "a fragmented or oversized control frame";
                return std::nullopt;
            }
            return Message{opcode, payload};
        }
        if (opcode == Continuation) {
            if (!m_fragmentOpcode) {
                m_error = "a continuation frame without a message to continue";
                return std::nullopt;
            }
            // Each fragment is bounded, and so is the message they make.
            if (m_fragments.size() + payload.size() > kMaxMessageBytes) {
                m_error = "a message larger than 64 MiB";
                return std::nullopt;
            }
            m_fragments += payload;
        } else if (opcode == Text || opcode == Binary) {
            if (m_fragmentOpcode) {
                m_error = "a new message inside a fragmented one";
                return std::nullopt;
            }
            m_fragmentOpcode = opcode;
            m_fragments = payload;
        } else {
            m_error = "an unknown opcode";
            return std::nullopt;
        }
        if (fin) {
            Message message{*m_fragmentOpcode, m_fragments};
            m_fragmentOpcode.reset();
            m_fragments.clear();
            return message;
        }
    }
}

} // namespace WebSocketFrames
