#include "app/FormFileWatch.h"

#include "markup/Document.h"

#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray absolute(const QByteArray &path)
{
    if (path.startsWith('/'))
        return path;
    char here[4096];
    return getcwd(here, sizeof here) ? QByteArray(here) + '/' + path : path;
}

// What changes when the file is written or replaced; empty while it is missing.
QByteArray stamp(const QByteArray &path)
{
    struct stat st;
    if (::stat(path.constData(), &st) != 0)
        return {};
    return QByteArray::number(qulonglong(st.st_ino)) + ' ' + QByteArray::number(qlonglong(st.st_size)) + ' '
           + QByteArray::number(qlonglong(st.st_mtim.tv_sec)) + '.' + QByteArray::number(qlonglong(st.st_mtim.tv_nsec));
}

} // namespace

FormFileWatch::FormFileWatch(const QByteArray &path, const QByteArray &seen, QObject *parent)
    : QObject(parent), m_path(path), m_seen(seen)
{
    m_quiet.setSingleShot(true);
    // Long enough for an editor's write, rename and chmod; short beside a rebuild.
    m_quiet.setInterval(40);
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, this, &FormFileWatch::stirred);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, &FormFileWatch::stirred);
    connect(&m_quiet, &QTimer::timeout, this, &FormFileWatch::settle);
    const QByteArray full = absolute(path);
    if (QFile::encodeName(QFile::decodeName(full)) != full) {
        m_stamp = stamp(path);
        connect(&m_poll, &QTimer::timeout, this, &FormFileWatch::poll);
        m_poll.start(500);
        return;
    }
    const QString name = QFile::decodeName(full);
    // The directory tells of a file renamed over this one, or made anew.
    m_watcher.addPath(QFileInfo(name).absolutePath());
    m_watcher.addPath(name);
}

void FormFileWatch::poll()
{
    const QByteArray now = stamp(m_path);
    if (now != m_stamp) {
        m_stamp = now;
        stirred();
    }
}

void FormFileWatch::stirred() { m_quiet.start(); }

void FormFileWatch::settle()
{
    if (stamp(m_path).isEmpty())
        return; // between the delete and the write of a replacing editor
    // A replaced file is a new one: the watcher has forgotten the old.
    const QString name = QFile::decodeName(absolute(m_path));
    if (!m_poll.isActive() && !m_watcher.files().contains(name))
        m_watcher.addPath(name);
    // The reader's own rules: FIFOs and devices are never opened.
    const std::optional<QByteArray> text = readMcFile(m_path);
    if (text && *text == m_seen)
        return;
    m_seen = text.value_or(QByteArray());
    emit saved(text);
}
