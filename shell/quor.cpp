#include "quor.h"

#include "../document/quordoc.h"
#include "../resources/gui/icons.h"
#include "../resources/ids.h"
#include "../resources/strings.h"
#include "../view/gldisplaylistsink.h"
#include "../view/quorview.h"
#include "../view/skyrenderer.h"
#include "../view/wiresphere.h"
#include "childfrm.h"
#include "mainfrm.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPageSetupDialog>
#include <QPrinter>
#include <QWindow>

namespace {
constexpr const char *kAntialiasingKey = "View/Antialiasing";
constexpr const char *kAltitudeGridKey = "View/Altitude Grid";
}

CAboutDlg::CAboutDlg(QWidget *parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("About QUOR"));
    auto *icon = new QLabel(this);
    icon->setPixmap(MainIcon().pixmap(QSize(32, 32), devicePixelRatioF()));
    auto *version = new QLabel(QStringLiteral("QUOR Version 5.0 (MDI)"), this);
    version->setTextFormat(Qt::PlainText);
    auto *second = new QLabel(QStringLiteral("The space station on its orbit, in 3-D"), this);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    auto *layout = new QGridLayout(this);
    layout->addWidget(icon, 0, 0, 2, 1, Qt::AlignTop);
    layout->addWidget(version, 0, 1);
    layout->addWidget(second, 1, 1);
    layout->addWidget(buttons, 0, 2, 2, 1, Qt::AlignTop);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

CQUORApp::CQUORApp(int &argc, char **argv)
    : Application(argc, argv), m_live(new LiveModel(this)), m_orbit(new OrbitCommands(this, m_live)) {
    MapCommand(ID_APP_ABOUT, [this] { OnAppAbout(); });
    MapCommand(ID_APP_EXIT, [this] {
        if (m_pMainWnd)
            m_pMainWnd->close();
    });
    MapCommand(ID_VIEW_ANTIALIASING, [this] { SetAntialiasing(!CQUORView::Antialiasing()); });
    MapCommand(ID_VIEW_ALTITUDE_GRID, [this] {
        SetSkyGrid(!SkyGrid());
        Profile().setValue(kAltitudeGridKey, SkyGrid());
        if (m_pMainWnd) {
            for (ChildFrame *frame : m_pMainWnd->ChildFrames())
                for (CQUORView *view : frame->findChildren<CQUORView *>())
                    view->update();
        }
    });
    MapCommand(ID_FILE_PRINT_SETUP, [this] {
        QPrinter printer;
        QPageSetupDialog dialog(&printer, m_pMainWnd);
        dialog.exec();
    });
}

CQUORApp::~CQUORApp() = default;

bool CQUORApp::InitInstance() {
    SetDefaultGlSink(&ViewerGlSink());
    {
        // freeglut takes its own switches out of the command line; keep ours whole.
        std::vector<std::string> args;
        for (const QString &a : arguments())
            args.push_back(a.toStdString());
        std::vector<char *> argv;
        for (auto &a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        int argc = static_cast<int>(args.size());
        InitWireSphere(&argc, argv.data());
    }
    LoadStdProfileSettings(kRecentFileSlots);
    CQUORView::SetAntialiasing(Profile().value(kAntialiasingKey, true).toBool());
    SetSkyGrid(Profile().value(kAltitudeGridKey, true).toBool());

    auto docTemplate = std::make_unique<DocTemplate>();
    docTemplate->templateString = kDocTemplateString;
    docTemplate->createDocument = [] { return std::make_unique<CQUORDoc>(); };
    docTemplate->createFrame = [this](Document *doc) -> ChildFrame * {
        auto *frame = new CChildFrame(static_cast<CQUORDoc *>(doc), *this, m_live);
        if (!frame->OnCreateClient()) {
            delete frame;
            return nullptr;
        }
        return frame;
    };
    AddDocTemplate(std::move(docTemplate));

    auto *mainFrame = new CMainFrame(*this);
    if (mainFrame->OnCreate() != 0) {
        delete mainFrame;
        return false;
    }
    m_pMainWnd = mainFrame;
    setWindowIcon(MainIcon());

    // A document window needs a shown main window for its GL view's context.
    m_pMainWnd->showMaximized();
    // Elements named on the command line, else those of the last run, for the live
    // orbit; a choice among several is asked over the main window.
    // A viewer left showing the live orbit starts live again.
    const QStringList args = arguments();
    const qsizetype elementsSwitch = args.indexOf(QStringLiteral("--elements"));
    const bool wasLive = m_orbit->WasLive();
    bool liveStart = elementsSwitch > 0 && elementsSwitch + 1 < args.size() &&
                     m_orbit->OpenElementsFile(args[elementsSwitch + 1]);
    if (!liveStart)
        liveStart = m_orbit->RestoreElements() && wasLive;

    // A viewer that starts empty shows the first model opened into it live.
    m_orbit->SetLiveOnOpen(liveStart ? OrbitCommands::LiveOnOpen::WhileStarting : OrbitCommands::LiveOnOpen::Off);
    if (!ProcessShellCommand(m_startFiles))
        return false;
    if (liveStart)
        m_orbit->SetLiveOnOpen(Documents().empty() ? OrbitCommands::LiveOnOpen::First
                                                   : OrbitCommands::LiveOnOpen::Off);
    // Always maximised, whatever happened to the window while the documents opened.
    if (!m_pMainWnd->isMaximized() || m_pMainWnd->windowHandle()->windowStates() != Qt::WindowMaximized)
        m_pMainWnd->setWindowState(Qt::WindowNoState);
    m_pMainWnd->showMaximized();
    m_pMainWnd->repaint();
    // Only a viewer that goes on running takes the files of later starts on this display.
    EnableShellOpen();
    return true;
}

void CQUORApp::SetAntialiasing(bool on) {
    CQUORView::SetAntialiasing(on);
    Profile().setValue(kAntialiasingKey, on);
    if (!m_pMainWnd)
        return;
    for (ChildFrame *frame : m_pMainWnd->ChildFrames()) {
        for (CQUORView *view : frame->findChildren<CQUORView *>())
            view->OnAntialiasingChanged();
    }
}

void CQUORApp::OnAppAbout() {
    CAboutDlg dialog(m_pMainWnd);
    dialog.exec();
}
