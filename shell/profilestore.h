#pragma once
// The settings profile as one viewer holds it while others may share the file.
//
// The values live in a QSettings on a private working copy; the user's file is
// written only by Save, whole or not at all (see view/wholefile.h), under the
// profile's lock. Save re-reads the stored profile first and puts over it only
// what changed here since the last look, so two viewers do not wipe each other's
// choices; what another viewer wrote is taken in on the next change check.
//
// A profile that is not a regular file (a pipe, a folder), or that cannot be
// read, is not used at all: the viewer runs with its defaults and writes nothing.
#include <QFileSystemWatcher>
#include <QMap>
#include <QObject>
#include <QSettings>
#include <QString>
#include <QTemporaryDir>
#include <QTimer>
#include <QVariant>

#include <functional>
#include <memory>
#include <vector>

class ProfileStore : public QObject {
    Q_OBJECT
public:
    // A profile of settings is a few kilobytes; anything far larger is not one.
    static constexpr qint64 kMaxBytes = 1024 * 1024;

    explicit ProfileStore(const QString &path, QObject *parent = nullptr);
    ~ProfileStore() override;

    QSettings &Settings() { return *m_settings; }
    const QString &Path() const { return m_path; }
    // Why the profile is not used; empty when it is.
    const QString &Refusal() const { return m_refusal; }

    // Keys under `group` are not merged one by one: `merge` is handed the stored
    // profile and puts this viewer's own entries of the group into it.
    void SetGroupMerge(const QString &group, std::function<void(QSettings &stored)> merge);

    // Writes what changed here over what is stored now. False, with the reason in
    // `why`, when it cannot be written; the values stay in memory then. Changes are
    // also saved by themselves shortly after they are made.
    bool Save(QString *why = nullptr);
    // Takes in what another program wrote to the profile since this one last read
    // or wrote it, keeping the changes made here. Emits Changed when values moved.
    void CheckForChanges();

signals:
    // Values written by another program were taken in.
    void Changed();
    // The stored profile now holds this viewer's values.
    void Saved();
    // A save failed; `why` is the reason in a few words.
    void SaveFailed(const QString &why);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    using Values = QMap<QString, QVariant>;
    struct Stamp {
        bool exists = false;
        qint64 size = 0, mtimeNs = 0;
        quint64 inode = 0, device = 0;
        bool operator==(const Stamp &) const = default;
    };

    static Stamp StampOf(const QString &path);
    // Every key with its value in a form that compares as the file's text would.
    static Values Snapshot(QSettings &settings);
    // A scratch file of its own for each parse: QSettings caches files by name.
    QString ScratchPath();
    // The stored profile as settings on a scratch copy; false with the reason.
    bool ReadStored(std::unique_ptr<QSettings> &stored, QString &why);
    bool InMergedGroup(const QString &key) const;
    // This viewer's values become those given, without counting as its own changes.
    void Adopt(QSettings &from);
    bool Fail(const QString &why, QString *out);
    void Watch();

    QString m_path;
    QString m_refusal;
    QTemporaryDir m_dir;
    int m_scratch = 0;
    std::unique_ptr<QSettings> m_settings;
    Values m_base; // as last read or written: what differs from it was changed here
    Stamp m_stamp; // of the stored file as last read or written
    std::vector<std::pair<QString, std::function<void(QSettings &)>>> m_groupMerges;
    QTimer m_saveTimer;
    QFileSystemWatcher *m_watcher = nullptr;
};
