#include "KeyCommand.h"

#include "Console.h"
#include "KeychainManager.h"
#include "Log.h"

KeyCommand::KeyCommand(KeychainManager &keychain) : m_keychain(keychain) {}

QCoro::Task<int> KeyCommand::run(QStringList args)
{
    const QString action = args.value(0);
    if (args.size() == 1 && action == QLatin1String("set"))
        co_return co_await set(m_keychain, QStringLiteral("API key"), QStringLiteral("DashScope API key"));
    if (args.size() == 1 && action == QLatin1String("status"))
        co_return co_await status(m_keychain, QStringLiteral("API key"));
    const bool hostAction = args.size() == 3 && args.at(1) == QLatin1String("--host")
                            && (action == QLatin1String("set") || action == QLatin1String("status")
                                || action == QLatin1String("remove"));
    if (!hostAction) {
        Console::err(QStringLiteral("usage: quillwren key set|status [--host HOST], key remove --host HOST  "
                                    "(set reads the key from standard input)"));
        co_return Console::UsageError;
    }
    const QString host = KeychainManager::normalizedHost(args.at(2));
    if (host.isEmpty()) {
        Console::err(QStringLiteral("\"%1\" is not a host name (e.g. api.openai.com or 192.168.1.20)").arg(args.at(2)));
        co_return Console::UsageError;
    }
    KeychainManager keychain = KeychainManager::forHost(host);
    const QString what = QStringLiteral("API key for %1").arg(host);
    int result = Console::UsageError;
    if (action == QLatin1String("set"))
        result = co_await set(keychain, what, what);
    else if (action == QLatin1String("status"))
        result = co_await status(keychain, what);
    else
        result = co_await remove(keychain, what);
    co_return result;
}

QCoro::Task<int> KeyCommand::set(KeychainManager &keychain, QString what, QString prompt)
{
    // Never from an argument: those end up in shell histories and process lists.
    const auto key = Console::readSecret(prompt + QStringLiteral(": "));
    if (!key || key->isEmpty()) {
        Console::err(QStringLiteral("No API key given on standard input; nothing was stored."));
        co_return Console::UsageError;
    }
    if (key->contains(QLatin1Char('\n'))) {
        Console::err(QStringLiteral("The API key must be a single line; nothing was stored."));
        co_return Console::UsageError;
    }
    if (!co_await keychain.save(*key)) {
        Console::err(QStringLiteral("Could not store the API key in the system keyring "
                                    "(is a Secret Service running and unlocked?). "
                                    "Any key stored before is unchanged."));
        co_return Console::Failure;
    }
    Console::out(what + QStringLiteral(" stored: ") + Log::maskApiKey(*key));
    co_return Console::Success;
}

QCoro::Task<int> KeyCommand::status(KeychainManager &keychain, QString what)
{
    const auto key = co_await keychain.read();
    if (!KeychainManager::isConfigured(key)) {
        Console::out(what + QStringLiteral(": not configured"));
        co_return Console::Failure;
    }
    Console::out(QStringLiteral("%1: configured (%2, %3 characters)")
                     .arg(what, Log::maskApiKey(*key))
                     .arg(key->toStdU32String().size()));
    co_return Console::Success;
}

QCoro::Task<int> KeyCommand::remove(KeychainManager &keychain, QString what)
{
    // Awaited into a variable: GCC 12 miscompiled `if (!co_await keychain.remove())`
    // here (the finished removal resumed a destroyed frame).
    const bool removed = co_await keychain.remove();
    if (!removed) {
        Console::err(QStringLiteral("Could not remove the %1 from the system keyring.").arg(what));
        co_return Console::Failure;
    }
    Console::out(what + QStringLiteral(": removed"));
    co_return Console::Success;
}
