#include "framework.h"

#include "../resources/ids.h"
#include "../resources/strings.h"
#include "openrequests.h"

#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QShortcut>
#include <QStandardPaths>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QStyle>
#include <QTimer>

namespace {

QString Q(const std::string &s) {
    return QString::fromStdString(s);
}

// Qt ends a status tip with an empty one, which restores the idle text; commands
// without a prompt carry a blank so that highlighting them shows an empty pane.
QString StatusTipFor(unsigned id) {
    const std::string prompt = CommandPrompt(id);
    return prompt.empty() ? QStringLiteral(" ") : Q(prompt);
}

constexpr const char *kWindowListProperty = "quorWindowList";
constexpr const char *kRecentProperty = "quorRecentFile";
constexpr const char *kLastFolderKey = "Settings/Last Folder";

// Tiled windows stay at least this tall, so that the data panel's lines show.
constexpr int kMinTileHeight = 200;

} // namespace

QString MenuItemText(const QString &name) {
    QString text = name;
    return text.replace(QLatin1Char('&'), QLatin1String("&&"));
}

// ---------------------------------------------------------------------------

void QtMessageService::Show(const std::string &text, const std::string &caption, MessageIcon icon) {
    // Unattended runs (scripted checks, tests of the whole program) log the
    // boxes to a file instead of waiting for someone to press OK.
    const QByteArray log = qgetenv("QUOR_RECORD_MESSAGES");
    if (!log.isEmpty()) {
        QFile file(QString::fromLocal8Bit(log));
        if (file.open(QIODevice::Append | QIODevice::Text)) {
            QString line = Q(caption) + '|' + QString::number(static_cast<int>(icon)) + '|' + Q(text);
            file.write(line.replace('\n', "\\n").toUtf8() + '\n');
        }
        return;
    }
    QMessageBox::Icon qicon = QMessageBox::NoIcon;
    switch (icon) {
    case MessageIcon::Information:
        qicon = QMessageBox::Information;
        break;
    case MessageIcon::Exclamation:
        qicon = QMessageBox::Warning;
        break;
    case MessageIcon::Error:
        qicon = QMessageBox::Critical;
        break;
    case MessageIcon::None:
        break;
    }
    QWidget *parent = QApplication::activeWindow();
    QMessageBox box(qicon, Q(caption), Q(text), QMessageBox::Ok, parent);
    box.exec();
}

QString DocTemplate::FilterName() const {
    return Q(TemplateField(templateString, 3));
}

// ---------------------------------------------------------------------------

ChildFrame::ChildFrame(Document *document) : m_document(document) {}

ChildFrame::~ChildFrame() = default;

void ChildFrame::AddPane(QWidget *widget, View *view) {
    m_panes.push_back({widget, view});
    widget->installEventFilter(this);
    view->MapCommand(ID_NEXT_PANE, [this] { SetActivePane(NeighbourPane(1)); });
    view->MapCommand(ID_PREV_PANE, [this] { SetActivePane(NeighbourPane(-1)); });
}

View *ChildFrame::GetActiveView() const {
    if (m_activePane < 0 || m_activePane >= PaneCount())
        return nullptr;
    return m_panes[m_activePane].view;
}

void ChildFrame::SetActivePane(int i) {
    ActivatePane(i, true);
}

void ChildFrame::ActivatePane(int i, bool takeFocus) {
    if (!IsPaneShown(i))
        return;
    m_activePane = i;
    QWidget *w = m_panes[i].widget;
    if (takeFocus && w->isVisible() && !w->hasFocus())
        w->setFocus(Qt::OtherFocusReason);
}

bool ChildFrame::IsPaneShown(int i) const {
    if (i < 0 || i >= PaneCount())
        return false;
    const QWidget *w = m_panes[i].widget;
    return w && w->isVisibleTo(this) && w->width() > 0 && w->height() > 0;
}

int ChildFrame::NeighbourPane(int step) const {
    const int n = PaneCount();
    for (int k = 1; k < n; ++k) {
        const int i = ((m_activePane + step * k) % n + n) % n;
        if (IsPaneShown(i))
            return i;
    }
    return m_activePane;
}

