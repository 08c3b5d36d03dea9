#include "PortalScreenshot.h"

#include "PortalRequest.h"

#include <QDBusMessage>
#include <QFile>
#include <QUrl>

PortalScreenshot::PortalScreenshot(QDBusConnection bus) : m_bus(std::move(bus)) {}

uint PortalScreenshot::version() const
{
    if (!m_version)
        m_version = PortalRequest::interfaceVersion(m_bus, QString::fromLatin1(kInterface));
    return *m_version;
}

QCoro::Task<QImage> PortalScreenshot::grab(QString *error)
{
    // Built before the co_await: g++ 12 miscompiles literals in its operands.
    QVariantMap options;
    options.insert(QString::fromLatin1("interactive"), false);
    const QVariantList arguments{QString(), options};
    const QString interface = QString::fromLatin1(kInterface);
    const QString method = QString::fromLatin1("Screenshot");
    const PortalRequest::Result result = co_await PortalRequest::call(m_bus, interface, method, arguments, kTimeout);
    switch (result.outcome) {
    case PortalRequest::Outcome::Granted:
        break;
    case PortalRequest::Outcome::Refused:
        *error = QStringLiteral("the screenshot was refused");
        co_return QImage();
    case PortalRequest::Outcome::Cancelled:
        *error = QStringLiteral("the screenshot dialog was closed");
        co_return QImage();
    case PortalRequest::Outcome::Failed:
        *error = result.error;
        co_return QImage();
    }
    const QUrl uri(result.results.value(QStringLiteral("uri")).toString());
    if (!uri.isLocalFile()) {
        *error = QStringLiteral("the portal answered with no picture file");
        co_return QImage();
    }
    const QString path = uri.toLocalFile();
    QImage image(path);
    QFile::remove(path);
    if (image.isNull())
        *error = QStringLiteral("the picture the portal saved cannot be read");
    co_return image;
}
