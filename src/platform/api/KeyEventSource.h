#pragma once

#include <QObject>
#include <QString>

#include <cstdint>

// A source of the keyboard events the hotkey monitor listens to: changes of
// the held modifiers, as one 64-bit word with the ModifierMask bits whatever
// the platform's own bits are, and presses of other keys with their platform
// key code. A source only observes: it never grabs, swallows or changes an
// event, so the focused application still gets every key.
class KeyEventSource : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // Whether the platform lets this process observe keys in every
    // application (on X11: the server offers XInput2 >= 2.0 and XTest).
    virtual bool isTrusted() const = 0;
    // What is missing when not trusted, for the user.
    virtual QString untrustedReason() const = 0;

    // Starts delivering events; false when it cannot. Starting a started
    // source does nothing and answers true.
    virtual bool start() = 0;
    // Stops delivering events. Stopping a stopped source does nothing.
    virtual void stop() = 0;
    virtual bool isActive() const = 0;

Q_SIGNALS:
    // The word of held modifiers changed.
    void flagsChanged(std::uint64_t flags);
    // A key that is not one of the four modifiers went down.
    void keyDown(std::int32_t keyCode);
    // A pointer button went down (a click, the start of a drag, a wheel step).
    void buttonDown(int button);
    // Esc went down, with or without a modifier held (with one, it is also a
    // keyDown): it cancels a take that goes on without its key held.
    void escapeDown();
    // The key of this modifier was toggled by a command: the take it starts
    // goes on without the key held until the next toggle.
    void toggled(std::uint64_t modifier);
};