bool ChildFrame::eventFilter(QObject *watched, QEvent *event) {
    const int pane = PaneOf(qobject_cast<QWidget *>(watched));
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        // A click activates its pane even where the focus already was.
        SetActivePane(pane);
        break;
    case QEvent::Hide:
    case QEvent::Resize:
        // The active pane went out of sight: activation moves to one that shows,
        // and the focus with it only if it was in the pane that went.
        if (pane >= 0 && pane == m_activePane && !IsPaneShown(pane)) {
            const int other = NeighbourPane(1);
            if (other != pane)
                ActivatePane(other, m_panes[pane].widget->hasFocus());
        }
        break;
    default:
        break;
    }
    return QMdiSubWindow::eventFilter(watched, event);
}

int ChildFrame::PaneOf(const QWidget *w) const {
    for (; w; w = w->parentWidget()) {
        for (int i = 0; i < PaneCount(); ++i) {
            if (m_panes[i].widget == w)
                return i;
        }
        if (w == this)
            break;
    }
    return -1;
}

void ChildFrame::ActivateFrame() {
    showMaximized();
    if (mdiArea())
        mdiArea()->setActiveSubWindow(this);
}

void ChildFrame::closeEvent(QCloseEvent *event) {
    event->accept();
    // The document and this window go once the close has returned.
    Document *doc = m_document;
    QTimer::singleShot(0, Application::Instance(), [doc] { Application::Instance()->CloseDocument(doc); });
}

// ---------------------------------------------------------------------------

MainFrame::MainFrame() : m_mdiArea(new QMdiArea(this)) {
    setCentralWidget(m_mdiArea);
    connect(m_mdiArea, &QMdiArea::subWindowActivated, this, [this] {
        UpdateMenuBar();
        UpdateFrameTitle();
        emit ActiveFrameChanged();
    });
    InstallAccelerators();
}

void MainFrame::SetFrameTitle(const QString &title) {
    m_frameTitle = title;
    UpdateFrameTitle();
}

void MainFrame::UpdateFrameTitle() {
    // The document area rewrites the caption itself as windows maximise and restore;
    // ours is set after it has done so.
    if (m_titleQueued)
        return;
    m_titleQueued = true;
    QTimer::singleShot(0, this, [this] {
        m_titleQueued = false;
        QString title = m_frameTitle;
        ChildFrame *active = ActiveChildFrame();
        if (active && !active->windowTitle().isEmpty())
            title += (active->isMaximized() ? QStringLiteral(" - [%1]") : QStringLiteral(" - %1"))
                         .arg(active->windowTitle());
        if (windowTitle() != title)
            setWindowTitle(title);
    });
}

ChildFrame *MainFrame::ActiveChildFrame() const {
    return qobject_cast<ChildFrame *>(m_mdiArea->currentSubWindow());
}

std::vector<ChildFrame *> MainFrame::ChildFrames() const {
    std::vector<ChildFrame *> frames;
    for (QMdiSubWindow *w : m_mdiArea->subWindowList(QMdiArea::CreationOrder)) {
        if (auto *f = qobject_cast<ChildFrame *>(w))
            frames.push_back(f);
    }
    return frames;
}

void MainFrame::AddChildFrame(ChildFrame *frame) {
    m_mdiArea->addSubWindow(frame);
    connect(
        frame, &QObject::destroyed, this,
        [this] {
            UpdateMenuBar();
            UpdateFrameTitle();
        },
        Qt::QueuedConnection);
    connect(frame, &QMdiSubWindow::windowStateChanged, this, [this] { UpdateFrameTitle(); });
    connect(frame, &QWidget::windowTitleChanged, this, [this] { UpdateFrameTitle(); });
}

std::vector<ChildFrame *> MainFrame::OpenFrames() const {
    std::vector<ChildFrame *> frames;
    ChildFrame *active = ActiveChildFrame();
    for (ChildFrame *f : ChildFrames()) {
        if (!f->isMinimized() && f != active)
            frames.push_back(f);
    }
    if (active && !active->isMinimized())
        frames.push_back(active);
    return frames;
}

int MainFrame::LineUpIcons() {
    const QRect area = m_mdiArea->viewport()->rect();
    int x = 0;
    int y = area.bottom() + 1;
    int top = y;
    for (ChildFrame *frame : ChildFrames()) {
        if (!frame->isMinimized())
            continue;
        const QSize size = frame->size();
        if (x > 0 && x + size.width() > area.width()) {
            x = 0;
            y -= size.height();
        }
        frame->move(x, y - size.height());
        top = std::min(top, y - size.height());
        x += size.width();
    }
    return area.bottom() + 1 - top;
}

