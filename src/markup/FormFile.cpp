#include "markup/Document.h"
#include "markup/Scanner.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString systemError(int err)
{
    return QString::fromLocal8Bit(std::strerror(err));
}

// Why a file that is not a regular file cannot be a form; empty for a regular one.
// A FIFO would block the open until some writer came, a device may never end.
QString notRegular(mode_t mode)
{
    if (S_ISREG(mode))
        return {};
    if (S_ISDIR(mode))
        return systemError(EISDIR);
    const char *what = S_ISFIFO(mode)                    ? "a named pipe (FIFO)"
                       : S_ISCHR(mode) || S_ISBLK(mode) ? "a device"
                       : S_ISSOCK(mode)                 ? "a socket"
                                                        : "no regular file";
    return QStringLiteral("Is %1: kiv reads forms only from regular files").arg(QLatin1String(what));
}

QString tooLarge()
{
    return QStringLiteral("File too large: a form may hold at most %1 bytes").arg(kMaxTextSize);
}

// Appends everything fd gives until its end, never more than kMaxTextSize bytes
// in all (a file that grows while it is read stops at the limit too).
bool readToEnd(int fd, QByteArray &data, QString *why)
{
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN) {
            // A standard input left non-blocking by whoever made it.
            pollfd p{fd, POLLIN, 0};
            ::poll(&p, 1, -1);
            continue;
        }
        if (n < 0) {
            *why = systemError(errno);
            return false;
        }
        if (n == 0)
            return true;
        if (data.size() + n > kMaxTextSize) {
            *why = tooLarge();
            return false;
        }
        data.append(buffer, n);
    }
}

// Reads a whole regular file, never more than kMaxTextSize bytes; on failure
// returns nothing and says why.
std::optional<QByteArray> readWholeFile(const QByteArray &path, QString *why)
{
    if (path.contains('\0')) {
        *why = systemError(ENOENT);
        return std::nullopt;
    }
    // Looked at before opening: opening a FIFO waits for a writer.
    struct stat st {};
    if (::stat(path.constData(), &st) != 0) {
        *why = systemError(errno);
        return std::nullopt;
    }
    if (*why = notRegular(st.st_mode); !why->isEmpty())
        return std::nullopt;
    // Non-blocking all the same, should the name have become a FIFO meanwhile.
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        *why = systemError(errno);
        return std::nullopt;
    }
    auto fail = [&](QString reason) {
        ::close(fd);
        *why = std::move(reason);
        return std::nullopt;
    };
    if (::fstat(fd, &st) != 0)
        return fail(systemError(errno));
    if (QString reason = notRegular(st.st_mode); !reason.isEmpty())
        return fail(reason);
    if (st.st_size > kMaxTextSize)
        return fail(tooLarge());
    QByteArray data;
    if (st.st_size > 0)
        data.reserve(qsizetype(st.st_size) + 1);
    const bool read = readToEnd(fd, data, why);
    ::close(fd);
    if (!read)
        return std::nullopt;
    return data;
}

} // namespace

std::optional<QByteArray> readMcFile(const QByteArray &path, QString *error)
{
    QString why;
    std::optional<QByteArray> text = readWholeFile(path, &why);
    if (!text && error)
        *error = why;
    return text;
}

std::unique_ptr<Document> loadDocument(const QByteArray &path, QString *error, ReadDetails *details)
{
    const std::optional<QByteArray> text = readMcFile(path, error);
    if (!text) {
        if (details)
            *details = ReadDetails();
        return nullptr;
    }
    return parseDocument(*text, error, details);
}

std::optional<QByteArray> readMcStandardInput(QString *error)
{
    QString why;
    QByteArray data;
    if (!readToEnd(STDIN_FILENO, data, &why)) {
        if (error)
            *error = why;
        return std::nullopt;
    }
    return data;
}
