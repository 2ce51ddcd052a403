#include "application.h"

#include "../resources/ids.h"
#include "../resources/strings.h"
#include "childframe.h"
#include "mdiframe.h"
#include "openrequests.h"
#include "profilestore.h"

#include <algorithm>

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMdiArea>
#include <QPointer>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>

namespace {
constexpr const char *kLastFolderKey = "Settings/Last Folder";
constexpr const char *kRecentGroup = "Recent File List";
// File names longer than this are shortened in messages.
constexpr qsizetype kMaxNameInMessage = 240;
} // namespace

Application::Application(int &argc, char **argv) : QApplication(argc, argv) {
    setApplicationName(QStringLiteral("QUOR"));
    m_startFiles = FileArguments(arguments());
    SetMessageService(&m_messages);
    MapCommand(ID_FILE_NEW, [this] { OnFileNew(); });
    MapCommand(ID_FILE_OPEN, [this] { OnFileOpen(); });
    for (int i = 0; i < kRecentFileSlots; ++i)
        MapCommand(ID_FILE_MRU_FILE1 + i, [this, i] { OnFileMru(i); });

    connect(this, &QApplication::focusChanged, this, [this](QWidget *, QWidget *now) {
        for (QWidget *w = now; w; w = w->parentWidget()) {
            if (auto *frame = qobject_cast<ChildFrame *>(w)) {
                // A document window hides for a moment as it is maximised or restored, and
                // the focus passes through its other pane then; that is no choice of the user's.
                if (!frame->isVisible())
                    return;
                const int pane = frame->PaneOf(now);
                if (pane >= 0 && pane != frame->ActivePane())
                    frame->SetActivePane(pane);
                return;
            }
        }
    });
}

Application::~Application() {
    EndShellOpen();
    SaveStdProfileSettings();
    // Views go before their documents.
    if (m_pMainWnd) {
        for (ChildFrame *f : m_pMainWnd->ChildFrames())
            delete f;
    }
    m_documents.clear();
    delete m_pMainWnd;
    // What the windows set as they went is saved now, while the recent list it merges is still here.
    m_profile.reset();
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
        m_profile = std::make_unique<ProfileStore>(path);
        m_profile->SetGroupMerge(QString::fromLatin1(kRecentGroup), [this](QSettings &stored) {
            // A list never read is left as it is stored.
            if (m_recentFilesLoaded)
                WriteRecentFiles(stored, MergedRecentFiles(StoredRecentFiles(stored)));
        });
        connect(m_profile.get(), &ProfileStore::Saved, this, [this] {
            m_recentAdded.clear();
            m_recentRemoved.clear();
        });
        connect(m_profile.get(), &ProfileStore::SaveFailed, this, &Application::ReportProfileFailure);
        connect(m_profile.get(), &ProfileStore::Changed, this, [this] {
            if (m_recentFilesLoaded)
                m_recentFiles = MergedRecentFiles(StoredRecentFiles(m_profile->Settings()));
            emit ProfileChanged();
        });
        if (!m_profile->Refusal().isEmpty()) {
            // Said once the program is up: the profile is first read while it is being built.
            m_profileFailureShown = true;
            QTimer::singleShot(0, this, [this] {
                QString why = m_profile->Refusal();
                if (!why.endsWith('.'))
                    why += '.';
                ShowMessage(QStringLiteral("The settings profile %1 cannot be used: %2 QUOR runs with its "
                                           "default settings and saves no changes to them.")
                                .arg(QDir::toNativeSeparators(m_profile->Path()), why.left(1).toLower() + why.mid(1))
                                .toStdString(),
                            kAppCaption, MessageIcon::Exclamation);
            });
        }
    }
    return m_profile->Settings();
}

bool Application::SaveProfile() {
    Profile();
    QString why;
    if (m_profile->Save(&why))
        return true;
    ReportProfileFailure(why);
    return false;
}