void MainFrame::ArrangeIcons() {
    LineUpIcons();
}

void MainFrame::CascadeWindows() {
    const int icons = LineUpIcons();
    const std::vector<ChildFrame *> frames = OpenFrames();
    if (frames.empty())
        return;
    QRect area = m_mdiArea->viewport()->rect();
    area.setBottom(area.bottom() - icons);
    // Each window one title bar further down and right, as large as the area leaves room
    // for, but never less than two thirds of it: a scene to look at and the panel beside it.
    const int step =
        std::max(8, frames.front()->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, frames.front()));
    const int n = static_cast<int>(frames.size());
    const int w = std::max(area.width() - (n - 1) * step, area.width() * 2 / 3);
    const int h = std::max(area.height() - (n - 1) * step, area.height() * 2 / 3);
    const int spanX = std::max(1, area.width() - w + 1);
    const int spanY = std::max(1, area.height() - h + 1);
    for (int i = 0; i < n; ++i) {
        ChildFrame *frame = frames[i];
        if (frame->isMaximized())
            frame->showNormal();
        frame->setGeometry(area.left() + (i * step) % spanX, area.top() + (i * step) % spanY, w, h);
        frame->raise();
    }
}

void MainFrame::TileWindows() {
    const int icons = LineUpIcons();
    std::vector<ChildFrame *> frames;
    for (ChildFrame *f : ChildFrames()) {
        if (!f->isMinimized())
            frames.push_back(f);
    }
    if (frames.empty())
        return;
    QRect area = m_mdiArea->viewport()->rect();
    area.setBottom(area.bottom() - icons);
    // Full-width windows one above the other keep the scene at its width with the panel
    // beside it; a second column starts only when the rows would get too low.
    const int n = static_cast<int>(frames.size());
    const int maxRows = std::max(1, area.height() / kMinTileHeight);
    const int columns = (n + maxRows - 1) / maxRows;
    const int rows = (n + columns - 1) / columns;
    for (int i = 0; i < n; ++i) {
        const int column = i / rows, row = i % rows;
        const int inColumn = std::min(rows, n - column * rows);
        const int x0 = area.left() + area.width() * column / columns;
        const int x1 = area.left() + area.width() * (column + 1) / columns;
        const int y0 = area.top() + area.height() * row / inColumn;
        const int y1 = area.top() + area.height() * (row + 1) / inColumn;
        ChildFrame *frame = frames[i];
        if (frame->isMaximized())
            frame->showNormal();
        frame->setGeometry(x0, y0, x1 - x0, y1 - y0);
    }
}

void MainFrame::UpdateMenuBar() {
    const bool document = !ChildFrames().empty();
    const int kind = document ? 1 : 0;
    if (kind == m_menuKind)
        return;
    m_menuKind = kind;
    BuildMenuBar(document);
}

void MainFrame::BuildMenuBar(bool document) {
    // clear() only takes the actions away; the popups the bar owns must go too.
    for (QAction *a : menuBar()->actions()) {
        if (QMenu *menu = a->menu())
            menu->deleteLater();
    }
    menuBar()->clear();
    const MenuBar &bar = document ? DocumentMenu() : MainFrameMenu();
    for (const MenuPopup &popup : bar) {
        QMenu *menu = AddPopup(popup.title);
        for (const MenuItem &item : popup.items) {
            if (!item.text) {
                menu->addSeparator();
                continue;
            }
            QAction *action = menu->addAction(QString::fromUtf8(item.text));
            action->setData(item.id);
            action->setStatusTip(StatusTipFor(item.id));
            if (item.id == ID_VIEW_TOOLBAR || item.id == ID_VIEW_STATUS_BAR)
                action->setCheckable(true);
            if (item.id == ID_FILE_MRU_FILE1) {
                action->setProperty(kRecentProperty, true);
                continue; // filled when the menu opens
            }
            const unsigned id = item.id;
            connect(action, &QAction::triggered, this,
                    [id] { Application::Instance()->DispatchCommand(id); });
        }
    }
}

