#pragma once

#include <QByteArray>
#include <QList>

#include <cstddef>
#include <cstdint>

// The fuzzer's bytes as a stream that arrives in packets: the first byte
// picks the packet size (1 to 64 bytes), the rest is the stream. Readers that
// keep state between packets must give the same result for any split.
struct FuzzChunks
{
    FuzzChunks(const uint8_t *data, size_t size)
    {
        if (size == 0)
            return;
        packetSize = 1 + data[0] % 64;
        stream = QByteArray(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    }

    QList<QByteArray> packets() const
    {
        QList<QByteArray> out;
        for (qsizetype at = 0; at < stream.size(); at += packetSize)
            out.append(stream.mid(at, packetSize));
        return out;
    }

    qsizetype packetSize = 1;
    QByteArray stream;
};

// A broken invariant is a finding: abort so that the fuzzer keeps the input.
#define FUZZ_CHECK(condition) \
    do { \
        if (!(condition)) \
            __builtin_trap(); \
    } while (false)
