#include "picturefile.h"

#include <QDir>
#include <QFileInfo>
#include <QImageWriter>
#include <QSaveFile>

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

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return Failure(path, file.errorString());
    QImageWriter writer(&file, jpeg ? "jpeg" : "png");
    // PNG: zlib's fastest level; the scene's large flat areas still pack well.
    // JPEG: a quality that keeps the thin text sharp.
    if (jpeg)
        writer.setQuality(92);
    else
        writer.setCompression(11); // Qt maps 0..100 onto zlib 0..9: 11 is level 1
    if (!writer.write(jpeg ? image.convertToFormat(QImage::Format_RGB888) : image)) {
        // A write error of the file itself says more than the writer's summary.
        const QString why = file.error() != QFileDevice::NoError ? file.errorString() : writer.errorString();
        file.cancelWriting();
        return Failure(path, why);
    }
    if (!file.commit())
        return Failure(path, file.errorString());
    return {};
}
