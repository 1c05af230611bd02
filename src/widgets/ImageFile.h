#pragma once

#include <QByteArray>
#include <QImage>

#include <optional>

// Picture files are read only when they are regular files of bounded size: a name
// that points at a FIFO or a device (an mc file's src, an <img> in command output)
// must neither hang kiv nor fill its memory. Paths are bytes, as the system gives
// them, whether or not they are UTF-8.
constexpr qint64 kMaxImageFileBytes = 64 * 1024 * 1024;

// The whole content of path when it is a regular file of at most maxBytes.
std::optional<QByteArray> readRegularFile(const QByteArray &path, qint64 maxBytes);

// True when path can be opened for reading (without waiting on a FIFO).
bool canOpenForReading(const QByteArray &path);

// The picture in path, or a null image when it is not a readable picture file.
QImage loadImageFile(const QByteArray &path);

// name if it can be read, else the same name in the icons directory, else the
// default icon.
QByteArray resolveIconPath(const QByteArray &name);

QByteArray dataDirectory();    // where kiv's pictures are installed
QByteArray defaultIconPath();  // <data dir>/icona.png
QByteArray iconsDirectory();   // <data dir>/icons/
