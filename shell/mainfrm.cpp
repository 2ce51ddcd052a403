#include "mainfrm.h"

#include "../document/quordoc.h"
#include "../resources/gui/icons.h"
#include "../resources/ids.h"
#include "../resources/strings.h"
#include "../view/core/orbitsim.h"
#include "../view/quorview.h"
#include "../view/skyrenderer.h"
#include "quor.h"

#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMdiArea>
#include <QMimeData>
#include <QStatusBar>
#include <QToolBar>

#include <algorithm>

CMainFrame::CMainFrame(CQUORApp &app) : MainFrame(app), m_app(app) {
    SetFrameTitle(QString::fromUtf8(kMainTitle));
    setWindowTitle(FrameTitle());
    setAcceptDrops(true);
    MapCommand(ID_VIEW_TOOLBAR, [this] { m_wndToolBar->setVisible(!m_wndToolBar->isVisible()); });
    MapCommand(ID_VIEW_STATUS_BAR, [this] { m_wndStatusBar->setVisible(!m_wndStatusBar->isVisible()); });
    MapCommand(ID_WINDOW_CASCADE, [this] { CascadeWindows(); });
    MapCommand(ID_WINDOW_TILE_HORZ, [this] { TileWindows(); });
    MapCommand(ID_WINDOW_ARRANGE, [this] { ArrangeIcons(); });
}

int CMainFrame::OnCreate() {
    setWindowIcon(ClassIcon());
    UpdateMenuBar();

    m_wndToolBar = new QToolBar(QStringLiteral("Toolbar"), this);
    if (!m_wndToolBar) {
        Trace("Failed to create toolbar\n");
        return -1;
    }
    m_wndToolBar->setObjectName(QStringLiteral("ToolBar")); // the key of its saved layout
    m_wndToolBar->setMovable(true);
    m_wndToolBar->setFloatable(true);
    m_wndToolBar->setAllowedAreas(Qt::AllToolBarAreas);
    m_wndToolBar->setIconSize(QSize(16, 15));
    const struct {
        unsigned id;
        QIcon image;
    } buttons[] = {{ID_FILE_OPEN, OpenButtonIcon()}, {0, {}}, {ID_APP_ABOUT, AboutButtonIcon()}};
    for (const auto &b : buttons) {
        if (b.id == 0) {
            m_wndToolBar->addSeparator();
            continue;
        }
        QAction *action = m_wndToolBar->addAction(b.image, QString::fromStdString(CommandTip(b.id)));
        action->setToolTip(QString::fromStdString(CommandTip(b.id)));
        action->setStatusTip(QString::fromStdString(CommandPrompt(b.id)));
        action->setData(b.id);
        const unsigned id = b.id;
        connect(action, &QAction::triggered, this, [this, id] { m_app.DispatchCommand(id); });
    }
    addToolBar(Qt::TopToolBarArea, m_wndToolBar);

    m_wndStatusBar = statusBar();
    if (!m_wndStatusBar) {
        Trace("Failed to create status bar\n");
        return -1;
    }
    m_wndStatusBar->setObjectName(QStringLiteral("StatusBar"));
    m_wndStatusBar->setSizeGripEnabled(true);
    ShowIdleMessage();

    QSettings &profile = m_app.Profile();
    profile.beginGroup(kBarStateKey);
    const QByteArray state = profile.value("Layout").toByteArray();
    if (!state.isEmpty())
        restoreState(state);
    m_wndStatusBar->setVisible(profile.value("StatusBar", true).toBool());
    profile.endGroup();
    return 0;
}

