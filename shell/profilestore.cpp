#include "profilestore.h"

#include "view/wholefile.h"

#include <QDir>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QScopeGuard>

#include <cerrno>
#include <cstring>

#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace {

// Changes come in bursts (a window dragged, several values of one dialog): one write for each burst.
constexpr int kSaveDelayMs = 250;
// Another viewer holds the lock only for the moment of one write.
constexpr int kLockWaitMs = 5000;
constexpr int kStaleLockMs = 10000;

// The value as the file's text gives it back: numbers and truth values read back as text.
QVariant Normal(const QVariant &value) {
    switch (value.metaType().id()) {
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Long:
    case QMetaType::ULong:
        return value.toString();
    default:
        return value;
    }
}

QString Sentence(QString why) {
    while (why.endsWith('.'))
        why.chop(1);
    if (!why.isEmpty())
        why[0] = why[0].toLower();
    return why;
}

} // namespace

ProfileStore::ProfileStore(const QString &path, QObject *parent)
    : QObject(parent), m_path(QFileInfo(path).absoluteFilePath()),
      m_dir(QDir::tempPath() + QStringLiteral("/quor-profile-XXXXXX")) {
    m_saveTimer.setSingleShot(true);
    m_saveTimer.setInterval(kSaveDelayMs);
    connect(&m_saveTimer, &QTimer::timeout, this, [this] {
        QString why;
        if (!Save(&why))
            emit SaveFailed(why);
    });

    QByteArray bytes;
    m_refusal = ReadSmallFile(m_path, kMaxBytes, bytes);
    if (!m_dir.isValid() && m_refusal.isEmpty())
        m_refusal = QStringLiteral("No working copy can be made in %1: %2.")
                        .arg(QDir::toNativeSeparators(QDir::tempPath()), m_dir.errorString());
    if (!m_refusal.isEmpty())
        bytes.clear();
    // With no working folder the values stay in memory only: such settings have no file to write.
    const QString work = m_dir.isValid() ? m_dir.filePath(QStringLiteral("profile.ini")) : QString();
    if (!work.isEmpty()) {
        QFile file(work);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.flush())
            m_refusal = QStringLiteral("No working copy can be made in %1: %2.")
                            .arg(QDir::toNativeSeparators(QDir::tempPath()), file.errorString());
    }
    m_settings = std::make_unique<QSettings>(work, QSettings::IniFormat);
    m_settings->installEventFilter(this);
    m_base = Snapshot(*m_settings);
    if (m_refusal.isEmpty()) {
        m_stamp = StampOf(m_path);
        Watch();
    }
}

ProfileStore::~ProfileStore() {
    // Whoever listened may be going too.
    blockSignals(true);
    if (m_refusal.isEmpty() && Snapshot(*m_settings) != m_base)
        Save();
    // The settings go before their working folder.
    m_settings.reset();
}

void ProfileStore::SetGroupMerge(const QString &group, std::function<void(QSettings &)> merge) {
    m_groupMerges.emplace_back(group, std::move(merge));
}

bool ProfileStore::eventFilter(QObject *watched, QEvent *event) {
    // QSettings asks itself to write when its values change: that is the moment to save.
    if (watched == m_settings.get() && event->type() == QEvent::UpdateRequest && m_refusal.isEmpty() &&
        Snapshot(*m_settings) != m_base)
        m_saveTimer.start();
    return QObject::eventFilter(watched, event);
}

ProfileStore::Stamp ProfileStore::StampOf(const QString &path) {
    Stamp stamp;
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return stamp;
    stamp.exists = true;
    stamp.size = st.st_size;
    stamp.mtimeNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    stamp.inode = st.st_ino;
    stamp.device = st.st_dev;
    return stamp;
}

ProfileStore::Values ProfileStore::Snapshot(QSettings &settings) {
    Values values;
    const QString group = settings.group();
    while (!settings.group().isEmpty())
        settings.endGroup();
    for (const QString &key : settings.allKeys())
        values.insert(key, Normal(settings.value(key)));
    if (!group.isEmpty())
        settings.beginGroup(group);
    return values;
}

QString ProfileStore::ScratchPath() {
    return m_dir.filePath(QStringLiteral("stored-%1.ini").arg(++m_scratch));
}

bool ProfileStore::ReadStored(std::unique_ptr<QSettings> &stored, QString &why) {
    QByteArray bytes;
    why = ReadSmallFile(m_path, kMaxBytes, bytes);
    if (!why.isEmpty())
        return false;
    const QString scratch = ScratchPath();
    QFile file(scratch);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.flush()) {
        why = QStringLiteral("No working copy can be made in %1: %2.")
                  .arg(QDir::toNativeSeparators(QDir::tempPath()), file.errorString());
        QFile::remove(scratch);
        return false;
    }
    file.close();
    stored = std::make_unique<QSettings>(scratch, QSettings::IniFormat);
    return true;
}

bool ProfileStore::InMergedGroup(const QString &key) const {
    for (const auto &merge : m_groupMerges) {
        if (key.startsWith(merge.first + '/'))
            return true;
    }
    return false;
}

void ProfileStore::Adopt(QSettings &from) {
    const Values taken = Snapshot(from);
    if (taken != Snapshot(*m_settings)) {
        const QString group = m_settings->group();
        while (!m_settings->group().isEmpty())
            m_settings->endGroup();
        m_settings->clear();
        for (const QString &key : from.allKeys())
            m_settings->setValue(key, from.value(key));
        m_settings->sync();
        if (!group.isEmpty())
            m_settings->beginGroup(group);
    }
    m_base = Snapshot(*m_settings);
}

