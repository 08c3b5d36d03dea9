#pragma once

#include <QStringList>

#include <QCoroTask>

class KeychainManager;

// `quillwren key set|status [--host HOST]`, `key remove --host HOST`: the
// DashScope API key, or the key of another host (a speech server's, a chat
// server's), in the system's secret store.
class KeyCommand
{
public:
    explicit KeyCommand(KeychainManager &keychain);

    // args: what follows "key". Returns the exit status.
    QCoro::Task<int> run(QStringList args);

private:
    // what: the key as the output names it; prompt: as the question names it.
    QCoro::Task<int> set(KeychainManager &keychain, QString what, QString prompt);
    QCoro::Task<int> status(KeychainManager &keychain, QString what);
    QCoro::Task<int> remove(KeychainManager &keychain, QString what);

    KeychainManager &m_keychain;
};
