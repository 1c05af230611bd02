#pragma once

#include <QByteArray>
#include <QFileSystemWatcher>
#include <QObject>
#include <QTimer>

#include <optional>

// Watches one file for saves: written in place, or replaced (a new file renamed
// over it, or deleted and written again). A burst of events becomes one saved()
// once the file has been quiet for a moment and its bytes differ from the last
// ones seen; while it is missing nothing is said. A name that the system's
// watcher cannot be given (not UTF-8) is polled instead.
class FormFileWatch : public QObject
{
    Q_OBJECT
public:
    // seen: the bytes the form was built from.
    FormFileWatch(const QByteArray &path, const QByteArray &seen, QObject *parent = nullptr);

    QByteArray path() const { return m_path; }

signals:
    // The new bytes, or nothing when the file cannot be read.
    void saved(const std::optional<QByteArray> &text);

private:
    void stirred();
    void settle();
    void poll();

    QByteArray m_path;
    QByteArray m_seen;
    QFileSystemWatcher m_watcher;
    QTimer m_quiet;
    QTimer m_poll;
    QByteArray m_stamp; // inode, size and time of the last poll
};
