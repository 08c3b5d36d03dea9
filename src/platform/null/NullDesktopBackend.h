#pragma once

#include "DesktopBackend.h"

#include <QClipboard>
#include <QGuiApplication>

// Where no supported desktop is found: nothing is pasted, no focus is known,
// nothing is captured. The clipboard still works where Qt has one.
class NullDesktopBackend final : public DesktopBackend
{
public:
    void setClipboardText(const QString &text) override
    {
        if (qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
            QGuiApplication::clipboard()->setText(text, QClipboard::Clipboard);
    }
    bool canPaste() const override { return false; }
    QCoro::Task<> paste() override { co_return; }
    bool hasFocusedWindow() const override { return false; }
    std::optional<QRect> focusedWindowRect() const override { return std::nullopt; }
    std::optional<QPoint> pointerPosition() const override { return std::nullopt; }
    bool canCapture() const override { return false; }
    QImage grabScreen(QScreen *) override { return {}; }
};
