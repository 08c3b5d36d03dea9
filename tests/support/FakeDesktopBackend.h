#pragma once

#include "Delay.h"
#include "DesktopBackend.h"

#include <QList>
#include <QScreen>

// A desktop that records instead of acting: what would have been pasted
// (text, keystroke, target window) and which screens were captured. The
// public fields are its control: set them before the code under test runs.
class FakeDesktopBackend final : public DesktopBackend
{
public:
    struct Paste
    {
        QString text;
        QString keystroke;
        QString window;
        friend bool operator==(const Paste &, const Paste &) = default;
    };

    // Control
    bool pasteWorks = true;
    bool captureWorks = true;
    QString focusedWindow = QStringLiteral("editor"); // empty: none has the focus
    bool focusedIsTerminal = false;
    std::optional<QRect> focusedRect;
    std::optional<QRect> caret;
    std::optional<QPoint> pointer;
    QImage screenImage;
    bool compositor = false;

    // Record
    QString clipboard;
    QList<Paste> pastes;
    QStringList capturedScreens;
    QList<quintptr> stickyWindows;

    bool hasCompositor() const override { return compositor; }
    void keepOnAllDesktops(quintptr window) override { stickyWindows << window; }

    void setClipboardText(const QString &text) override { clipboard = text; }
    bool canPaste() const override { return pasteWorks; }
    QCoro::Task<> paste() override
    {
        pastes.append({clipboard, QStringLiteral("Ctrl+V"), focusedWindow});
        // As the real chord: the key stays down a while.
        co_await delay(std::chrono::milliseconds(20));
    }
    QCoro::Task<FocusedApplication> focusedApplication() override
    {
        co_return FocusedApplication{focusedWindow.isEmpty() ? QStringList() : QStringList{focusedWindow},
                                     focusedIsTerminal};
    }
    QCoro::Task<std::optional<QRect>> caretRect() override { co_return caret; }
    bool hasFocusedWindow() const override { return !focusedWindow.isEmpty(); }
    std::optional<QRect> focusedWindowRect() const override { return focusedRect; }
    std::optional<QPoint> pointerPosition() const override { return pointer; }
    bool canCapture() const override { return captureWorks; }
    QImage grabScreen(QScreen *screen) override
    {
        capturedScreens.append(screen ? screen->name() : QString());
        return screenImage;
    }
};
