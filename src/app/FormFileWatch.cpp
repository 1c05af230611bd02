#include "app/FormFileWatch.h"

#include "markup/Document.h"

#include <QFile>
#include <QFileInfo>

FormFileWatch::FormFileWatch(const QByteArray &path, const QByteArray &seen, QObject *parent)
    : QObject(parent), m_path(path), m_seen(seen)
{
    const QString name = QFile::decodeName(path);
    // The directory tells of a file renamed over this one, or made anew.
    m_watcher.addPath(QFileInfo(name).absolutePath());
    m_watcher.addPath(name);
    m_quiet.setSingleShot(true);
    // Long enough for an editor's write, rename and chmod; short beside a rebuild.
    m_quiet.setInterval(40);
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, this, &FormFileWatch::stirred);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, &FormFileWatch::stirred);
    connect(&m_quiet, &QTimer::timeout, this, &FormFileWatch::settle);
}

void FormFileWatch::stirred() { m_quiet.start(); }

void FormFileWatch::settle()
{
    const QString name = QFile::decodeName(m_path);
    // A replaced file is a new one: the watcher has forgotten the old.
    if (!m_watcher.files().contains(name) && QFileInfo(name).isFile())
        m_watcher.addPath(name);
    if (!QFileInfo::exists(name))
        return; // between the delete and the write of a replacing editor
    // The reader's own rules: FIFOs and devices are never opened.
    const std::optional<QByteArray> text = readMcFile(m_path);
    if (text && *text == m_seen)
        return;
    m_seen = text.value_or(QByteArray());
    emit saved(text);
}
