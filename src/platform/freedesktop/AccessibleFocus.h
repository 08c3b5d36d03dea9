#pragma once

#include <QDBusConnection>
#include <QPair>
#include <QRect>
#include <QString>

#include <QCoroTask>

#include <chrono>
#include <optional>

// Which application has the active window, as the accessibility bus tells
// it: where the compositor keeps its window list to itself (GNOME, KDE),
// this is how a terminal is told from other windows. Applications register
// there under their program name (GTK, Qt, VTE terminals and Konsole do);
// one that does not is simply not found.
class AccessibleFocus
{
public:
    // Each question to an application is given this long: a hung one must
    // not hold the paste back.
    static constexpr std::chrono::milliseconds kCallTimeout{250};

    // session: the bus on which the accessibility bus is announced.
    explicit AccessibleFocus(QDBusConnection session);
    ~AccessibleFocus();

    // The name of the application whose window is active; empty when none
    // is found or there is no accessibility bus.
    QCoro::Task<QString> activeApplicationName();

    // Where the caret of the focused text in the active window is, in
    // desktop coordinates (the focused field's frame where the caret's own
    // is not told); none when nothing focused has text, or the search takes
    // longer than kSearchLimit. Only a screen-coordinates desktop (X11)
    // gives meaningful answers.
    QCoro::Task<std::optional<QRect>> caretRect();
    // A window's tree is searched this far for its focused object.
    static constexpr int kMaxObjectsSearched = 400;
    static constexpr std::chrono::milliseconds kSearchLimit{1500};

private:
    using Reference = QPair<QString, QString>; // (bus name, object path)
    struct ActiveWindow
    {
        Reference application;
        Reference window;
    };
    bool connect();
    QCoro::Task<std::optional<ActiveWindow>> activeWindow();
    QCoro::Task<QList<uint>> state(Reference object);

    QDBusConnection m_session;
    std::optional<QDBusConnection> m_a11y;
    QString m_connectionName;
};
