#pragma once

#include <QByteArray>
#include <QString>

#include <memory>
#include <optional>

class QSettings;

// A per-user store of byte strings under string keys: where the records of
// settings live between launches.
class KeyValueStore
{
public:
    virtual ~KeyValueStore() = default;

    // The bytes stored under the key, or nothing when the key is absent.
    virtual std::optional<QByteArray> data(const QString &key) const = 0;
    // Stores the bytes under the key, replacing any earlier value. Failures are
    // logged, never reported: settings are best effort.
    virtual void setData(const QString &key, const QByteArray &value) = 0;
};

// The production store: QSettings in the platform's native format (an INI file
// under the XDG config folder on Linux, user defaults on macOS), organisation
// "orvo", application "Quillwren". Every read first picks up changes another
// process (the command line, a second instance) wrote.
class SettingsKeyValueStore final : public KeyValueStore
{
public:
    SettingsKeyValueStore();
    // An INI file at an explicit path.
    explicit SettingsKeyValueStore(const QString &iniPath);
    ~SettingsKeyValueStore() override;

    std::optional<QByteArray> data(const QString &key) const override;
    void setData(const QString &key, const QByteArray &value) override;

    QString fileName() const;

private:
    std::unique_ptr<QSettings> m_settings;
};