bool CMainFrame::IsChecked(unsigned id) const {
    if (id == ID_ORBIT_SIMULATED || id == ID_ORBIT_LIVE || id == ID_ORBIT_GROUND_TRACK) {
        const ChildFrame *frame = ActiveChildFrame();
        const auto *doc = frame ? static_cast<const CQUORDoc *>(frame->GetDocument()) : nullptr;
        if (!doc)
            return false;
        if (id == ID_ORBIT_GROUND_TRACK)
            return doc->m_live && doc->m_groundTrack; // the simulated orbit draws no track
        return doc->m_live == (id == ID_ORBIT_LIVE);
    }
    if (id == ID_TIMER_REALTIME || id == ID_TIMER_X10 || id == ID_TIMER_X30 || id == ID_TIMER_X60) {
        // The factor of the active document's clock: the live one has its own.
        const ChildFrame *frame = ActiveChildFrame();
        const auto *doc = frame ? static_cast<const CQUORDoc *>(frame->GetDocument()) : nullptr;
        const float factor = doc && doc->m_live ? m_app.Live()->Clock().factor : g_timeFactor;
        const float item = id == ID_TIMER_REALTIME ? 1.0f
                           : id == ID_TIMER_X10    ? 10.0f
                           : id == ID_TIMER_X30    ? 30.0f
                                                   : 60.0f;
        return doc && factor == item;
    }
    if (id == ID_TIMER_STARTSTOP) {
        // Whether the active document's clock runs: the live clock, or the simulation's timer.
        const ChildFrame *frame = ActiveChildFrame();
        const auto *doc = frame ? static_cast<const CQUORDoc *>(frame->GetDocument()) : nullptr;
        if (!doc)
            return false;
        if (doc->m_live)
            return !m_app.Live()->Clock().paused;
        const auto *scene = frame->findChild<CQUORView *>();
        return scene && scene->m_timerId != 0;
    }
    if (id == ID_VIEW_ANTIALIASING)
        return CQUORView::Antialiasing();
    if (id == ID_VIEW_ALTITUDE_GRID)
        return SkyGrid();
    if (id == ID_VIEW_TOOLBAR)
        return m_wndToolBar && m_wndToolBar->isVisible();
    if (id == ID_VIEW_STATUS_BAR)
        return m_wndStatusBar && m_wndStatusBar->isVisible();
    return false;
}

void CMainFrame::OnClose() {
    // Toolbar docking and visibility are in the window state; the status bar is not.
    QSettings &profile = m_app.Profile();
    profile.beginGroup(kBarStateKey);
    profile.setValue("Layout", saveState());
    profile.setValue("StatusBar", m_wndStatusBar->isVisible());
    profile.endGroup();
    m_app.Orbit()->RememberLiveChoice();
    m_app.SaveProfile();
}

void CMainFrame::closeEvent(QCloseEvent *event) {
    // From here on the viewer is ending: later starts show their files themselves.
    m_app.EndShellOpen();
    OnClose();
    for (Document *doc : m_app.Documents())
        m_app.CloseDocument(doc);
    event->accept();
    // The program ends with its main window. Left to the last window closing, it would
    // run on for as long as a floating toolbar stays up, which it can: the toolbar loses
    // its tie to the main window when a scene view makes that window anew.
    QCoreApplication::exit(0);
}

namespace {

bool HasLocalFile(const QMimeData *data) {
    const QList<QUrl> urls = data->urls();
    return std::any_of(urls.begin(), urls.end(), [](const QUrl &url) { return url.isLocalFile(); });
}

} // namespace

void CMainFrame::dragEnterEvent(QDragEnterEvent *event) {
    // Refused here, the cursor tells the user before the drop that nothing would open.
    if (HasLocalFile(event->mimeData()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void CMainFrame::dropEvent(QDropEvent *event) {
    // Dropped files open exactly as if chosen in the Open dialog.
    const QList<QUrl> urls = event->mimeData()->urls();
    for (const QUrl &url : urls) {
        if (!url.isLocalFile())
            continue;
        const QString path = url.toLocalFile(), suffix = QFileInfo(path).suffix().toLower();
        // Orbital elements are taken for the live orbit; anything else is a model.
        if (suffix == QLatin1String("tle") || suffix == QLatin1String("txt"))
            m_app.Orbit()->OpenElementsFile(path);
        else
            m_app.OpenDocumentFile(path);
    }
    event->acceptProposedAction();
}
