#pragma once

#include <QObject>
#include <QString>

// Desktop notifications: a short message a user sees whatever window they are
// looking at. This program shows one at a time: each replaces the last.
class DesktopNotifier : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // Shows a notification in place of the one shown last, in the user's
    // language (the texts are given in their original, see UserText).
    // Returns at once.
    virtual void show(const QString &summary, const QString &body) = 0;

Q_SIGNALS:
    // No notification service took it: the caller may show it another way.
    // The texts as they were given.
    void undelivered(const QString &summary, const QString &body);
};
