#pragma once

#include <QGroupBox>
#include <QList>
#include <QString>

#include <QCoroTask>

class QVBoxLayout;
class SettingsStore;

// The hosts the settings send requests to, and the key each one gets: the
// service's host its own key; the chat's host the key stored for it, else
// the service's; another company's speech server the key stored for its
// host, or none. Read afresh each time the box is shown (a key stored from
// the command line meanwhile shows).
class HostKeysBox final : public QGroupBox
{
    Q_OBJECT

public:
    explicit HostKeysBox(SettingsStore &store, QWidget *parent = nullptr);

    // What the box shows, one line a host: "role: host — key".
    QStringList lines() const;

protected:
    void showEvent(QShowEvent *event) override;

private:
    QCoro::Task<> refresh();

    SettingsStore &m_store;
    QVBoxLayout *m_rows;
    quint64 m_generation = 0;
};