QMenu *MainFrame::AddPopup(const char *title) {
    QMenu *menu = menuBar()->addMenu(QString::fromUtf8(title));
    connect(menu, &QMenu::aboutToShow, this, [this, menu] { UpdateMenuState(menu); });
    return menu;
}

void MainFrame::UpdateMenuState(QMenu *menu) {
    Application *app = Application::Instance();
    QAction *placeholder = nullptr;
    bool windowMenu = false;
    for (QAction *action : menu->actions()) {
        if (action->isSeparator() || !action->data().isValid())
            continue;
        const unsigned id = action->data().toUInt();
        if (action->property(kRecentProperty).toBool()) {
            placeholder = action;
            continue;
        }
        if (id == ID_WINDOW_CASCADE)
            windowMenu = true;
        action->setEnabled(app->IsCommandEnabled(id));
        if (action->isCheckable())
            action->setChecked(IsChecked(id));
    }
    if (placeholder)
        FillRecentFiles(menu, placeholder);
    if (windowMenu)
        RebuildWindowList(menu);
}

void MainFrame::FillRecentFiles(QMenu *menu, QAction *placeholder) {
    for (QAction *a : menu->actions()) {
        if (a->property(kRecentProperty).toInt() > 1) { // entries, not the placeholder
            menu->removeAction(a);
            a->deleteLater();
        }
    }
    const QStringList &files = Application::Instance()->RecentFiles();
    placeholder->setVisible(files.isEmpty());
    placeholder->setEnabled(false);
    for (int i = 0; i < files.size(); ++i) {
        const QString shown =
            fontMetrics().elidedText(QDir::toNativeSeparators(files[i]), Qt::ElideMiddle, 400);
        QAction *entry = new QAction(QStringLiteral("&%1 %2").arg(i + 1).arg(MenuItemText(shown)), menu);
        entry->setProperty(kRecentProperty, 2 + i);
        entry->setStatusTip(StatusTipFor(ID_FILE_MRU_FILE1 + i));
        connect(entry, &QAction::triggered, this,
                [i] { Application::Instance()->DispatchCommand(ID_FILE_MRU_FILE1 + i); });
        menu->insertAction(placeholder, entry);
    }
}

void MainFrame::RebuildWindowList(QMenu *menu) {
    for (QAction *a : menu->actions()) {
        if (a->property(kWindowListProperty).toBool()) {
            menu->removeAction(a);
            a->deleteLater();
        }
    }
    const std::vector<ChildFrame *> frames = ChildFrames();
    if (frames.empty())
        return;
    QAction *sep = menu->addSeparator();
    sep->setProperty(kWindowListProperty, true);
    ChildFrame *active = ActiveChildFrame();
    for (size_t i = 0; i < frames.size(); ++i) {
        ChildFrame *frame = frames[i];
        QAction *a =
            menu->addAction(QStringLiteral("&%1 %2").arg(i + 1).arg(MenuItemText(frame->windowTitle())));
        a->setProperty(kWindowListProperty, true);
        a->setCheckable(true);
        a->setChecked(frame == active);
        a->setStatusTip(QStringLiteral("Activate this window"));
        QPointer<ChildFrame> target = frame;
        connect(a, &QAction::triggered, this, [target] {
            if (target)
                target->ActivateFrame();
        });
    }
}

void MainFrame::InstallAccelerators() {
    for (const Accelerator &acc : Accelerators()) {
        auto *shortcut = new QShortcut(QKeySequence(QString::fromUtf8(acc.keys)), this);
        shortcut->setContext(Qt::WindowShortcut);
        const unsigned id = acc.id;
        // A key whose command nobody takes does nothing.
        connect(shortcut, &QShortcut::activated, this,
                [id] { Application::Instance()->DispatchCommand(id); });
    }
}

void MainFrame::ShowIdleMessage() {
    if (statusBar())
        statusBar()->showMessage(QString::fromUtf8(kIdleMessage));
}

bool MainFrame::event(QEvent *event) {
    if (event->type() == QEvent::StatusTip) {
        auto *tip = static_cast<QStatusTipEvent *>(event);
        if (tip->tip().isEmpty()) {
            ShowIdleMessage();
            return true;
        }
        if (statusBar())
            statusBar()->showMessage(tip->tip().trimmed());
        return true;
    }
    return QMainWindow::event(event);
}

// ---------------------------------------------------------------------------

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
