#include "DoctorCommand.h"

#include "Application.h"
#include "CapabilityTexts.h"
#include "Console.h"
#include "InstanceCommands.h"
#include "KeychainManager.h"
#include "Log.h"
#include "ServiceCheck.h"
#include "SettingsStore.h"

#include <QElapsedTimer>

namespace {
// A line of the form CapabilityStatus::line() gives, for a capability that works.
bool worksIn(const QStringList &lines, const QString &capability)
{
    for (const QString &line : lines) {
        if (line.startsWith(capability + QStringLiteral(": ")) && line.endsWith(QStringLiteral(" — works")))
            return true;
    }
    return false;
}
} // namespace

DoctorCommand::DoctorCommand(Application &application) : m_application(application) {}

QCoro::Task<int> DoctorCommand::run(QStringList args)
{
    if (!args.isEmpty()) {
        Console::err(QStringLiteral("usage: quillwren doctor"));
        co_return Console::UsageError;
    }
    Console::out(QStringLiteral("session: ") + m_application.session().describe());
    const QStringList own = capabilityLines(m_application.capabilities());
    for (const QString &line : own)
        Console::out(line);

    // The keys' bindings are known to work only once one reached the instance.
    const std::optional<QStringList> instance = InstanceCommands::instanceCapabilities();
    if (instance) {
        Console::out(QStringLiteral("the running Quillwren uses:"));
        for (const QString &line : *instance)
            Console::out(QStringLiteral("  ") + line);
    } else {
        Console::out(QStringLiteral("Quillwren is not running in this session (`quillwren run` starts it)"));
    }
    Console::out(co_await serviceLine());
    // The roles another server serves, each with its host's key.
    const AppConfig config = m_application.settings().loadAppConfig();
    if (config.transcribesByUpload()) {
        const QString line = co_await otherServerLine({QStringLiteral("transcription"), config.transcriptionBaseURL,
                                                       config.transcriptionModel, QStringLiteral("transcription")});
        Console::out(line);
    }
    if (config.speechService == QLatin1String("openai")) {
        const QString line =
            co_await otherServerLine({QStringLiteral("speech"), config.speechBaseURL, config.speechModel, QStringLiteral("speech")});
        Console::out(line);
    }
    const bool keys = worksIn(own, CapabilityTexts::kModeKeys) || (instance && worksIn(*instance, CapabilityTexts::kModeKeys));
    const bool paste = worksIn(own, CapabilityTexts::kPaste);
    co_return keys && paste ? Console::Success : Console::Failure;
}

QCoro::Task<QString> DoctorCommand::serviceLine()
{
    const std::optional<QString> key = co_await m_application.keychain().read();
    if (!KeychainManager::isConfigured(key))
        co_return QStringLiteral("service: not checked, no API key is stored — store yours with `quillwren key set` "
                                 "(it reads the key from standard input)");
    const AppConfig config = m_application.settings().loadAppConfig();
    const DashScopeEndpoints endpoints = DashScopeEndpoints::forConfig(config);
    const QString base = endpoints.compatibleBase;
    const QUrl duplex = endpoints.duplex;
    const auto bound = m_application.timeouts().serviceCheck;
    QElapsedTimer elapsed;
    elapsed.start();
    const ServiceCheck::Result result = co_await ServiceCheck::run(*key, base, duplex, bound);
    const QString masked = Log::maskApiKey(*key);
    switch (result.outcome) {
    case ServiceCheck::Outcome::Accepted:
        co_return QStringLiteral("service: reachable, and the key %1 is accepted (%2, %3)")
            .arg(masked, base, duplex.toDisplayString());
    case ServiceCheck::Outcome::Refused: {
        // The same refusal comes for a key of the other region: ask it,
        // within what is left of the bound.
        const auto left = std::max(std::chrono::milliseconds(1000),
                                   bound - std::chrono::milliseconds(elapsed.elapsed()));
        const ServiceCheck::RegionVerdict verdict =
            co_await ServiceCheck::otherRegion(*key, config.serviceRegion, left);
        if (verdict.belongsElsewhere())
            co_return QStringLiteral("service: the key %1 belongs to the %2 region, not to %3 as set (%4 refused it, "
                                     "the %2 region accepts it) — `%5` fixes it")
                .arg(masked, ServiceCheck::regionName(verdict.acceptingRegion),
                     ServiceCheck::regionName(config.serviceRegion), endpoints.compatibleBase,
                     ServiceCheck::regionCommand(verdict.acceptingRegion));
        co_return QStringLiteral("service: the key %1 was refused: %2 — %3store the right key with `quillwren key set` "
                                 "(the DashScope console lists your keys)")
            .arg(masked, result.detail,
                 verdict.refusedThere ? QStringLiteral("the key is wrong (the Singapore and the Beijing region both "
                                                       "refuse it): ")
                                      : QString());
    }
    case ServiceCheck::Outcome::Unreachable:
        break;
    }
    co_return QStringLiteral("service: unreachable: %1 — check the network connection, the compatibleBaseURL setting "
                             "(`quillwren config set compatibleBaseURL URL`) and $QUILLWREN_WS_URL")
        .arg(result.detail);
}

QCoro::Task<QString> DoctorCommand::otherServerLine(OtherServer server)
{
    const QString host = KeychainManager::normalizedHost(server.baseUrl);
    KeychainManager keychain = KeychainManager::forHost(host);
    const std::optional<QString> stored = co_await keychain.read();
    // (Named before the co_await: GCC 12 mishandles temporaries inside one.)
    const QString key = KeychainManager::isConfigured(stored) ? *stored : QString();
    const auto bound = m_application.timeouts().serviceCheck;
    const ServiceCheck::Result result = co_await ServiceCheck::modelList(key, server.baseUrl, bound);
    co_return verdict(server, host, key, result);
}

QString DoctorCommand::verdict(const OtherServer &server, const QString &host, const QString &key,
                               const ServiceCheck::Result &result)
{
    const QString role = QStringLiteral("%1 (openai, %2): ").arg(server.role, server.baseUrl);
    const QString keyText = key.isEmpty() ? QStringLiteral("no key (none is stored for %1)").arg(host)
                                          : QStringLiteral("the key %1 for %2").arg(Log::maskApiKey(key), host);
    if (result.outcome == ServiceCheck::Outcome::Refused)
        return role + QStringLiteral("%1 was refused: %2 — store the right one with `quillwren key set --host %3`")
                          .arg(keyText, result.detail, host);
    // A server without a model list still works.
    if (result.outcome == ServiceCheck::Outcome::Unreachable && result.status == 404)
        return role + QStringLiteral("reachable with %1; it lists no models, so %2 is not checked")
                          .arg(keyText, server.model);
    if (result.outcome == ServiceCheck::Outcome::Unreachable)
        return role + QStringLiteral("unreachable: %1 — check %2BaseURL (`quillwren config set %2BaseURL URL`) "
                                     "and that the server runs")
                          .arg(result.detail, server.settingPrefix);
    if (!result.models.isEmpty() && !result.models.contains(server.model))
        return role + QStringLiteral("reachable with %1, but it has no model %2 (it lists %3) — `quillwren config set "
                                     "%4Model NAME`")
                          .arg(keyText, server.model, result.models.join(QStringLiteral(", ")), server.settingPrefix);
    return role + QStringLiteral("reachable with %1, model %2 known").arg(keyText, server.model);
}
