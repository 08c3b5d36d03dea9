#pragma once

#include <QString>

// Locks and unlocks the test keyring's default collection over the Secret
// Service's D-Bus interface, without any prompt, so that tests can make the
// real keyring refuse a write and then give it back.
namespace KeyringControl {

constexpr auto kCollection = "/org/freedesktop/secrets/aliases/default";

bool lock();
// gnome-keyring's own unlock-with-password call; true when unlocked.
bool unlock(const QString &password);
// Waits for the keyring's password prompt on the X display and cancels it
// with Escape, as a user would; true when a prompt was there and is gone.
bool dismissPrompt();
// The password scripts/headless-desktop.sh unlocks the keyring with.
QString testPassword();

} // namespace KeyringControl
