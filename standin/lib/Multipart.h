#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

// A multipart/form-data body (RFC 7578) as an upload sends it: named
// fields, one of which may be a file. Bounded: a body with more parts or
// larger fields than a form needs is refused with the reason.
namespace Multipart {

struct Part
{
    QString name;
    QString fileName; // empty for a plain field
    QByteArray contentType;
    QByteArray data;
};

constexpr int kMaxParts = 32;
constexpr qsizetype kMaxFieldBytes = 64 * 1024;
// The file: what OpenAI's transcription endpoint takes at most.
constexpr qsizetype kMaxFileBytes = 25 * 1024 * 1024;

// The boundary named in a Content-Type header; empty when it names none.
QByteArray boundaryOf(const QByteArray &contentType);
// The parts, or none with *error saying why.
std::optional<QList<Part>> parse(const QByteArray &body, const QByteArray &boundary, QString *error);

} // namespace Multipart
