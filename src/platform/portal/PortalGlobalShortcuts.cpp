#include "PortalGlobalShortcuts.h"

#include "Log.h"
#include "PortalRequest.h"

#include <QCoroSignal>
#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusServiceWatcher>

namespace {

using ShortcutList = QList<QPair<QString, QVariantMap>>;

constexpr auto kSessionInterface = "org.freedesktop.portal.Session";

QString shortcutsOutcome(const PortalRequest::Result &result)
{
    return PortalRequest::describe(result, QStringLiteral("the desktop refused the shortcuts"),
                                   QStringLiteral("the shortcuts dialog was closed without binding them"));
}

} // namespace

PortalGlobalShortcuts::PortalGlobalShortcuts(QDBusConnection bus, QList<Shortcut> shortcuts, QObject *parent)
    : QObject(parent)
    , m_bus(std::move(bus))
    , m_shortcuts(std::move(shortcuts))
    , m_watcher(new QDBusServiceWatcher(QString::fromLatin1(PortalRequest::kService), m_bus,
                                        QDBusServiceWatcher::WatchForOwnerChange, this))
{
    qDBusRegisterMetaType<QPair<QString, QVariantMap>>();
    qDBusRegisterMetaType<ShortcutList>();
    // A portal that goes away takes the session with it; one that comes back
    // (the user's session restarted it) gets the shortcuts again.
    connect(m_watcher, &QDBusServiceWatcher::serviceUnregistered, this,
            [this] { lose(QStringLiteral("the portal went away")); });
    connect(m_watcher, &QDBusServiceWatcher::serviceRegistered, this, [this] {
        if (m_state != State::Lost)
            return;
        m_version.reset();
        Log::line(QStringLiteral("🔁 [快捷键] 桌面门户已恢复，重新绑定全局快捷键"));
        bind();
    });
}

PortalGlobalShortcuts::~PortalGlobalShortcuts()
{
    listen(false);
}

uint PortalGlobalShortcuts::version() const
{
    if (!m_version)
        m_version = PortalRequest::interfaceVersion(m_bus, QString::fromLatin1(kInterface));
    return *m_version;
}

void PortalGlobalShortcuts::setState(State state, QString problem)
{
    m_state = state;
    m_problem = std::move(problem);
    Q_EMIT stateChanged(state);
}

QList<QPair<QString, QVariantMap>> PortalGlobalShortcuts::parseShortcuts(const QVariant &value)
{
    if (value.canConvert<QDBusArgument>())
        return qdbus_cast<ShortcutList>(value.value<QDBusArgument>());
    return value.value<ShortcutList>();
}

void PortalGlobalShortcuts::takeTriggers(const QVariant &list)
{
    QMap<QString, QString> triggers;
    for (const auto &[id, properties] : parseShortcuts(list))
        triggers.insert(id, properties.value(QStringLiteral("trigger_description")).toString());
    if (triggers == m_triggers)
        return;
    m_triggers = triggers;
    Q_EMIT triggersChanged();
}

void PortalGlobalShortcuts::listen(bool on)
{
    if (m_session.isEmpty())
        return;
    const QString service = QString::fromLatin1(PortalRequest::kService);
    const QString path = QString::fromLatin1(PortalRequest::kPath);
    const QString interface = QString::fromLatin1(kInterface);
    const auto toggle = [&](const QString &objectPath, const QString &iface, const char *name, const char *slot) {
        if (on)
            m_bus.connect(service, objectPath, iface, QString::fromLatin1(name), this, slot);
        else
            m_bus.disconnect(service, objectPath, iface, QString::fromLatin1(name), this, slot);
    };
    toggle(path, interface, "Activated", SLOT(onActivated(QDBusObjectPath, QString, qulonglong, QVariantMap)));
    toggle(path, interface, "Deactivated", SLOT(onDeactivated(QDBusObjectPath, QString, qulonglong, QVariantMap)));
    toggle(path, interface, "ShortcutsChanged", SLOT(onShortcutsChanged(QDBusMessage)));
    toggle(m_session, QString::fromLatin1(kSessionInterface), "Closed", SLOT(onSessionClosed()));
}

