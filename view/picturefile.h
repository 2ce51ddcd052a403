#pragma once
// Writing a picture of the scene to a file, for the viewer's Save Picture and
// for quor-inspect --render alike.
#include <QImage>
#include <QString>

// PNG or JPEG by the name's extension (.jpg and .jpeg are JPEG, anything else
// PNG). All or nothing: on failure no file is left behind and a file of that
// name stays as it was. Returns an empty string on success, else a message for
// the user that names the file and says why.
QString WritePicture(const QImage &image, const QString &path);
