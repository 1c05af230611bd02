#include "shell/ScriptImage.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#ifndef MFD_NOEXEC_SEAL
#define MFD_NOEXEC_SEAL 0x0008U
#endif

namespace {

bool writeAll(int fd, const char *data, qsizetype size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size_t(size));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= n;
    }
    return true;
}

int memoryFile()
{
    // Kernels set to refuse executable memory files want the no-exec flag; older
    // ones do not know it.
    int fd = ::memfd_create("kiv-script", MFD_CLOEXEC | MFD_ALLOW_SEALING | MFD_NOEXEC_SEAL);
    if (fd < 0 && errno == EINVAL)
        fd = ::memfd_create("kiv-script", MFD_CLOEXEC | MFD_ALLOW_SEALING);
    return fd;
}

int namelessFile()
{
    int fd = -1;
    for (const char *dir : {static_cast<const char *>(std::getenv("TMPDIR")), "/tmp"}) {
        if (dir && *dir && (fd = ::open(dir, O_TMPFILE | O_RDWR | O_CLOEXEC, 0600)) >= 0)
            break;
    }
    return fd;
}

} // namespace

ScriptImage::ScriptImage(const QByteArray &content, bool memoryFileAllowed)
{
    const bool inMemory = memoryFileAllowed && (m_fd = memoryFile()) >= 0;
    if (!inMemory)
        m_fd = namelessFile();
    if (m_fd < 0) {
        m_error = errno;
        return;
    }
    errno = 0;
    bool good = writeAll(m_fd, content.constData(), content.size());
    // Only kiv's user may read the values; sealed, not even the command itself can
    // change what it runs.
    if (good && inMemory)
        good = ::fchmod(m_fd, 0600) == 0
               && ::fcntl(m_fd, F_ADD_SEALS, F_SEAL_WRITE | F_SEAL_GROW | F_SEAL_SHRINK | F_SEAL_SEAL) == 0;
    if (!good) {
        m_error = errno ? errno : EIO;
        ::close(m_fd);
        m_fd = -1;
    }
}

ScriptImage::~ScriptImage()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

QByteArray ScriptImage::path() const
{
    QByteArray path("/proc/");
    path += QByteArray::number(qint64(::getpid()));
    path += "/fd/";
    path += QByteArray::number(m_fd);
    return path;
}
