#include "childframe.h"

#include "../resources/ids.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QMdiArea>
#include <QTimer>

ChildFrame::ChildFrame(Document *document, FrameHost &host) : m_document(document), m_host(host) {}

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
    FrameHost *host = &m_host;
    QTimer::singleShot(0, QCoreApplication::instance(), [host, doc] { host->CloseDocument(doc); });
}
