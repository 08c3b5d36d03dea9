#include "KeyCommand.h"

#include "Console.h"
#include "KeychainManager.h"
#include "Log.h"

KeyCommand::KeyCommand(KeychainManager &keychain) : m_keychain(keychain) {}

QCoro::Task<int> KeyCommand::run(QStringList args)
{
    if (args == QStringList{QStringLiteral("set")})
        co_return co_await set();
    if (args == QStringList{QStringLiteral("status")})
        co_return co_await status();
    Console::err(QStringLiteral("usage: quillwren key set|status  (set reads the key from standard input)"));
    co_return Console::UsageError;
}

QCoro::Task<int> KeyCommand::set()
{
    // Never from an argument: those end up in shell histories and process lists.
    const auto key = Console::readSecret(QStringLiteral("DashScope API key: "));
    if (!key || key->isEmpty()) {
        Console::err(QStringLiteral("No API key given on standard input; nothing was stored."));
        co_return Console::UsageError;
    }
    if (key->contains(QLatin1Char('\n'))) {
        Console::err(QStringLiteral("The API key must be a single line; nothing was stored."));
        co_return Console::UsageError;
    }
    if (!co_await m_keychain.save(*key)) {
        Console::err(QStringLiteral("Could not store the API key in the system keyring "
                                    "(is a Secret Service running and unlocked?). "
                                    "Any key stored before is unchanged."));
        co_return Console::Failure;
    }
    Console::out(QStringLiteral("API key stored: ") + Log::maskApiKey(*key));
    co_return Console::Success;
}

QCoro::Task<int> KeyCommand::status()
{
    const auto key = co_await m_keychain.read();
    if (!KeychainManager::isConfigured(key)) {
        Console::out(QStringLiteral("API key: not configured"));
        co_return Console::Failure;
    }
    Console::out(QStringLiteral("API key: configured (%1, %2 characters)")
                     .arg(Log::maskApiKey(*key))
                     .arg(key->toStdU32String().size()));
    co_return Console::Success;
}
