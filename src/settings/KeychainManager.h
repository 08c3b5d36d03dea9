#pragma once

#include <QString>

#include <QCoroTask>

#include <chrono>
#include <optional>

namespace QKeychain {
class Job;
}

// Keeps the user's one API key in the system's secret store (the Secret
// Service on Linux, the Keychain on macOS). There is no cache: every read
// asks the store, so a key saved in the settings is seen by the next request.
//
// The secret store may block (an unlock prompt, a hung daemon), so every
// operation is awaited with its own time-out, after which it answers as if the
// store had said no: absent for a read, false for a save or a removal. The key
// is never written anywhere else, and never logged. QtKeychain runs one job at
// a time per process, so after a time-out later operations wait behind the
// abandoned job; each of them is still bounded by its own time-out.
class KeychainManager
{
public:
    static constexpr auto kServiceName = "com.orvo.quillwren.apikey";
    static constexpr auto kAccountName = "dashscope_api_key";
    static constexpr std::chrono::milliseconds kDefaultTimeout{10000};

    explicit KeychainManager(std::chrono::milliseconds timeout = kDefaultTimeout);
    KeychainManager(QString serviceName, QString accountName,
                    std::chrono::milliseconds timeout = kDefaultTimeout);

    static KeychainManager &shared();

    // Keys by host: the store's entry of the key for one host (a speech
    // server's, a chat server's), under the same service name.
    static KeychainManager forHost(const QString &host,
                                   std::chrono::milliseconds timeout = kDefaultTimeout);
    // The host a user names, as a key is filed under: lower case, from a
    // URL's host or a bare "host[:port]"; empty when it names none.
    static QString normalizedHost(const QString &hostOrUrl);

    const QString &serviceName() const { return m_serviceName; }
    const QString &accountName() const { return m_accountName; }

    // Stores the key, replacing any stored one in a single step: a failed
    // save keeps the earlier key. Blanks are kept byte for byte. True when stored.
    QCoro::Task<bool> save(QString key);
    // The stored key, or nothing (no item, any error, a time-out, bytes that
    // are not UTF-8).
    QCoro::Task<std::optional<QString>> read();
    // True when no item is left afterwards, including when there was none.
    QCoro::Task<bool> remove();

    // Whether a usable key is stored: a read answers a key that is not empty.
    QCoro::Task<bool> hasConfiguredKey();
    static bool isConfigured(const std::optional<QString> &key);
    // The store as its platform names it to users: "系统密钥环" (the keyring) on
    // Linux, "系统 Keychain" on macOS.
    static QString storeName();

private:
    // Starts the job and waits for it within the time-out. False on time-out;
    // the abandoned job then deletes itself whenever the store answers.
    QCoro::Task<bool> runJob(QKeychain::Job *job, const char *operation);

    QString m_serviceName;
    QString m_accountName;
    std::chrono::milliseconds m_timeout;
};
