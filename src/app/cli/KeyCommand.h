#pragma once

#include <QStringList>

#include <QCoroTask>

class KeychainManager;

// `quillwren key set|status`: the API key in the system's secret store.
class KeyCommand
{
public:
    explicit KeyCommand(KeychainManager &keychain);

    // args: what follows "key". Returns the exit status.
    QCoro::Task<int> run(QStringList args);

private:
    QCoro::Task<int> set();
    QCoro::Task<int> status();

    KeychainManager &m_keychain;
};
