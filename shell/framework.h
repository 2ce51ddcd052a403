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
class QMdiArea;
class QMenu;

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
    void SetActivePane(int i);
    // The pane whose widget contains w, or -1.
    int PaneOf(const QWidget *w) const;

    // Shows and activates the window.
    virtual void ActivateFrame();
    // Called after the window is shown and before the document reads its file.
    virtual void BeforeDocumentOpen() {}

protected:
    void closeEvent(QCloseEvent *event) override;

private:
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

signals:
    void ActiveFrameChanged();

protected:
    bool event(QEvent *event) override;
    void InstallAccelerators();
    virtual void RebuildWindowList(QMenu *menu);

private:
    void BuildMenuBar(bool document);
    QMenu *AddPopup(const char *title);
    void FillRecentFiles(QMenu *menu, QAction *placeholder);

    QMdiArea *m_mdiArea;
    int m_menuKind = -1; // 0 main frame, 1 document
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

    QtMessageService m_messages;
    std::unique_ptr<QSettings> m_profile;
    QStringList m_recentFiles;
    int m_maxRecentFiles = 4;
    std::unique_ptr<DocTemplate> m_template;
    std::vector<std::unique_ptr<Document>> m_documents;
};