void Application::ReportProfileFailure(const QString &why) {
    if (m_profileFailureShown)
        return;
    m_profileFailureShown = true;
    ShowMessage(QStringLiteral("The settings cannot be saved to %1: %2. Changes made now are kept only "
                               "until QUOR ends.")
                    .arg(QDir::toNativeSeparators(m_profile->Path()), why)
                    .toStdString(),
                kAppCaption, MessageIcon::Exclamation);
}

QStringList Application::StoredRecentFiles(QSettings &settings) const {
    QStringList list;
    for (int i = 1; i <= m_maxRecentFiles; ++i) {
        const QString file = settings.value(QStringLiteral("%1/File%2").arg(kRecentGroup).arg(i)).toString();
        if (!file.isEmpty() && !list.contains(file))
            list.append(file);
    }
    return list;
}

QStringList Application::MergedRecentFiles(const QStringList &stored) const {
    QStringList list = m_recentAdded;
    for (const QString &file : stored) {
        if (!list.contains(file) && !m_recentRemoved.contains(file))
            list.append(file);
    }
    while (list.size() > m_maxRecentFiles)
        list.removeLast();
    return list;
}

void Application::WriteRecentFiles(QSettings &settings, const QStringList &list) {
    settings.remove(QString::fromLatin1(kRecentGroup));
    for (int i = 0; i < list.size(); ++i)
        settings.setValue(QStringLiteral("%1/File%2").arg(kRecentGroup).arg(i + 1), list[i]);
}

void Application::LoadStdProfileSettings(int maxRecentFiles) {
    // Never more than the menu has commands for.
    m_maxRecentFiles = std::clamp(maxRecentFiles, 0, kRecentFileSlots);
    m_recentFilesLoaded = true;
    m_recentFiles = StoredRecentFiles(Profile());
}

void Application::AddToRecentFileList(const QString &path) {
    const QStringList before = m_recentFiles;
    m_recentFiles.removeAll(path);
    m_recentFiles.prepend(path);
    while (m_recentFiles.size() > m_maxRecentFiles)
        m_recentFiles.removeLast();
    m_recentAdded.removeAll(path);
    m_recentAdded.prepend(path);
    m_recentRemoved.removeAll(path);
    if (m_recentFiles != before)
        SaveStdProfileSettings();
}

void Application::RemoveFromRecentFileList(const QString &path) {
    m_recentAdded.removeAll(path);
    if (!m_recentRemoved.contains(path))
        m_recentRemoved.append(path);
    if (m_recentFiles.removeAll(path) > 0)
        SaveStdProfileSettings();
}

