#include "picturefile.h"

#include <QBuffer>
#include <QByteArray>
#include <QDir>
#include <QFileInfo>
#include <QImageWriter>
#include <QSaveFile>

#include <cerrno>
#include <cstring>

#include <unistd.h>

namespace {

QString Failure(const QString &path, const QString &why) {
    return QStringLiteral("The picture could not be saved as %1.\n%2")
        .arg(QDir::toNativeSeparators(path), why);
}

// The system's own words for an errno value ("No space left on device").
QString SystemReason(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// Writes all of `data` to the descriptor; 0 when every byte was taken, else the
// errno of the write that failed. A write that takes fewer bytes than offered
// is followed by another, which then reports why the first stopped short.
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

} // namespace

QString WritePicture(const QImage &image, const QString &path) {
    if (image.isNull())
        return Failure(path, QStringLiteral("There is no picture to save."));
    const QString suffix = QFileInfo(path).suffix().toLower();
    const bool jpeg = suffix == QLatin1String("jpg") || suffix == QLatin1String("jpeg");
    // Only a regular file is replaced; a device or a pipe of that name is not ours to write into.
    const QFileInfo existing(path);
    if (existing.exists() && !existing.isFile())
        return Failure(path, QStringLiteral("A file of that name exists and is not a regular file."));

    // The whole picture is made in memory first, so that a failing disk is met only
    // by plain writes, each of which is checked.
    QByteArray encoded;
    {
        QBuffer buffer(&encoded);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, jpeg ? "jpeg" : "png");
        // PNG: zlib's fastest level; the scene's large flat areas still pack well.
        // JPEG: a quality that keeps the thin text sharp.
        if (jpeg)
            writer.setQuality(92);
        else
            writer.setCompression(11); // Qt maps 0..100 onto zlib 0..9: 11 is level 1
        if (!writer.write(jpeg ? image.convertToFormat(QImage::Format_RGB888) : image))
            return Failure(path, writer.errorString());
    }

    // The new file takes the old one's place only once all of it is on the disk.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return Failure(path, file.errorString());
    int error = WriteAll(file.handle(), encoded);
    if (error == 0 && ::fsync(file.handle()) != 0 && errno != EINVAL && errno != EROFS)
        error = errno; // EINVAL/EROFS: the file system keeps no cache to flush
    if (error != 0) {
        file.cancelWriting();
        return Failure(path, SystemReason(error));
    }
    if (!file.commit())
        return Failure(path, file.errorString());
    return {};
}
