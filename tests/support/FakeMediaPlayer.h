#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QStringList>

// A media player on the session bus, as a music or video player would be:
// org.mpris.MediaPlayer2.NAME on a connection of its own, with the Player
// interface's PlaybackStatus and its Play, Pause, PlayPause and Stop. It
// records every call, and tells the bus of each change of its status, the
// user's own (setStatus) included.
class FakeMediaPlayer : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
    Q_PROPERTY(QString PlaybackStatus READ playbackStatus)

public:
    FakeMediaPlayer(const QString &name, const QString &status);
    ~FakeMediaPlayer() override;

    bool isServing() const { return m_serving; }
    QString playbackStatus() const { return m_status; }
    const QStringList &calls() const { return m_calls; }
    // When each call came, in ms since the epoch.
    const QList<qint64> &callTimes() const { return m_callTimes; }
    // The user presses play or pause in the player's own window.
    void setStatus(const QString &status);
    // The player quits: its name and connection are gone.
    void close();

public Q_SLOTS:
    Q_SCRIPTABLE void Play();
    Q_SCRIPTABLE void Pause();
    Q_SCRIPTABLE void PlayPause();
    Q_SCRIPTABLE void Stop();

private:
    void called(const QString &method, const QString &status);

    QString m_connection;
    QString m_service;
    QDBusConnection m_bus;
    QString m_status;
    QStringList m_calls;
    QList<qint64> m_callTimes;
    bool m_serving = false;
};
