#include "application.h"

#include "../resources/ids.h"
#include "../resources/strings.h"
#include "childframe.h"
#include "mdiframe.h"
#include "openrequests.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTimer>

namespace {
constexpr const char *kLastFolderKey = "Settings/Last Folder";
} // namespace

Application::Application(int &argc, char **argv) : QApplication(argc, argv) {
    setApplicationName(QStringLiteral("QUOR"));
    SetMessageService(&m_messages);
    MapCommand(ID_FILE_NEW, [this] { OnFileNew(); });
    MapCommand(ID_FILE_OPEN, [this] { OnFileOpen(); });
    for (int i = 0; i < 4; ++i)
        MapCommand(ID_FILE_MRU_FILE1 + i, [this, i] { OnFileMru(i); });

    connect(this, &QApplication::focusChanged, this, [this](QWidget *, QWidget *now) {
        for (QWidget *w = now; w; w = w->parentWidget()) {
            if (auto *frame = qobject_cast<ChildFrame *>(w)) {
                const int pane = frame->PaneOf(now);
                if (pane >= 0 && pane != frame->ActivePane())
                    frame->SetActivePane(pane);
                return;
            }
        }
    });
}

Application::~Application() {
    SaveStdProfileSettings();
    // Views go before their documents.
    if (m_pMainWnd) {
        for (ChildFrame *f : m_pMainWnd->ChildFrames())
            delete f;
    }
    m_documents.clear();
    delete m_pMainWnd;
    if (CurrentMessageService() == &m_messages)
        SetMessageService(nullptr);
}

Application *Application::Instance() {
    return static_cast<Application *>(QCoreApplication::instance());
}

QSettings &Application::Profile() {
    if (!m_profile) {
        // QUOR_PROFILE points the profile elsewhere (tests use a temporary file).
        const QByteArray override = qgetenv("QUOR_PROFILE");
        const QString path =
            !override.isEmpty()
                ? QString::fromLocal8Bit(override)
                : QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + "/QUOR.ini";
        m_profile = std::make_unique<QSettings>(path, QSettings::IniFormat);
    }
    return *m_profile;
}

void Application::LoadStdProfileSettings(int maxRecentFiles) {
    m_maxRecentFiles = maxRecentFiles;
    m_recentFiles.clear();
    QSettings &profile = Profile();
    for (int i = 1; i <= maxRecentFiles; ++i) {
        const QString file = profile.value(QStringLiteral("Recent File List/File%1").arg(i)).toString();
        if (!file.isEmpty() && !m_recentFiles.contains(file))
            m_recentFiles.append(file);
    }
}

void Application::AddToRecentFileList(const QString &path) {
    m_recentFiles.removeAll(path);
    m_recentFiles.prepend(path);
    while (m_recentFiles.size() > m_maxRecentFiles)
        m_recentFiles.removeLast();
}

void Application::RemoveFromRecentFileList(const QString &path) {
    m_recentFiles.removeAll(path);
}

void Application::SaveStdProfileSettings() {
    QSettings &profile = Profile();
    profile.remove(QStringLiteral("Recent File List"));
    for (int i = 0; i < m_recentFiles.size(); ++i)
        profile.setValue(QStringLiteral("Recent File List/File%1").arg(i + 1), m_recentFiles[i]);
    profile.sync();
}

void Application::AddDocTemplate(std::unique_ptr<DocTemplate> docTemplate) {
    m_template = std::move(docTemplate);
}

std::vector<Document *> Application::Documents() const {
    std::vector<Document *> docs;
    for (const auto &d : m_documents)
        docs.push_back(d.get());
    return docs;
}

ChildFrame *Application::FrameOf(const Document *document) const {
    if (!m_pMainWnd)
        return nullptr;
    for (ChildFrame *f : m_pMainWnd->ChildFrames()) {
        if (f->GetDocument() == document)
            return f;
    }
    return nullptr;
}

Document *Application::OpenDocumentFile(const QString &path) {
    if (!m_template || !m_pMainWnd)
        return nullptr;
    const QFileInfo info(path);
    const QString full = info.exists() ? info.canonicalFilePath() : info.absoluteFilePath();
    for (const auto &doc : m_documents) {
        if (Q(doc->GetPathName()) == full) {
            if (ChildFrame *frame = FrameOf(doc.get()))
                frame->ActivateFrame();
            return doc.get();
        }
    }

    m_documents.push_back(m_template->createDocument());
    Document *doc = m_documents.back().get();
    ChildFrame *frame = m_template->createFrame(doc);
    if (!frame) {
        ShowMessage("Failed to create empty document.");
        CloseDocument(doc);
        return nullptr;
    }
    frame->setWindowTitle(info.fileName());
    m_pMainWnd->AddChildFrame(frame);
    frame->ActivateFrame();
    frame->BeforeDocumentOpen();

    setOverrideCursor(Qt::WaitCursor);
    const bool ok = doc->OnOpenDocument(full.toStdString());
    restoreOverrideCursor();
    if (!ok) {
        CloseDocument(doc);
        ReportOpenFailure(path);
        return nullptr;
    }
    doc->SetPathName(full.toStdString());
    Profile().setValue(kLastFolderKey, QFileInfo(full).absolutePath());
    doc->MapCommand(ID_FILE_CLOSE, [this, doc] {
        // Not from inside the command: the menu that sent it is still on the stack.
        QTimer::singleShot(0, this, [this, doc] { CloseDocument(doc); });
    });
    frame->setWindowTitle(Q(doc->GetTitle()));
    AddToRecentFileList(full);
    frame->ActivateFrame();
    return doc;
}

