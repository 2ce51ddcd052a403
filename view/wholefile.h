#pragma once
// Writing a file the user keeps (a picture, the fetched elements, the settings
// profile) whole or not at all. QSaveFile alone is not enough: in Qt 6.4 a
// buffered QSaveFile whose last flush fails (a full disk) still commits, leaving
// a cut file in place of a good one.
#include <QByteArray>
#include <QString>

// Replaces the file at `path` with `data`: written unbuffered with every byte
// count checked, flushed to the disk, and only then put in the old file's place.
// On failure no file is left behind and a file of that name stays as it was.
// Only a regular file is replaced. Returns an empty string on success, else the
// reason in the system's own words ("No space left on device").
QString WriteFileWhole(const QString &path, const QByteArray &data);

// Reads a small file the program keeps without ever blocking: a pipe, a device or a
// folder of that name is refused, and so is a file larger than `maxBytes`. A file
// that does not exist reads as empty with `exists` false. Returns an empty string on
// success, else the reason.
QString ReadSmallFile(const QString &path, qint64 maxBytes, QByteArray &data, bool *exists = nullptr);
