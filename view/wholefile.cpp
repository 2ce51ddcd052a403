#include "wholefile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString SystemReason(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// 0 when every byte was taken, else the errno of the write that failed. A write
// that takes fewer bytes than offered is followed by another, which then reports
// why the first stopped short.
int WriteAll(int fd, const QByteArray &data) {
    const char *p = data.constData();
    qint64 left = data.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, static_cast<size_t>(left));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (n == 0)
            return EIO;
        p += n;
        left -= n;
    }
    return 0;
}

QString NotRegular(const struct stat &st) {
    if (S_ISDIR(st.st_mode))
        return QStringLiteral("It is a folder, not a file.");
    if (S_ISFIFO(st.st_mode))
        return QStringLiteral("It is a named pipe, not a file.");
    return QStringLiteral("It is not a regular file.");
}

} // namespace

QString WriteFileWhole(const QString &path, const QByteArray &data) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) == 0 && !S_ISREG(st.st_mode))
        return NotRegular(st);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return file.errorString();
    int error = WriteAll(file.handle(), data);
    if (error == 0 && ::fsync(file.handle()) != 0 && errno != EINVAL && errno != EROFS)
        error = errno; // EINVAL/EROFS: the file system keeps no cache to flush
    if (error != 0) {
        file.cancelWriting();
        return SystemReason(error);
    }
    if (!file.commit())
        return file.errorString();
    return {};
}

QString ReadSmallFile(const QString &path, qint64 maxBytes, QByteArray &data, bool *exists) {
    data.clear();
    if (exists)
        *exists = false;
    // Not blocking: a pipe put in the file's place would otherwise hold the open for good.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        const int error = errno;
        if (error == ENOENT)
            return {};
        if (exists)
            *exists = true;
        return SystemReason(error);
    }
    if (exists)
        *exists = true;
    struct stat st {};
    QString why;
    if (::fstat(fd, &st) != 0)
        why = SystemReason(errno);
    else if (!S_ISREG(st.st_mode))
        why = NotRegular(st);
    else if (st.st_size > maxBytes)
        why = QStringLiteral("It is larger than %1 KiB.").arg(maxBytes / 1024);
    while (why.isEmpty()) {
        char buffer[16384];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            why = SystemReason(errno);
        } else if (n == 0) {
            break;
        } else if (data.size() + n > maxBytes) {
            why = QStringLiteral("It is larger than %1 KiB.").arg(maxBytes / 1024);
        } else {
            data.append(buffer, n);
        }
    }
    ::close(fd);
    if (!why.isEmpty())
        data.clear();
    return why;
}
