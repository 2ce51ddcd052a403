#pragma once
// Framework layer: the application object, the document template, and the
// multiple-document main and child frames that route commands through the
// command tables of shell/core.
#include "core/commands.h"
#include "core/document.h"
#include "core/messages.h"

#include <QApplication>
#include <QMainWindow>
#include <QMdiSubWindow>
#include <QPointer>
#include <QSettings>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

class ChildFrame;
class MainFrame;
class OpenRequestServer;
class QMdiArea;
class QMenu;

// A file or window name as a menu item shows it: "&" stands for itself, not a mnemonic.
QString MenuItemText(const QString &name);

// Message boxes as real modal QMessageBoxes with an OK button.
class QtMessageService : public MessageService {
public:
    void Show(const std::string &text, const std::string &caption, MessageIcon icon) override;
};

// Binds the document class to the frame (with its views) that shows it.
struct DocTemplate {
    std::string templateString;
    std::function<std::unique_ptr<Document>()> createDocument;
    std::function<ChildFrame *(Document *)> createFrame;

    QString FilterName() const; // for the Open dialog
};

// A document window: the views of one document, one of them active.
class ChildFrame : public QMdiSubWindow, public CommandTarget {
    Q_OBJECT
public:
    explicit ChildFrame(Document *document);
    ~ChildFrame() override;

    Document *GetDocument() const { return m_document; }

    // Panes register in order; the first is active until another is activated.
    void AddPane(QWidget *widget, View *view);
    int PaneCount() const { return static_cast<int>(m_panes.size()); }
    View *GetActiveView() const;
    int ActivePane() const { return m_activePane; }
    // A pane the user cannot see (hidden, or squeezed to nothing) is never made active.
    void SetActivePane(int i);
    // Whether the pane is shown in the window, so that it can be the active one.
    bool IsPaneShown(int i) const;
    // The pane whose widget contains w, or -1.
    int PaneOf(const QWidget *w) const;

    // Shows and activates the window.
    virtual void ActivateFrame();
    // Called after the window is shown and before the document reads its file.
    virtual void BeforeDocumentOpen() {}

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // The next shown pane in the given direction, or the active one when no other is shown.
    int NeighbourPane(int step) const;
    void ActivatePane(int i, bool takeFocus);

    struct Pane {
        QPointer<QWidget> widget;
        View *view;
    };
    Document *m_document;
    std::vector<Pane> m_panes;
    int m_activePane = 0;
};

class MainFrame : public QMainWindow, public CommandTarget {
    Q_OBJECT
public:
    MainFrame();

    QMdiArea *MdiArea() const { return m_mdiArea; }
    ChildFrame *ActiveChildFrame() const;
    std::vector<ChildFrame *> ChildFrames() const;
    void AddChildFrame(ChildFrame *frame);

    // Menu bar of the main frame or of the active document; swapped as documents come and go.
    void UpdateMenuBar();
    // Enabled and checked state of the menu's items, by the command route.
    void UpdateMenuState(QMenu *menu);

    // The idle text of the status bar.
    void ShowIdleMessage();
    // Check mark of a menu item.
    virtual bool IsChecked(unsigned) const { return false; }

    // The caption: the frame's own title, and the active document's while one is active.
    void SetFrameTitle(const QString &title);
    QString FrameTitle() const { return m_frameTitle; }
    void UpdateFrameTitle();

    // The document windows of the arrangement commands: minimised ones in a row at
    // the bottom of the document area, the others overlapping or side by side above it.
    void CascadeWindows();
    void TileWindows();
    void ArrangeIcons();

signals:
    void ActiveFrameChanged();

protected:
    bool event(QEvent *event) override;
    void InstallAccelerators();
    virtual void RebuildWindowList(QMenu *menu);

private:
    // Lines up the minimised windows; the height their rows take.
    int LineUpIcons();
    // The windows that take part in cascading and tiling, the active one last.
    std::vector<ChildFrame *> OpenFrames() const;
    void BuildMenuBar(bool document);
    QMenu *AddPopup(const char *title);
    void FillRecentFiles(QMenu *menu, QAction *placeholder);

    QMdiArea *m_mdiArea;
    int m_menuKind = -1; // 0 main frame, 1 document
    QString m_frameTitle;
    bool m_titleQueued = false;
};

class Application : public QApplication, public CommandTarget {
    Q_OBJECT
public:
    Application(int &argc, char **argv);
    ~Application() override;

    static Application *Instance();

    // Application start-up; false ends the program at once.
    virtual bool InitInstance() = 0;

    // Settings profile.
    QSettings &Profile();
    void LoadStdProfileSettings(int maxRecentFiles);
    const QStringList &RecentFiles() const { return m_recentFiles; }
    void AddToRecentFileList(const QString &path);
    void RemoveFromRecentFileList(const QString &path);
    void SaveStdProfileSettings();

    void AddDocTemplate(std::unique_ptr<DocTemplate> docTemplate);
    DocTemplate *Template() const { return m_template.get(); }
    std::vector<Document *> Documents() const;

    // Opens a file as a document, or activates the window that shows it already.
    // Null (after a message) when the file cannot be opened.
    Document *OpenDocumentFile(const QString &path);
    // Destroys the document and its window.
    void CloseDocument(Document *document);
    ChildFrame *FrameOf(const Document *document) const;

    // The command line: the first non-switch argument is the file to open.
    static QString FileArgument(const QStringList &arguments);
    bool ProcessShellCommand(const QString &fileName);
    // Takes open requests from later starts on this display, unless another viewer does.
    void EnableShellOpen();
    // A request from such a start: opened as File Open does, then the window comes to the front.
    void OnShellOpenRequest(const QString &path);

    // Commands travel: active view, its document, the document window, the main frame, the application.
    CommandRoute CurrentRoute();
    bool DispatchCommand(unsigned id);
    bool IsCommandEnabled(unsigned id);

    MainFrame *MainWindow() const { return m_pMainWnd; }

    // Standard command handlers.
    void OnFileNew();
    void OnFileOpen();
    void OnFileMru(int index);

protected:
    MainFrame *m_pMainWnd = nullptr;

private:
    void ReportOpenFailure(const QString &path);
    // The Open dialog starts where the last file was opened from.
    QString LastOpenFolder();

    QtMessageService m_messages;
    std::unique_ptr<QSettings> m_profile;
    QStringList m_recentFiles;
    int m_maxRecentFiles = 4;
    std::unique_ptr<DocTemplate> m_template;
    std::vector<std::unique_ptr<Document>> m_documents;
    std::unique_ptr<OpenRequestServer> m_openRequests;
};
