#pragma once
// The framework's application object: settings profile and recent files, the
// document template and open documents, opening files, the command route.
#include "framework/commands.h"
#include "framework/document.h"
#include "services.h"

#include <QApplication>
#include <QSettings>
#include <QStringList>

#include <deque>
#include <memory>
#include <vector>

class ChildFrame;
class MainFrame;
class OpenRequestServer;
class ProfileStore;
class QTimer;

class Application : public QApplication, public CommandTarget, public FrameHost {
    Q_OBJECT
public:
    Application(int &argc, char **argv);
    ~Application() override;

    static Application *Instance();

    // Application start-up; false ends the program at once.
    virtual bool InitInstance() = 0;

    // Settings profile. Only a process that has loaded it writes it back: one that hands
    // its files to a running viewer leaves it alone. Changes are saved shortly after
    // they are made, merged with what another viewer saved meanwhile.
    QSettings &Profile();
    // Saves the profile now; the first failure is reported to the user, once.
    bool SaveProfile();
    // The File menu's places for recent files, each with its command id.
    static constexpr int kRecentFileSlots = 4;
    void LoadStdProfileSettings(int maxRecentFiles = kRecentFileSlots);
    const QStringList &RecentFiles() const override { return m_recentFiles; }
    // The list is written as it changes, so that a viewer that does not end normally keeps it.
    // This viewer's newest entries go on top of the stored list, which another viewer may
    // have changed meanwhile.
    void AddToRecentFileList(const QString &path);
    void RemoveFromRecentFileList(const QString &path);
    void SaveStdProfileSettings();

    void AddDocTemplate(std::unique_ptr<DocTemplate> docTemplate);
    DocTemplate *Template() const { return m_template.get(); }
    std::vector<Document *> Documents() const;

    // Opens a file as a document, or activates the window that shows it already.
    // Null (after a message) when the file cannot be opened.
    Document *OpenDocumentFile(const QString &path);
    // Destroys the document and its window. When that window was the active one, the
    // window active before it takes over, maximised if the closed one was.
    void CloseDocument(Document *document) override;
    ChildFrame *FrameOf(const Document *document) const;

    // The command line's files: every argument that is not a switch, and every
    // argument after "--".
    static QStringList FileArguments(const QStringList &arguments);
    // Opens the files in order; false when there were files and none could be opened.
    bool ProcessShellCommand(const QStringList &files);
    // Takes open requests from later starts on this display, unless another viewer does.
    void EnableShellOpen();
    // Answers no more requests: the viewer is ending. Files it has answered for but
    // not yet opened go to a new viewer of the successor program, if one is set.
    void EndShellOpen();
    void SetSuccessorProgram(const QString &program) { m_successor = program; }
    // The files start-up opens: those of the command line unless set otherwise.
    const QStringList &StartFiles() const { return m_startFiles; }
    void SetStartFiles(const QStringList &files) { m_startFiles = files; }
    // A request from such a start: opened as File Open does, then the window comes to the front.
    void OnShellOpenRequest(const QString &path);
    // Requests open one at a time in order of arrival, each when no dialog is open.
    void QueueShellOpen(const QString &path);

    // Commands travel: active view, its document, the document window, the main frame, the application.
    CommandRoute CurrentRoute();
    bool DispatchCommand(unsigned id) override;
    bool IsCommandEnabled(unsigned id) override;

    MainFrame *MainWindow() const { return m_pMainWnd; }

signals:
    // Values that another viewer saved to the profile have been taken in.
    void ProfileChanged();
    // A file was opened into a new document window.
    void DocumentOpened(Document *doc);

public:

    // Standard command handlers.
    void OnFileNew();
    void OnFileOpen();
    void OnFileMru(int index);

protected:
    MainFrame *m_pMainWnd = nullptr;
    QStringList m_startFiles;

private:
    void ReportOpenFailure(const QString &path);
    void OpenNextQueued();
    // The Open dialog starts where the last file was opened from.
    QString LastOpenFolder();

    void ReportProfileFailure(const QString &why);
    // The stored list with this viewer's changes since its last save on top.
    QStringList MergedRecentFiles(const QStringList &stored) const;
    QStringList StoredRecentFiles(QSettings &settings) const;
    static void WriteRecentFiles(QSettings &settings, const QStringList &list);

    QtMessageService m_messages;
    std::unique_ptr<ProfileStore> m_profile;
    bool m_profileFailureShown = false;
    QStringList m_recentFiles;
    QStringList m_recentAdded;   // newest first, since the last save
    QStringList m_recentRemoved; // since the last save
    int m_maxRecentFiles = kRecentFileSlots;
    bool m_recentFilesLoaded = false;
    std::unique_ptr<DocTemplate> m_template;
    std::vector<std::unique_ptr<Document>> m_documents;
    std::unique_ptr<OpenRequestServer> m_openRequests;
    std::deque<QString> m_openQueue;
    bool m_opening = false;
    QTimer *m_openRetry = nullptr;
    QString m_successor;
};
