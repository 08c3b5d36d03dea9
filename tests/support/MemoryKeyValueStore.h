#pragma once

#include "KeyValueStore.h"

#include <QHash>
#include <QList>

// A key-value store in memory that remembers every write, for tests that
// count saves or check that nothing was written.
class MemoryKeyValueStore final : public KeyValueStore
{
public:
    std::optional<QByteArray> data(const QString &key) const override
    {
        const auto it = values.constFind(key);
        return it == values.cend() ? std::nullopt : std::optional<QByteArray>(*it);
    }

    void setData(const QString &key, const QByteArray &value) override
    {
        values.insert(key, value);
        writes.append({key, value});
    }

    QHash<QString, QByteArray> values;
    QList<std::pair<QString, QByteArray>> writes;
};