QCoro::Task<bool> PortalGlobalShortcuts::bind()
{
    if (m_state == State::Binding)
        co_await qCoro(this, &PortalGlobalShortcuts::stateChanged);
    if (m_state == State::Bound || m_state == State::Binding)
        co_return m_state == State::Bound;
    setState(State::Binding);
    // A loss while the desktop answers makes this binding stale: what it
    // hears afterwards changes nothing.
    const quint64 generation = ++m_generation;
    if (version() == 0) {
        setState(State::Missing, QStringLiteral("no GlobalShortcuts portal answers on the session bus"));
        co_return false;
    }
    Log::line(QStringLiteral("⌨️ [快捷键] 向桌面申请全局快捷键（桌面可能弹出对话框，请为三个模式选择按键）"));

    // Arguments built before each co_await: g++ 12 miscompiles string
    // literals in a co_await's operands.
    const QString interface = QString::fromLatin1(kInterface);
    QString session;
    const PortalRequest::Result created = co_await PortalRequest::createSession(m_bus, interface, kBindTimeout, &session);
    if (generation != m_generation)
        co_return false;
    if (created.outcome != PortalRequest::Outcome::Granted) {
        setState(State::Failed, shortcutsOutcome(created));
        co_return false;
    }
    m_session = session;
    // Signals are listened for before the binding, so a press right after
    // the dialog closes is not missed.
    listen(true);

    ShortcutList wanted;
    for (const Shortcut &shortcut : std::as_const(m_shortcuts)) {
        QVariantMap properties{{QStringLiteral("description"), shortcut.description}};
        if (!shortcut.preferredTrigger.isEmpty())
            properties.insert(QStringLiteral("preferred_trigger"), shortcut.preferredTrigger);
        wanted << qMakePair(shortcut.id, properties);
    }
    const QVariantList bindArguments{QVariant::fromValue(QDBusObjectPath(m_session)), QVariant::fromValue(wanted),
                                     QString(), QVariantMap()};
    const PortalRequest::Result bound = co_await PortalRequest::call(
        m_bus, interface, QString::fromLatin1("BindShortcuts"), bindArguments, kBindTimeout);
    if (generation != m_generation)
        co_return false;
    if (bound.outcome != PortalRequest::Outcome::Granted) {
        listen(false);
        m_session.clear();
        const State state = bound.outcome == PortalRequest::Outcome::Refused     ? State::Refused
                            : bound.outcome == PortalRequest::Outcome::Cancelled ? State::Cancelled
                                                                                 : State::Failed;
        setState(state, shortcutsOutcome(bound));
        Log::line(QStringLiteral("⚠️ [快捷键] 全局快捷键未绑定：") + m_problem);
        co_return false;
    }
    takeTriggers(bound.results.value(QStringLiteral("shortcuts")));
    QStringList shown;
    for (auto it = m_triggers.cbegin(); it != m_triggers.cend(); ++it)
        shown << it.key() + QLatin1Char(' ') + (it.value().isEmpty() ? QStringLiteral("(未设置)") : it.value());
    Log::line(QStringLiteral("✅ [快捷键] 全局快捷键已绑定：") + shown.join(QStringLiteral("，")));
    setState(State::Bound);
    co_return true;
}

void PortalGlobalShortcuts::lose(const QString &why)
{
    if (m_state != State::Bound && m_state != State::Binding)
        return;
    ++m_generation;
    listen(false);
    m_session.clear();
    // Whatever was held is up now: no Deactivated will come for it.
    const QSet<QString> held = std::exchange(m_held, {});
    setState(State::Lost, why);
    Log::line(QStringLiteral("⚠️ [快捷键] 全局快捷键失效：") + why);
    for (const QString &id : held)
        Q_EMIT deactivated(id);
}

void PortalGlobalShortcuts::onActivated(const QDBusObjectPath &session, const QString &id, qulonglong,
                                        const QVariantMap &)
{
    if (session.path() != m_session || m_state != State::Bound)
        return;
    m_held.insert(id);
    Q_EMIT activated(id);
}

void PortalGlobalShortcuts::onDeactivated(const QDBusObjectPath &session, const QString &id, qulonglong,
                                          const QVariantMap &)
{
    if (session.path() != m_session || m_state != State::Bound || !m_held.remove(id))
        return;
    Q_EMIT deactivated(id);
}

void PortalGlobalShortcuts::onShortcutsChanged(const QDBusMessage &message)
{
    const QVariantList arguments = message.arguments();
    if (arguments.size() < 2 || arguments.at(0).value<QDBusObjectPath>().path() != m_session)
        return;
    takeTriggers(arguments.at(1));
    Log::line(QStringLiteral("⌨️ [快捷键] 桌面更改了全局快捷键"));
}

void PortalGlobalShortcuts::onSessionClosed()
{
    lose(QStringLiteral("the desktop closed the shortcuts session"));
}
