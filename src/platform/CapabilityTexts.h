#pragma once

#include "CapabilityStatus.h"
#include "PlatformFactory.h"

class EvdevKeyEventSource;
class KeyEventSource;

// The capability lines the factory logs and `quillwren doctor` prints: for
// each capability the backend that serves it, whether it works, and what the
// user can do about it, in the words of the user's desktop.
namespace CapabilityTexts {

inline const QString kModeKeys = QStringLiteral("mode keys");
inline const QString kClipboard = QStringLiteral("clipboard");
inline const QString kPaste = QStringLiteral("paste keystroke");
inline const QString kCapture = QStringLiteral("screen capture");
inline const QString kWindow = QStringLiteral("indicator window");
inline const QString kTray = QStringLiteral("tray");

CapabilityStatus x11Keys(const SessionInfo &session, const PlatformFactory::KeyRouteProbe &probe,
                         const KeyEventSource &source);
CapabilityStatus evdevKeys(const EvdevKeyEventSource &source);
// Only the desktop's key bindings can serve: not known to work until one
// reaches the running application. evdevProblem: why the keyboards cannot be read.
CapabilityStatus bindingKeys(const SessionInfo &session, const PlatformFactory::KeyRouteProbe &probe,
                             const QString &evdevProblem);
// How to bind the keys on this desktop.
QString bindingAdvice(const SessionInfo &session);
// The GlobalShortcuts portal route before the running application has bound
// its shortcuts.
CapabilityStatus portalKeys(uint version);
// The portal route with the shortcuts bound: each mode's name with the keys
// the desktop reports for it (empty: none assigned yet).
CapabilityStatus boundPortalKeys(const QList<QPair<QString, QString>> &triggers);
// Where the user picks the shortcuts' keys on this desktop.
QString shortcutSettingsAdvice(const SessionInfo &session);

CapabilityReport desktop(const SessionInfo &session, PlatformFactory::Backend backend, DesktopBackend &desktop,
                         bool trayShown);

} // namespace CapabilityTexts
