#include "Multipart.h"

namespace Multipart {

namespace {
// A header's parameter: name="value" or name=value.
QString parameter(const QByteArray &header, const QByteArray &name)
{
    for (const QByteArray &item : header.split(';')) {
        const QByteArray trimmed = item.trimmed();
        if (!trimmed.toLower().startsWith(name + '='))
            continue;
        QByteArray value = trimmed.mid(name.size() + 1).trimmed();
        if (value.size() >= 2 && value.startsWith('"') && value.endsWith('"'))
            value = value.mid(1, value.size() - 2);
        return QString::fromUtf8(value);
    }
    return {};
}
} // namespace

QByteArray boundaryOf(const QByteArray &contentType)
{
    if (!contentType.trimmed().toLower().startsWith("multipart/form-data"))
        return {};
    return parameter(contentType, "boundary").toUtf8();
}

std::optional<QList<Part>> parse(const QByteArray &body, const QByteArray &boundary, QString *error)
{
    if (boundary.isEmpty() || boundary.size() > 70) {
        *error = QStringLiteral("the multipart boundary is missing or longer than 70 characters");
        return std::nullopt;
    }
    const QByteArray delimiter = "--" + boundary;
    qsizetype at = body.indexOf(delimiter);
    if (at < 0) {
        *error = QStringLiteral("the body holds no part");
        return std::nullopt;
    }
    QList<Part> parts;
    for (;;) {
        at += delimiter.size();
        if (body.mid(at, 2) == "--")
            return parts; // the closing delimiter
        if (body.mid(at, 2) != "\r\n") {
            *error = QStringLiteral("a boundary line does not end with CRLF");
            return std::nullopt;
        }
        at += 2;
        const qsizetype headEnd = body.indexOf("\r\n\r\n", at);
        const qsizetype next = body.indexOf("\r\n" + delimiter, at);
        if (headEnd < 0 || next < 0 || headEnd > next) {
            *error = QStringLiteral("a part is cut short (no closing boundary)");
            return std::nullopt;
        }
        if (parts.size() == kMaxParts) {
            *error = QStringLiteral("more than %1 parts").arg(kMaxParts);
            return std::nullopt;
        }
        Part part;
        for (const QByteArray &line : body.mid(at, headEnd - at).split('\n')) {
            const qsizetype colon = line.indexOf(':');
            if (colon <= 0)
                continue;
            const QByteArray name = line.left(colon).trimmed().toLower();
            const QByteArray value = line.mid(colon + 1).trimmed();
            if (name == "content-disposition") {
                part.name = parameter(value, "name");
                part.fileName = parameter(value, "filename");
            } else if (name == "content-type") {
                part.contentType = value;
            }
        }
        part.data = body.mid(headEnd + 4, next - headEnd - 4);
        if (part.name.isEmpty()) {
            *error = QStringLiteral("a part has no name");
            return std::nullopt;
        }
        const qsizetype limit = part.fileName.isEmpty() ? kMaxFieldBytes : kMaxFileBytes;
        if (part.data.size() > limit) {
            *error = QStringLiteral("the part \"%1\" is larger than %2 bytes").arg(part.name).arg(limit);
            return std::nullopt;
        }
        parts.append(part);
        at = next + 2;
    }
}

} // namespace Multipart
