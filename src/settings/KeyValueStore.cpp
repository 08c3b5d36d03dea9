#include "KeyValueStore.h"

#include "Log.h"

#include <QSettings>

SettingsKeyValueStore::SettingsKeyValueStore()
    : m_settings(std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                             QStringLiteral("orvo"), QStringLiteral("Quillwren")))
{
}

SettingsKeyValueStore::SettingsKeyValueStore(const QString &iniPath)
    : m_settings(std::make_unique<QSettings>(iniPath, QSettings::IniFormat))
{
}

SettingsKeyValueStore::~SettingsKeyValueStore() = default;

std::optional<QByteArray> SettingsKeyValueStore::data(const QString &key) const
{
    m_settings->sync();
    if (!m_settings->contains(key))
        return std::nullopt;
    const QVariant value = m_settings->value(key);
    // Records are written as byte arrays; a hand-edited plain string reads as
    // its UTF-8 bytes, and anything else as bytes no decoder accepts.
    if (value.typeId() == QMetaType::QByteArray || value.typeId() == QMetaType::QString)
        return value.toByteArray();
    return QByteArray();
}

void SettingsKeyValueStore::setData(const QString &key, const QByteArray &value)
{
    m_settings->setValue(key, value);
    m_settings->sync();
    if (m_settings->status() != QSettings::NoError)
        Log::line(QStringLiteral("⚠️ [Settings] 无法写入设置文件 ") + m_settings->fileName());
}

QString SettingsKeyValueStore::fileName() const
{
    return m_settings->fileName();
}
