#include "HostKeys.h"

#include "KeychainManager.h"

namespace {
QCoro::Task<std::optional<QString>> storedHostKey(QString host)
{
    KeychainManager keychain = KeychainManager::forHost(host);
    co_return co_await keychain.read();
}
} // namespace

HostKeyProvider HostKeys::fromKeyring()
{
    // Not a coroutine lambda: its captures would not outlive its first suspension.
    return [](QString host) { return storedHostKey(std::move(host)); };
}