void Application::SaveStdProfileSettings() {
    // A list never read would replace the user's with an empty one.
    if (!m_recentFilesLoaded)
        return;
    WriteRecentFiles(Profile(), m_recentFiles);
    if (SaveProfile())
        m_recentFiles = StoredRecentFiles(Profile());
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

    // What cannot be read gets no window: a missing or unreadable file, a folder, or a
    // pipe, a device or a socket (which would hold up the whole program in open()). A
    // window made only to go again would disturb the others.
    if (!info.isFile() || !info.isReadable()) {
        ReportOpenFailure(path);
        return nullptr;
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
    emit DocumentOpened(doc);
    return doc;
}

void Application::ReportOpenFailure(const QString &path) {
    const QFileInfo info(path);
    // A name of thousands of characters would make a box taller than any screen;
    // its beginning and end tell which file it is.
    QString shown = QDir::toNativeSeparators(path);
    if (shown.size() > kMaxNameInMessage)
        shown = shown.left(kMaxNameInMessage / 3) + QChar(0x2026) + shown.right(2 * kMaxNameInMessage / 3);
    const std::string name = shown.toStdString();
    std::string text;
    if (!info.exists())
        text = name + " was not found.";
    else if (!info.isFile() || !info.isReadable())
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
    ChildFrame *frame = FrameOf(document);
    const bool wasActive = frame && frame == m_pMainWnd->ActiveChildFrame();
    const bool wasMaximized = frame && frame->isMaximized();
    // The window active before this one takes over as the user left it, with the keys
    // in the same pane. Left to itself, the document area would leave it restored or
    // not active, and the focus where it falls when this window goes.
    QPointer<ChildFrame> next;
    int nextPane = 0;
    if (wasActive) {
        const QList<QMdiSubWindow *> history =
            m_pMainWnd->MdiArea()->subWindowList(QMdiArea::ActivationHistoryOrder);
        for (auto w = history.rbegin(); w != history.rend() && !next; ++w) {
            if (*w != frame)
                next = qobject_cast<ChildFrame *>(*w);
        }
        if (next)
            nextPane = next->ActivePane();
    }
    delete frame; // views first: their GL contexts go with them
    m_documents.erase(it);
    if (!m_pMainWnd)
        return;
    m_pMainWnd->UpdateMenuBar();
    if (!next)
        return;
    if (wasMaximized)
        next->ActivateFrame();
    else
        m_pMainWnd->MdiArea()->setActiveSubWindow(next);
    next->SetActivePane(nextPane);
}

QStringList Application::FileArguments(const QStringList &arguments) {
    QStringList files;
    bool switches = true;
    for (int i = 1; i < arguments.size(); ++i) {
        const QString &a = arguments[i];
        if (switches && a == QLatin1String("--"))
            switches = false;
        else if (switches && a == QLatin1String("--elements"))
            ++i; // its value is the elements file, not a model
        // Switches start with a dash; on this platform a leading slash is a path.
        else if (!switches || !a.startsWith('-'))
            files.append(a);
    }
    return files;
}

void Application::EnableShellOpen() {
    m_openRequests =
        std::make_unique<OpenRequestServer>([this](const QString &path) { QueueShellOpen(path); });
    if (!m_openRequests->Listen())
        m_openRequests.reset();
}

void Application::EndShellOpen() {
    if (m_openRequests) {
        for (const QString &path : m_openRequests->Stop())
            m_openQueue.push_back(path);
        m_openRequests.reset();
    }
    if (m_openQueue.empty())
        return;
    // Their callers were told the files were taken; a viewer of their own shows them.
    const QStringList files(m_openQueue.begin(), m_openQueue.end());
    m_openQueue.clear();
    if (m_successor.isEmpty() || !QProcess::startDetached(m_successor, QStringList{"--"} + files))
        Trace("Open requests not carried out: " + files.join(", ").toStdString() + "\n");
}

void Application::QueueShellOpen(const QString &path) {
    m_openQueue.push_back(path);
    OpenNextQueued();
}

void Application::OpenNextQueued() {
    // An open in progress (showing a message, say) takes the next one when it is done.
    if (m_opening || m_openQueue.empty())
        return;
    // A dialog of this viewer is open: the requests wait until it has been answered.
    if (activeModalWidget()) {
        if (!m_openRetry) {
            m_openRetry = new QTimer(this);
            m_openRetry->setSingleShot(true);
            connect(m_openRetry, &QTimer::timeout, this, &Application::OpenNextQueued);
        }
        m_openRetry->start(200);
        return;
    }
    const QString path = m_openQueue.front();
    m_openQueue.pop_front();
    m_opening = true;
    OnShellOpenRequest(path);
    m_opening = false;
    // One at a time, so that the windows paint between opens.
    if (!m_openQueue.empty())
        QTimer::singleShot(0, this, &Application::OpenNextQueued);
}

void Application::OnShellOpenRequest(const QString &path) {
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

bool Application::ProcessShellCommand(const QStringList &files) {
    if (files.isEmpty()) {
        OnFileNew();
        return true;
    }
    bool opened = false;
    for (const QString &file : files)
        opened = OpenDocumentFile(file) != nullptr || opened;
    return opened;
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