bool ProfileStore::Fail(const QString &why, QString *out) {
    if (out)
        *out = Sentence(why);
    return false;
}

bool ProfileStore::Save(QString *why) {
    m_saveTimer.stop();
    if (!m_refusal.isEmpty())
        return Fail(m_refusal, why);
    m_settings->sync(); // the working copy, so that it is current should this viewer end now
    const Values mine = Snapshot(*m_settings);

    const QString folder = QFileInfo(m_path).absolutePath();
    QDir().mkpath(folder);
    if (::access(QFile::encodeName(folder).constData(), W_OK) != 0)
        return Fail(QString::fromLocal8Bit(std::strerror(errno)), why);
    // One writer at a time: another viewer's write in between would be lost.
    QLockFile lock(m_path + QStringLiteral(".lock"));
    lock.setStaleLockTime(kStaleLockMs);
    if (!lock.tryLock(kLockWaitMs)) {
        if (lock.error() == QLockFile::LockFailedError)
            return Fail(QStringLiteral("another program holds the profile's lock"), why);
        // QLockFile gives no reason of its own; a full disk is the usual one.
        struct statvfs fs {};
        if (::statvfs(QFile::encodeName(folder).constData(), &fs) == 0 && fs.f_bavail == 0)
            return Fail(QString::fromLocal8Bit(std::strerror(ENOSPC)), why);
        return Fail(QStringLiteral("its lock file cannot be made in %1").arg(QDir::toNativeSeparators(folder)),
                    why);
    }

    std::unique_ptr<QSettings> stored;
    const auto dropScratch = qScopeGuard([&stored] {
        if (stored) {
            const QString scratch = stored->fileName();
            stored.reset();
            QFile::remove(scratch);
        }
    });
    QString reason;
    if (!ReadStored(stored, reason))
        return Fail(reason, why);
    const Values storedBefore = Snapshot(*stored);
    // What changed here since the last read or write goes over what is stored now.
    for (auto it = mine.cbegin(); it != mine.cend(); ++it) {
        if (!InMergedGroup(it.key()) && m_base.value(it.key()) != it.value())
            stored->setValue(it.key(), m_settings->value(it.key()));
    }
    for (auto it = m_base.cbegin(); it != m_base.cend(); ++it) {
        if (!InMergedGroup(it.key()) && !mine.contains(it.key()))
            stored->remove(it.key());
    }
    for (const auto &merge : m_groupMerges)
        merge.second(*stored);
    stored->sync();
    if (stored->status() != QSettings::NoError)
        return Fail(QStringLiteral("no working copy could be written in %1")
                        .arg(QDir::toNativeSeparators(QDir::tempPath())),
                    why);
    const Values merged = Snapshot(*stored);

    if (merged != storedBefore || (!StampOf(m_path).exists && !merged.isEmpty())) {
        QByteArray bytes;
        reason = ReadSmallFile(stored->fileName(), kMaxBytes, bytes);
        if (!reason.isEmpty())
            return Fail(reason, why);
        // The working copy is read back under a new name (QSettings keeps what it wrote
        // under the old one): a copy cut short by a full temporary folder is never stored.
        const QString check = ScratchPath();
        if (!QFile::copy(stored->fileName(), check))
            return Fail(QStringLiteral("no working copy could be written in %1")
                            .arg(QDir::toNativeSeparators(QDir::tempPath())),
                        why);
        {
            QSettings reread(check, QSettings::IniFormat);
            if (Snapshot(reread) != merged)
                reason = QStringLiteral("no whole working copy could be written in %1")
                             .arg(QDir::toNativeSeparators(QDir::tempPath()));
        }
        QFile::remove(check);
        if (reason.isEmpty())
            reason = WriteFileWhole(m_path, bytes);
        if (!reason.isEmpty())
            return Fail(reason, why);
    }
    m_stamp = StampOf(m_path);
    Adopt(*stored);
    if (!m_watcher)
        Watch(); // the folder may have been made just now
    emit Saved();
    if (Snapshot(*m_settings) != mine)
        emit Changed();
    return true;
}

void ProfileStore::CheckForChanges() {
    if (!m_refusal.isEmpty() || StampOf(m_path) == m_stamp)
        return;
    if (Snapshot(*m_settings) != m_base) {
        // Saving takes the stored values in too, with the changes made here on top.
        QString why;
        if (!Save(&why))
            emit SaveFailed(why);
        return;
    }
    const Values before = Snapshot(*m_settings);
    std::unique_ptr<QSettings> stored;
    QString reason;
    const Stamp stamp = StampOf(m_path);
    if (!ReadStored(stored, reason))
        return; // a profile gone strange is looked at again with the next change
    m_stamp = stamp;
    Adopt(*stored);
    const QString scratch = stored->fileName();
    stored.reset();
    QFile::remove(scratch);
    if (Snapshot(*m_settings) != before)
        emit Changed();
}

void ProfileStore::Watch() {
    // The folder, not the file: a whole write replaces the file, which ends a watch on it.
    const QString folder = QFileInfo(m_path).absolutePath();
    if (!QFileInfo(folder).isDir())
        return;
    m_watcher = new QFileSystemWatcher(this);
    m_watcher->addPath(folder);
    connect(m_watcher, &QFileSystemWatcher::directoryChanged, this, [this] { CheckForChanges(); });
}
