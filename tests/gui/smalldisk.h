#pragma once
// A small tmpfs of a test's own, for what the program does on a full or
// read-only disk. Mounted only where the process may mount one (as root).
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

#include <sys/mount.h>
#include <sys/statvfs.h>

// Filled so that only `room` bytes are left, or made read-only.
class SmallDisk {
public:
    SmallDisk(const QString &folder, qint64 size) : m_path(folder) {
        QDir().mkpath(folder);
        const QByteArray options = "size=" + QByteArray::number(size);
        m_mounted =
            mount("tmpfs", QFile::encodeName(folder).constData(), "tmpfs", 0, options.constData()) == 0;
    }
    ~SmallDisk() {
        if (m_mounted)
            umount2(QFile::encodeName(m_path).constData(), MNT_DETACH);
    }
    bool Mounted() const { return m_mounted; }
    qint64 Free() const {
        struct statvfs fs {};
        return statvfs(QFile::encodeName(m_path).constData(), &fs) == 0 ? qint64(fs.f_bavail) * fs.f_frsize
                                                                        : -1;
    }
    bool ReadOnly() {
        return m_mounted && mount(nullptr, QFile::encodeName(m_path).constData(), nullptr,
                                  MS_REMOUNT | MS_RDONLY, nullptr) == 0;
    }
    // A filler file takes all but `room` bytes (a multiple of the page size).
    bool FillLeaving(qint64 room) {
        QFile filler(m_path + "/filler");
        if (!filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            return false;
        const QByteArray block(Free() - room, 'x');
        return filler.write(block) == block.size() && Free() == room;
    }

private:
    QString m_path;
    bool m_mounted = false;
};

