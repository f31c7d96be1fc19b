#include "filewatch.h"

#include <QFileInfo>

namespace {

constexpr int PollMs = 1000;
// How long a file must stay unchanged before it is read: long enough for a server's
// writes of one save, short enough to stay well within two seconds of the change.
constexpr int SettleMs = 300;

} // namespace

FileWatch::FileWatch(QObject *parent) : QObject(parent)
{
    m_poll.setInterval(PollMs);
    m_settle.setInterval(SettleMs);
    m_settle.setSingleShot(true);
    connect(&m_poll, &QTimer::timeout, this, &FileWatch::look);
    connect(&m_notices, &QFileSystemWatcher::fileChanged, this, &FileWatch::look);
    connect(&m_settle, &QTimer::timeout, this, [this] {
        const Stamp now = stampNow();
        if (now == m_seen)
            return;
        m_seen = now;
        emit changed();
    });
}

void FileWatch::watch(const QString &path)
{
    stop();
    m_path = path;
    m_seen = stampNow();
    m_notices.addPath(path);
    m_poll.start();
}

void FileWatch::stop()
{
    if (!m_notices.files().isEmpty())
        m_notices.removePaths(m_notices.files());
    m_poll.stop();
    m_settle.stop();
    m_path.clear();
}

FileWatch::Stamp FileWatch::stampNow() const
{
    const QFileInfo file(m_path);
    if (!file.exists())
        return {};
    return {true, file.size(), file.lastModified(), file.metadataChangeTime()};
}

void FileWatch::look()
{
    if (m_path.isEmpty())
        return;
    // A file replaced by another is no longer the one the notices follow.
    if (m_notices.files().isEmpty())
        m_notices.addPath(m_path);
    if (stampNow() != m_seen)
        m_settle.start(); // again from the start while the file keeps changing
}
