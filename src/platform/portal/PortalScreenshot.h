#pragma once

#include <QDBusConnection>
#include <QImage>
#include <QString>

#include <QCoroTask>

#include <chrono>
#include <optional>

// The screen through the Screenshot portal (GNOME, KDE): the portal saves a
// picture of the whole desktop to a file and answers with its URI. The
// picture is read and the file removed at once (it shows the user's chat).
// Non-interactive: where the permission store has the answer, no dialog;
// the first time the desktop may ask.
class PortalScreenshot final
{
public:
    static constexpr auto kInterface = "org.freedesktop.portal.Screenshot";
    static constexpr std::chrono::milliseconds kTimeout{60000};

    explicit PortalScreenshot(QDBusConnection bus);

    // Whether a portal with this interface answers (its version; 0: none),
    // asked once.
    uint version() const;
    // The desktop's picture; a null image and *error when refused, cancelled
    // or failed.
    QCoro::Task<QImage> grab(QString *error);

private:
    QDBusConnection m_bus;
    mutable std::optional<uint> m_version;
};
