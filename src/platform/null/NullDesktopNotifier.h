#pragma once

#include "DesktopNotifier.h"

// Where there is no session bus: every notification is handed back.
class NullDesktopNotifier final : public DesktopNotifier
{
    Q_OBJECT

public:
    using DesktopNotifier::DesktopNotifier;

    void show(const QString &summary, const QString &body) override { Q_EMIT undelivered(summary, body); }
};
