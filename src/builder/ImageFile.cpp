#include "builder/ImageFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// O_NONBLOCK: opening a FIFO for reading must not wait for a writer.
int openForReading(const QByteArray &path)
{
    if (path.isEmpty() || path.contains('\0'))
        return -1;
    int fd;
    do {
        fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

} // namespace

bool canOpenForReading(const QByteArray &path)
{
    const int fd = openForReading(path);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

std::optional<QByteArray> readRegularFile(const QByteArray &path, qint64 maxBytes)
{
    const int fd = openForReading(path);
    if (fd < 0)
        return std::nullopt;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > maxBytes) {
        ::close(fd);
        return std::nullopt;
    }
    QByteArray data;
    data.resize(qsizetype(st.st_size));
    qsizetype used = 0;
    // The file may grow while it is read: never past the size it had, nor the limit.
    while (used < data.size()) {
        const ssize_t n = ::read(fd, data.data() + used, size_t(data.size() - used));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        used += n;
    }
    ::close(fd);
    data.resize(used);
    return data;
}

QImage loadImageFile(const QByteArray &path)
{
    const std::optional<QByteArray> data = readRegularFile(path, kMaxImageFileBytes);
    return data ? QImage::fromData(*data) : QImage();
}
