#include "picturefile.h"

#include "wholefile.h"

#include <QBuffer>
#include <QByteArray>
#include <QDir>
#include <QFileInfo>
#include <QImageWriter>

namespace {

QString Failure(const QString &path, const QString &why) {
    return QStringLiteral("The picture could not be saved as %1.\n%2")
        .arg(QDir::toNativeSeparators(path), why);
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

    const QString why = WriteFileWhole(path, encoded);
    if (!why.isEmpty())
        return Failure(path, why);
    return {};
}
