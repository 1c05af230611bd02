#include "widgets/ImageFile.h"

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

namespace {

QByteArray executableDirectory()
{
    char path[4096];
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path);
    if (n <= 0 || size_t(n) >= sizeof path)
        return {};
    const QByteArray file(path, n);
    return file.left(file.lastIndexOf('/'));
}

bool isDirectory(const QByteArray &path)
{
    struct stat st {};
    return ::stat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

} // namespace

// A kiv run from its build tree, not installed, finds the data staged beside it;
// an installed kiv has no such directory beside it and uses the compiled-in one.
// Computed once: it cannot change while kiv runs.
QByteArray dataDirectory()
{
    static const QByteArray directory = [] {
        const QByteArray beside = executableDirectory();
        const QByteArray staged = beside + "/kiv-data";
        return !beside.isEmpty() && isDirectory(staged) ? staged : QByteArray(KIV_DATA_DIR);
    }();
    return directory;
}
QByteArray defaultIconPath() { return dataDirectory() + "/icona.png"; }
QByteArray iconsDirectory() { return dataDirectory() + "/icons/"; }

QByteArray resolveIconPath(const QByteArray &name)
{
    if (canOpenForReading(name))
        return name;
    const QByteArray inIcons = iconsDirectory() + name;
    if (!name.isEmpty() && canOpenForReading(inIcons))
        return inIcons;
    return defaultIconPath();
}
