#include "mdiframe.h"

#include "../resources/ids.h"
#include "../resources/strings.h"
#include "childframe.h"
#include "services.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QShortcut>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QWidgetAction>
#include <QWindow>

namespace {

// Qt ends a status tip with an empty one, which restores the idle text; commands
// without a prompt carry a blank so that highlighting them shows an empty pane.
QString StatusTipFor(unsigned id) {
    const std::string prompt = CommandPrompt(id);
    return prompt.empty() ? QStringLiteral(" ") : Q(prompt);
}

constexpr const char *kWindowListProperty = "quorWindowList";
constexpr const char *kRecentProperty = "quorRecentFile";

// Tiled windows stay at least this tall, so that the data panel's lines show.
constexpr int kMinTileHeight = 200;

} // namespace

MainFrame::MainFrame(FrameHost &host) : m_host(host), m_mdiArea(new QMdiArea(this)) {
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
            const unsigned id = item.id;
            if (item.checkBox) {
                menu->addAction(AddCheckBox(menu, item));
                continue;
            }
            QAction *action = menu->addAction(QString::fromUtf8(item.text));
            action->setData(item.id);
            action->setStatusTip(StatusTipFor(item.id));
            action->setCheckable(item.checkable);
            if (item.id == ID_FILE_MRU_FILE1) {
                action->setProperty(kRecentProperty, true);
                continue; // filled when the menu opens
            }
            connect(action, &QAction::triggered, this, [this, id] { m_host.DispatchCommand(id); });
        }
    }
}

QAction *MainFrame::AddCheckBox(QMenu *menu, const MenuItem &item) {
    auto *action = new QWidgetAction(menu);
    auto *box = new QCheckBox(QString::fromUtf8(item.text), menu);
    // Lined up with the texts of the other items, and as tall as they are.
    const int indent = style()->pixelMetric(QStyle::PM_MenuHMargin, nullptr, menu) +
                       style()->pixelMetric(QStyle::PM_MenuPanelWidth, nullptr, menu) + 4;
    box->setContentsMargins(indent, 3, indent, 3);
    box->setFocusPolicy(Qt::StrongFocus);
    // Highlighted under the pointer or the keyboard like the menu's other items.
    box->setStyleSheet(QStringLiteral("QCheckBox:hover, QCheckBox:focus { background: palette(highlight); "
                                      "color: palette(highlighted-text); }"));
    action->setDefaultWidget(box);
    action->setText(box->text());
    action->setData(item.id);
    action->setStatusTip(StatusTipFor(item.id));
    const unsigned id = item.id;
    // A click or Space on the box, or Enter on the item: the command runs once
    // and the menu closes, as after any other item.
    auto run = [this, id] {
        if (QWidget *popup = QApplication::activePopupWidget())
            popup->close();
        m_host.DispatchCommand(id);
    };
    connect(box, &QCheckBox::clicked, this, run);
    connect(action, &QAction::triggered, this, run);
    return action;
}

QMenu *MainFrame::AddPopup(const char *title) {
    QMenu *menu = menuBar()->addMenu(QString::fromUtf8(title));
    connect(menu, &QMenu::aboutToShow, this, [this, menu] { UpdateMenuState(menu); });
    return menu;
}

void MainFrame::UpdateMenuState(QMenu *menu) {
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
        action->setEnabled(m_host.IsCommandEnabled(id));
        if (action->isCheckable())
            action->setChecked(IsChecked(id));
        if (auto *widgetAction = qobject_cast<QWidgetAction *>(action)) {
            if (auto *box = qobject_cast<QCheckBox *>(widgetAction->defaultWidget())) {
                box->setEnabled(action->isEnabled());
                box->setChecked(IsChecked(id));
            }
        }
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
    const QStringList &files = m_host.RecentFiles();
    placeholder->setVisible(files.isEmpty());
    placeholder->setEnabled(false);
    for (int i = 0; i < files.size(); ++i) {
        const QString shown =
            fontMetrics().elidedText(QDir::toNativeSeparators(files[i]), Qt::ElideMiddle, 400);
        QAction *entry = new QAction(QStringLiteral("&%1 %2").arg(i + 1).arg(MenuItemText(shown)), menu);
        entry->setProperty(kRecentProperty, 2 + i);
        entry->setStatusTip(StatusTipFor(ID_FILE_MRU_FILE1 + i));
        connect(entry, &QAction::triggered, this,
                [this, i] { m_host.DispatchCommand(ID_FILE_MRU_FILE1 + i); });
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
        connect(shortcut, &QShortcut::activated, this, [this, id] { m_host.DispatchCommand(id); });
    }
}

void MainFrame::ShowIdleMessage() {
    if (statusBar())
        statusBar()->showMessage(QString::fromUtf8(kIdleMessage));
}

void MainFrame::TieFloatingBars() {
    QWindow *window = windowHandle();
    if (!window)
        return;
    for (QToolBar *bar : findChildren<QToolBar *>(Qt::FindDirectChildrenOnly)) {
        QWindow *barWindow = bar->windowHandle();
        if (!bar->isFloating() || !bar->isVisible() || !barWindow || barWindow->transientParent() == window)
            continue;
        // The window system reads the tie when a window is shown.
        bar->hide();
        barWindow->setTransientParent(window);
        bar->show();
    }
}

bool MainFrame::event(QEvent *event) {
    if (event->type() == QEvent::WinIdChange) {
        // A scene view makes this window anew. A floating bar still tied to the old one
        // would fall behind this window, out of the user's reach.
        QTimer::singleShot(0, this, &MainFrame::TieFloatingBars);
    }
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
