#include "HostKeysBox.h"

#include "AppConfig.h"
#include "DashScopeEndpoints.h"
#include "KeychainManager.h"
#include "SettingsStore.h"
#include "SettingsWidgets.h"

#include <QLabel>
#include <QPointer>
#include <QVBoxLayout>

HostKeysBox::HostKeysBox(SettingsStore &store, QWidget *parent)
    : QGroupBox(tr("各主机使用的 Key"), parent), m_store(store), m_rows(new QVBoxLayout(this))
{
    setAccessibleName(tr("各主机使用的 Key"));
}

QStringList HostKeysBox::lines() const
{
    QStringList lines;
    for (const QLabel *label : findChildren<QLabel *>())
        lines << label->text();
    return lines;
}

void HostKeysBox::showEvent(QShowEvent *event)
{
    QGroupBox::showEvent(event);
    refresh();
}

QCoro::Task<> HostKeysBox::refresh()
{
    const quint64 generation = ++m_generation;
    QPointer<HostKeysBox> self(this);
    const AppConfig config = m_store.loadAppConfig();
    const DashScopeEndpoints endpoints = DashScopeEndpoints::forConfig(config);
    struct Row
    {
        QString role;
        QString host;
        QString key;
    };
    QList<Row> rows{{tr("语音识别与合成（DashScope）"), endpoints.duplex.host(), tr("DashScope Key")}};
    const QString chatHost = KeychainManager::normalizedHost(endpoints.compatibleBase);
    KeychainManager chatKeychain = KeychainManager::forHost(chatHost);
    const std::optional<QString> chatKey = co_await chatKeychain.read();
    if (!self || generation != m_generation)
        co_return;
    rows.append({tr("对话与识图"), chatHost,
                 KeychainManager::isConfigured(chatKey) ? tr("此主机保存的 Key") : tr("DashScope Key")});
    // The roles another server serves: its host's key, or none at all.
    const struct
    {
        bool used;
        QString role;
        QString baseUrl;
    } others[] = {{config.transcribesByUpload(), tr("语音识别（OpenAI 兼容）"), config.transcriptionBaseURL},
                  {config.speechService == QLatin1String("openai"), tr("语音合成（OpenAI 兼容）"), config.speechBaseURL}};
    for (const auto &other : others) {
        if (!other.used)
            continue;
        const QString host = KeychainManager::normalizedHost(other.baseUrl);
        KeychainManager keychain = KeychainManager::forHost(host);
        const std::optional<QString> key = co_await keychain.read();
        if (!self || generation != m_generation)
            co_return;
        rows.append({other.role, host,
                     KeychainManager::isConfigured(key) ? tr("此主机保存的 Key") : tr("未保存 Key，不发送 Key")});
    }
    while (QLayoutItem *item = m_rows->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    for (const Row &row : rows) {
        const QString text = tr("%1：%2 — %3").arg(row.role, row.host, row.key);
        QLabel *label = SettingsWidgets::secondaryLabel(text, this);
        label->setAccessibleName(text);
        m_rows->addWidget(label);
    }
    QLabel *how = SettingsWidgets::secondaryLabel(
        tr("其他主机的 Key 用命令保存：quillwren key set --host 主机名（从标准输入读取）"), this);
    how->setAccessibleName(how->text());
    m_rows->addWidget(how);
}
