#include "KeychainManager.h"

#include "Log.h"
#include "UserText.h"

#include <QStringDecoder>
#include <QUrl>
#include <QCoroSignal>

#include <qt6keychain/keychain.h>

#include <memory>

namespace {
// Jobs that finished are deleted after the awaiting code has read them.
struct JobDeleter
{
    void operator()(QKeychain::Job *job) const { job->deleteLater(); }
};
template <typename T>
using JobPtr = std::unique_ptr<T, JobDeleter>;

QString describe(const QKeychain::Job &job)
{
    return QStringLiteral("（错误 %1：%2）").arg(int(job.error())).arg(job.errorString());
}
} // namespace

KeychainManager::KeychainManager(std::chrono::milliseconds timeout)
    : KeychainManager(QString::fromLatin1(kServiceName), QString::fromLatin1(kAccountName), timeout)
{
}

KeychainManager::KeychainManager(QString serviceName, QString accountName,
                                 std::chrono::milliseconds timeout)
    : m_serviceName(std::move(serviceName)), m_accountName(std::move(accountName)), m_timeout(timeout)
{
}

KeychainManager &KeychainManager::shared()
{
    static KeychainManager instance;
    return instance;
}

KeychainManager KeychainManager::forHost(const QString &host, std::chrono::milliseconds timeout)
{
    return KeychainManager(QString::fromLatin1(kServiceName), QStringLiteral("host:") + normalizedHost(host), timeout);
}

QString KeychainManager::normalizedHost(const QString &hostOrUrl)
{
    const QString text = hostOrUrl.trimmed();
    const QUrl url(text.contains(QLatin1String("://")) ? text : QStringLiteral("http://") + text);
    const QString host = url.host().toLower();
    // One name, as a URL's host is: nothing else may come with it.
    if (!url.isValid() || host.isEmpty() || host.contains(QLatin1Char(' ')))
        return {};
    return host;
}

QCoro::Task<bool> KeychainManager::runJob(QKeychain::Job *job, const char *operation)
{
    job->setAutoDelete(false);
    // Never fall back to a plain file when no secret store is reachable.
    job->setInsecureFallback(false);
    job->setKey(m_accountName);
    // Listen before starting, so an immediate answer cannot be missed.
    auto finished = qCoro(job, &QKeychain::Job::finished, m_timeout);
    job->start();
    if (!(co_await std::move(finished))) {
        const QString what = QString::fromUtf8(operation);
        Log::line(QStringLiteral("⚠️ [Keychain] %1 API Key 超时（%2 ms），按未完成处理").arg(what).arg(m_timeout.count()));
        // The store may still answer (say, once the user has answered an
        // unlock prompt), and a save may then land after all: say so.
        QObject::connect(job, &QKeychain::Job::finished, job, [what](QKeychain::Job *late) {
            if (late->error() == QKeychain::NoError)
                Log::line(QStringLiteral("ℹ️ [Keychain] 超时的%1操作随后已完成").arg(what));
            else
                Log::line(QStringLiteral("ℹ️ [Keychain] 超时的%1操作随后失败").arg(what) + describe(*late));
        });
        job->setAutoDelete(true);
        co_return false;
    }
    co_return true;
}

QCoro::Task<bool> KeychainManager::save(QString key)
{
    // The Secret Service replaces an item with the same attributes in one
    // step, so nothing is deleted first and a failed write keeps the old key.
    JobPtr<QKeychain::WritePasswordJob> job(new QKeychain::WritePasswordJob(m_serviceName));
    // Stored as text: the item's secret is the key's UTF-8 bytes, as other
    // tools (secret-tool, a keyring browser) show it.
    job->setTextData(key);
    if (!co_await runJob(job.get(), "保存")) {
        (void)job.release();
        co_return false;
    }
    if (job->error() != QKeychain::NoError) {
        Log::line(QStringLiteral("❌ [Keychain] 保存 API Key 失败") + describe(*job));
        co_return false;
    }
    co_return true;
}

QCoro::Task<std::optional<QString>> KeychainManager::read()
{
    JobPtr<QKeychain::ReadPasswordJob> job(new QKeychain::ReadPasswordJob(m_serviceName));
    if (!co_await runJob(job.get(), "读取")) {
        (void)job.release();
        co_return std::nullopt;
    }
    if (job->error() == QKeychain::EntryNotFound)
        co_return std::nullopt;
    if (job->error() != QKeychain::NoError) {
        Log::line(QStringLiteral("❌ [Keychain] 读取 API Key 失败") + describe(*job));
        co_return std::nullopt;
    }
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString key = utf8.decode(job->binaryData());
    if (utf8.hasError())
        co_return std::nullopt;
    co_return key;
}

QCoro::Task<bool> KeychainManager::remove()
{
    JobPtr<QKeychain::DeletePasswordJob> job(new QKeychain::DeletePasswordJob(m_serviceName));
    if (!co_await runJob(job.get(), "删除")) {
        (void)job.release();
        co_return false;
    }
    if (job->error() == QKeychain::NoError || job->error() == QKeychain::EntryNotFound)
        co_return true;
    Log::line(QStringLiteral("❌ [Keychain] 删除 API Key 失败") + describe(*job));
    co_return false;
}

QCoro::Task<bool> KeychainManager::hasConfiguredKey()
{
    co_return isConfigured(co_await read());
}

bool KeychainManager::isConfigured(const std::optional<QString> &key)
{
    return key.has_value() && !key->isEmpty();
}

QString KeychainManager::storeName()
{
#if defined(Q_OS_MACOS)
    return UserText::of(QT_TRANSLATE_NOOP("UserText", "系统 Keychain"));
#else
    return UserText::of(QT_TRANSLATE_NOOP("UserText", "系统密钥环"));
#endif
}
