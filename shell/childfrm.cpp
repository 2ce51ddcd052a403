#include "childfrm.h"

#include "../document/quordoc.h"
#include "../panel/textview1.h"
#include "../resources/gui/icons.h"
#include "../resources/ids.h"
#include "../view/picturefile.h"
#include "../view/quorview.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QStandardPaths>

PaneSplitter::PaneSplitter(QWidget *parent) : QSplitter(Qt::Horizontal, parent) {
    setChildrenCollapsible(true);
    setOpaqueResize(true);
    connect(this, &QSplitter::splitterMoved, this, [this](int pos, int) {
        if (!m_applying && !m_tracking)
            m_idealWidth = pos;
    });
}

void PaneSplitter::SetIdealWidth(int width) {
    m_idealWidth = std::max(0, width);
    ApplyLayout();
}

void PaneSplitter::resizeEvent(QResizeEvent *event) {
    QSplitter::resizeEvent(event);
    ApplyLayout();
}

void PaneSplitter::ApplyLayout() {
    if (count() < 2)
        return;
    const int total = width();
    const int bar = handleWidth();
    m_applying = true;
    // Too narrow for both: the panel and its bar go until there is room again.
    const bool both = total >= m_idealWidth + bar;
    widget(1)->setVisible(both);
    setSizes(both ? QList<int>{m_idealWidth, total - m_idealWidth - bar} : QList<int>{total, 0});
    m_applying = false;
}

QSize PaneSplitter::sizeHint() const {
    // The panel's longest line is about 200 pixels wide; five lines are about 110 high.
    return {m_idealWidth + handleWidth() + 240, 560};
}

QSize PaneSplitter::minimumSizeHint() const {
    return {160, 120};
}

void PaneSplitter::StartKeyboardSplit() {
    if (m_tracking || count() < 2)
        return;
    m_tracking = true;
    m_trackStart = m_idealWidth;
    m_focusBeforeTracking = QApplication::focusWidget();
    qApp->installEventFilter(this);
    handle(1)->setFocus();
    QApplication::setOverrideCursor(Qt::SplitHCursor);
}

void PaneSplitter::EndKeyboardSplit(bool keep) {
    if (!m_tracking)
        return;
    m_tracking = false;
    qApp->removeEventFilter(this);
    QApplication::restoreOverrideCursor();
    if (!keep)
        m_idealWidth = m_trackStart;
    ApplyLayout();
    // The keys steer the pane that had them before, or the scene if that pane went.
    QWidget *back = m_focusBeforeTracking;
    if (!back || !isAncestorOf(back) || !back->isVisible())
        back = widget(0);
    back->setFocus(Qt::OtherFocusReason);
}

bool PaneSplitter::eventFilter(QObject *watched, QEvent *event) {
    if (!m_tracking)
        return QSplitter::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::KeyPress: {
        auto *key = static_cast<QKeyEvent *>(event);
        const int step = key->modifiers() & Qt::ControlModifier ? 1 : 8;
        switch (key->key()) {
        case Qt::Key_Left:
            m_idealWidth = std::max(0, m_idealWidth - step);
            ApplyLayout();
            return true;
        case Qt::Key_Right:
            m_idealWidth = std::min(width(), m_idealWidth + step);
            ApplyLayout();
            return true;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            EndKeyboardSplit(true);
            return true;
        case Qt::Key_Escape:
            EndKeyboardSplit(false);
            return true;
        default:
            return true; // keys do nothing else while the bar moves
        }
    }
    case QEvent::MouseButtonPress:
        EndKeyboardSplit(true);
        return true;
    default:
        return false;
    }
}

CChildFrame::CChildFrame(CQUORDoc *document, FrameHost &host, LiveModel *live)
    : ChildFrame(document, host), m_doc(document), m_live(live) {
    setWindowIcon(DocumentIcon());
    setAttribute(Qt::WA_DeleteOnClose, false);
}

bool CChildFrame::OnCreateClient() {
    m_wndSplitter = new PaneSplitter(this);
    m_sceneView = new CQUORView(m_doc, m_wndSplitter);
    m_wndSplitter->addWidget(m_sceneView);
    m_dataPanel = new TextView(m_doc, m_wndSplitter);
    m_wndSplitter->addWidget(m_dataPanel);
    m_sceneView->SetLiveModel(m_live);
    m_dataPanel->SetLiveModel(m_live);
    m_wndSplitter->setSizes({750, 0});
    setWidget(m_wndSplitter);
    AddPane(m_sceneView, m_sceneView);
    AddPane(m_dataPanel, m_dataPanel);
    m_sceneView->MapCommand(ID_WINDOW_SPLIT, [this] { m_wndSplitter->StartKeyboardSplit(); });
    m_dataPanel->MapCommand(ID_WINDOW_SPLIT, [this] { m_wndSplitter->StartKeyboardSplit(); });
    // Whichever pane is active, the picture is the scene pane's.
    MapCommand(ID_FILE_SAVE_PICTURE, [this] { OnFileSavePicture(); });
    return true;
}

namespace {
constexpr const char *kPictureFolderKey = "Settings/Picture Folder";

// The folder pictures were last saved in, else the desktop's pictures folder, else home.
QString PictureFolder() {
    const QString last = Application::Instance()->Profile().value(kPictureFolderKey).toString();
    if (!last.isEmpty() && QFileInfo(last).isDir())
        return last;
    const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    return !pictures.isEmpty() && QFileInfo(pictures).isDir() ? pictures : QDir::homePath();
}
} // namespace

void CChildFrame::OnFileSavePicture() {
    // The picture and its name are of the moment the command was given, whatever
    // the pane draws while the dialog is up.
    const QImage picture = m_sceneView->ShownPicture();
    const QString name = m_sceneView->DefaultPictureName();
    QFileDialog dialog(this, QStringLiteral("Save Picture As"));
    dialog.setObjectName(QStringLiteral("savePictureDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    const QStringList filters{QStringLiteral("PNG picture (*.png)"),
                              QStringLiteral("JPEG picture (*.jpg *.jpeg)")};
    dialog.setNameFilters(filters);
    dialog.setDefaultSuffix(QStringLiteral("png"));
    connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog, &filters](const QString &filter) {
        dialog.setDefaultSuffix(filter == filters[1] ? QStringLiteral("jpg") : QStringLiteral("png"));
    });
    dialog.setDirectory(PictureFolder());
    dialog.selectFile(name);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const QString path = dialog.selectedFiles().first();
    const QString failure = WritePicture(picture, path);
    if (!failure.isEmpty()) {
        ShowMessage(failure.toStdString(), kAppCaption, MessageIcon::Exclamation);
        return;
    }
    Application::Instance()->Profile().setValue(kPictureFolderKey, QFileInfo(path).absolutePath());
}

void CChildFrame::ActivateFrame() {
    // Every document window shows maximised, whatever show command it is given.
    ChildFrame::ActivateFrame();
    if (ActivePane() == 0 && m_sceneView && !m_sceneView->hasFocus())
        SetActivePane(0);
}

void CChildFrame::BeforeDocumentOpen() {
    if (!m_sceneView)
        return;
    // Qt creates a GL widget's context when the widget is first shown with a size.
    for (int i = 0; i < 50 && !m_sceneView->context(); ++i)
        QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    if (m_sceneView->HasContext())
        m_sceneView->makeCurrent();
}
