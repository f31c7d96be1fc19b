#pragma once

#include <QDateTime>
#include <QFileSystemWatcher>
#include <QObject>
#include <QString>
#include <QTimer>

// Tells when a file has changed and stopped changing. The system's change notices come
// at once where they arrive; the file's stamp is also compared every second, which serves
// network shares that send none and a file replaced by another (renamed over it), which
// the notices lose track of.
class FileWatch : public QObject
{
    Q_OBJECT

public:
    explicit FileWatch(QObject *parent = nullptr);

    // Follows the file at `path` from its present state on.
    void watch(const QString &path);
    void stop();
    bool isWatching() const { return !m_path.isEmpty(); }
    const QString &path() const { return m_path; }

signals:
    // The file differs from when it was last seen and has not changed for a moment: a
    // server that writes a file in pieces is read once it is done.
    void changed();

private:
    // What tells one state of a file from another without reading it.
    struct Stamp
    {
        bool exists = false;
        qint64 size = 0;
        QDateTime modified;
        QDateTime statusChanged; // also changes when another file is renamed over it
        friend bool operator==(const Stamp &, const Stamp &) = default;
    };
    Stamp stampNow() const;
    void look();

    QString m_path;
    Stamp m_seen;
    QFileSystemWatcher m_notices;
    QTimer m_poll;
    QTimer m_settle;
};
