#include "PortalRemoteDesktop.h"

#include "Delay.h"
#include "Log.h"
#include "PortalRequest.h"

#include <QCoroSignal>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>

namespace {

constexpr uint kKeyboard = 1;
// Keep the permission until the user revokes it.
constexpr uint kPersistUntilRevoked = 2;

QString keyPermissionOutcome(const PortalRequest::Result &result)
{
    return PortalRequest::describe(result, QStringLiteral("the permission to press keys was refused"),
                                   QStringLiteral("the permission dialog was closed"));
}

} // namespace

PortalRemoteDesktop::PortalRemoteDesktop(QDBusConnection bus, TokenStore tokens, QObject *parent)
    : QObject(parent), m_bus(std::move(bus)), m_tokens(std::move(tokens))
{
}

uint PortalRemoteDesktop::version() const
{
    if (!m_version)
        m_version = PortalRequest::interfaceVersion(m_bus, QString::fromLatin1(kInterface));
    return *m_version;
}

void PortalRemoteDesktop::setState(State state, QString problem)
{
    m_state = state;
    m_problem = std::move(problem);
    Q_EMIT stateChanged(state);
}

QCoro::Task<bool> PortalRemoteDesktop::start()
{
    if (m_state == State::Starting)
        co_await qCoro(this, &PortalRemoteDesktop::stateChanged);
    if (m_state != State::NotStarted)
        co_return m_state == State::Started;
    setState(State::Starting);
    const uint portalVersion = version();
    if (portalVersion == 0) {
        setState(State::Missing, QStringLiteral("no RemoteDesktop portal answers on the session bus"));
        co_return false;
    }
    Log::line(QStringLiteral("🔐 [粘贴] 请求远程桌面门户的键盘权限（桌面可能弹出对话框，请允许 Quillwren 控制键盘以便粘贴）"));

    // Arguments built before each co_await: g++ 12 miscompiles string
    // literals in a co_await's operands.
    const QString interface = QString::fromLatin1(kInterface);
    const PortalRequest::Result created = co_await PortalRequest::createSession(m_bus, interface, kConsentTimeout, &m_session);
    if (created.outcome != PortalRequest::Outcome::Granted) {
        setState(State::Failed, keyPermissionOutcome(created));
        co_return false;
    }

    QVariantMap select{{QStringLiteral("types"), kKeyboard}};
    if (portalVersion >= 2) {
        select.insert(QStringLiteral("persist_mode"), kPersistUntilRevoked);
        if (const QString token = m_tokens.load ? m_tokens.load() : QString(); !token.isEmpty())
            select.insert(QStringLiteral("restore_token"), token);
    }
    const QDBusObjectPath session(m_session);
    const QVariantList selectArguments{QVariant::fromValue(session), select};
    PortalRequest::Result selected = co_await PortalRequest::call(m_bus, interface, QString::fromLatin1("SelectDevices"),
                                                                  selectArguments, kConsentTimeout);
    if (selected.outcome != PortalRequest::Outcome::Granted) {
        setState(State::Failed, keyPermissionOutcome(selected));
        co_return false;
    }
    const QVariantList startArguments{QVariant::fromValue(session), QString(), QVariantMap()};
    PortalRequest::Result started = co_await PortalRequest::call(m_bus, interface, QString::fromLatin1("Start"),
                                                                 startArguments, kConsentTimeout);
    if (started.outcome != PortalRequest::Outcome::Granted) {
        const State state = started.outcome == PortalRequest::Outcome::Refused     ? State::Refused
                            : started.outcome == PortalRequest::Outcome::Cancelled ? State::Cancelled
                                                                                   : State::Failed;
        setState(state, keyPermissionOutcome(started));
        Log::line(QStringLiteral("⚠️ [粘贴] 远程桌面门户：") + m_problem);
        co_return false;
    }
    if (!(started.results.value(QStringLiteral("devices")).toUInt() & kKeyboard)) {
        setState(State::Refused, QStringLiteral("the portal granted no keyboard"));
        co_return false;
    }
    if (const QString token = started.results.value(QStringLiteral("restore_token")).toString();
        !token.isEmpty() && m_tokens.save)
        m_tokens.save(token);
    Log::line(QStringLiteral("✅ [粘贴] 远程桌面门户已允许按键"));
    setState(State::Started);
    co_return true;
}

void PortalRemoteDesktop::notifyKey(int keycode, bool down)
{
    QDBusMessage message = QDBusMessage::createMethodCall(QString::fromLatin1(PortalRequest::kService),
                                                          QString::fromLatin1(PortalRequest::kPath),
                                                          QString::fromLatin1(kInterface),
                                                          QStringLiteral("NotifyKeyboardKeycode"));
    message << QVariant::fromValue(QDBusObjectPath(m_session)) << QVariantMap() << keycode << uint(down ? 1 : 0);
    m_bus.call(message, QDBus::NoBlock);
}

QCoro::Task<> PortalRemoteDesktop::press(PasteChord chord, int holdMs)
{
    if (m_state != State::Started)
        co_return;
    const PasteChordKeys keys = pasteChordKeys(chord);
    for (int modifier : keys.modifiers)
        notifyKey(modifier, true);
    notifyKey(keys.key, true);
    co_await delay(std::chrono::milliseconds(holdMs));
    notifyKey(keys.key, false);
    for (qsizetype i = keys.modifiers.size() - 1; i >= 0; --i)
        notifyKey(keys.modifiers[i], false);
}