void Application::ReportOpenFailure(const QString &path) {
    const QFileInfo info(path);
    const std::string name = QDir::toNativeSeparators(path).toStdString();
    std::string text;
    if (!info.exists())
        text = name + " was not found.";
    else if (info.isDir() || !info.isReadable())
        text = "Access to " + name + " was denied.";
    else
        text =
            name + "\nCannot find this file.\nPlease verify that the correct path and file name are given.";
    ShowMessage(text, kAppCaption, MessageIcon::Exclamation);
}

void Application::CloseDocument(Document *document) {
    auto it = std::find_if(m_documents.begin(), m_documents.end(),
                           [document](const auto &d) { return d.get() == document; });
    if (it == m_documents.end())
        return;
    delete FrameOf(document); // views first: their GL contexts go with them
    m_documents.erase(it);
    if (m_pMainWnd)
        m_pMainWnd->UpdateMenuBar();
}

QString Application::FileArgument(const QStringList &arguments) {
    for (int i = 1; i < arguments.size(); ++i) {
        // Switches start with a dash; on this platform a leading slash is a path.
        if (!arguments[i].startsWith('-'))
            return arguments[i];
    }
    return {};
}

void Application::EnableShellOpen() {
    m_openRequests = std::make_unique<OpenRequestServer>([this](const QString &path) {
        // Not from inside the socket's signal: opening runs an event loop of its own.
        QTimer::singleShot(0, this, [this, path] { OnShellOpenRequest(path); });
    });
    if (!m_openRequests->Listen())
        m_openRequests.reset();
}

void Application::OnShellOpenRequest(const QString &path) {
    // A dialog of this viewer is open: the request waits until it has been answered.
    if (activeModalWidget()) {
        QTimer::singleShot(200, this, [this, path] { OnShellOpenRequest(path); });
        return;
    }
    if (!m_pMainWnd)
        return;
    OpenDocumentFile(path);
    // Back from an icon as it was before, maximised or not.
    if (m_pMainWnd->isMinimized())
        m_pMainWnd->setWindowState(m_pMainWnd->windowState() & ~Qt::WindowMinimized);
    m_pMainWnd->show();
    m_pMainWnd->raise();
    m_pMainWnd->activateWindow();
}

bool Application::ProcessShellCommand(const QString &fileName) {
    if (fileName.isEmpty()) {
        OnFileNew();
        return true;
    }
    return OpenDocumentFile(fileName) != nullptr;
}

CommandRoute Application::CurrentRoute() {
    ChildFrame *frame = m_pMainWnd ? m_pMainWnd->ActiveChildFrame() : nullptr;
    View *view = frame ? frame->GetActiveView() : nullptr;
    Document *doc = frame ? frame->GetDocument() : nullptr;
    return CommandRoute{view, doc, frame, m_pMainWnd, this};
}

bool Application::DispatchCommand(unsigned id) {
    return CurrentRoute().Dispatch(id);
}

bool Application::IsCommandEnabled(unsigned id) {
    return CurrentRoute().IsEnabled(id);
}

void Application::OnFileNew() {
    if (!m_template)
        return;
    // The document may refuse a new, unnamed document; then nothing is shown.
    std::unique_ptr<Document> doc = m_template->createDocument();
    if (!doc->OnNewDocument())
        return;
    m_documents.push_back(std::move(doc));
    Document *raw = m_documents.back().get();
    raw->SetTitle(TemplateField(kDocTemplateString, 1));
    if (ChildFrame *frame = m_template->createFrame(raw)) {
        m_pMainWnd->AddChildFrame(frame);
        frame->ActivateFrame();
    } else {
        CloseDocument(raw);
    }
}

void Application::OnFileOpen() {
    if (!m_template)
        return;
    // The dialog's name filters compare without regard to case, so "*.3ds" also lists ".3DS" files.
    QFileDialog dialog(m_pMainWnd, QStringLiteral("Open"), LastOpenFolder());
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    // Shown without their pattern part, the filters read exactly as their names; the
    // pattern the dialog uses is the last parenthesis, so "All Files (*.*)" lists files
    // without a dot too. The desktop's own dialogs would show or match these differently.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    const QString pattern = '*' + Q(TemplateField(m_template->templateString, 4)).toLower();
    dialog.setNameFilters(
        {m_template->FilterName() + " (" + pattern + ')', QStringLiteral("All Files (*.*) (*)")});
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    OpenDocumentFile(dialog.selectedFiles().first());
}

QString Application::LastOpenFolder() {
    const QString folder = Profile().value(kLastFolderKey).toString();
    return !folder.isEmpty() && QFileInfo(folder).isDir() ? folder : QDir::currentPath();
}

void Application::OnFileMru(int index) {
    if (index < 0 || index >= m_recentFiles.size())
        return;
    const QString path = m_recentFiles[index];
    if (!OpenDocumentFile(path))
        RemoveFromRecentFileList(path);
}
