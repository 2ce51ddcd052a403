// Windows, panes, menus, prompts and input of the real viewer, driven with QTest.
#include "guitest.h"

#include "document/quordoc.h"
#include "panel/textview1.h"
#include "resources/ids.h"
#include "shell/childfrm.h"
#include "shell/mainfrm.h"
#include "view/core/orbitsim.h"
#include "view/quorview.h"

#include <QKeyEvent>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QStyle>
#include <QStyleOptionToolBar>
#include <QTest>
#include <QToolBar>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

namespace {

const QString kStation = QString::fromStdString(SourcePath("data/station.3ds"));

struct MenuState {
    bool enabled;
    bool checked;
};

// Opens the popup's state update as the menu would and reads its items by text.
std::map<QString, MenuState> Popup(MainFrame *main, const QString &title) {
    std::map<QString, MenuState> items;
    for (QAction *a : main->menuBar()->actions()) {
        if (a->text() != title || !a->menu())
            continue;
        main->UpdateMenuState(a->menu());
        for (QAction *item : a->menu()->actions()) {
            if (!item->isSeparator() && item->isVisible())
                items[item->text()] = {item->isEnabled(), item->isChecked()};
        }
    }
    return items;
}

CChildFrame *ActiveFrame(ViewerApp &v) {
    return static_cast<CChildFrame *>(v.app().MainWindow()->ActiveChildFrame());
}

bool TimerItemsEnabled(MainFrame *main) {
    const auto timer = Popup(main, "Timer");
    return timer.size() == 5 &&
           std::all_of(timer.begin(), timer.end(), [](const auto &item) { return item.second.enabled; });
}

// Sizes a document window so that its client area is the given width.
int ClientWidth(CChildFrame *frame, int width) {
    frame->showNormal();
    ViewerApp::Settle(20);
    frame->resize(frame->width() - frame->m_wndSplitter->width() + width, 600);
    ViewerApp::Settle(50);
    return frame->m_wndSplitter->width();
}

// Pixels of the scene that are not the clear colour: something was drawn.
int DrawnPixels(CQUORView *view) {
    const QImage image = view->grabFramebuffer();
    int drawn = 0;
    for (int y = 0; y < image.height(); y += 4)
        for (int x = 0; x < image.width(); x += 4)
            drawn += image.pixel(x, y) != qRgb(0, 0, 51);
    return drawn;
}

// How many pixels differ by more than a quarter of the range in some channel, alpha included.
int PixelsApart(const QImage &a, const QImage &b) {
    int apart = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            apart += std::max({std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                               std::abs(qBlue(p) - qBlue(q)), std::abs(qAlpha(p) - qAlpha(q))}) > 64;
        }
    return apart;
}

// An icon's picture at ratio 2 has twice the pixels and detail of its own: a
// good share of them stand apart from the ratio-1 picture blown up, whether
// by repeating its pixels or by smoothing.
void ExpectDrawnAtRatioTwo(const QIcon &icon, QSize size) {
    SCOPED_TRACE(testing::Message() << size.width() << "x" << size.height());
    const QImage one = icon.pixmap(size, 1.0).toImage().convertToFormat(QImage::Format_ARGB32);
    const QImage two = icon.pixmap(size, 2.0).toImage().convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(one.size(), size);
    ASSERT_EQ(two.size(), size * 2);
    for (const auto mode : {Qt::FastTransformation, Qt::SmoothTransformation})
        EXPECT_GT(PixelsApart(two, one.scaled(two.size(), Qt::IgnoreAspectRatio, mode)),
                  two.width() * two.height() / 20)
            << "scaled up " << (mode == Qt::FastTransformation ? "pixel by pixel" : "smoothly");
}

} // namespace

TEST(Menus, ItemsAndEnabledStateFollowTheActiveWindowAndPane) {
    ViewerApp v;
    MainFrame *main = v.app().MainWindow();
    auto view = Popup(main, "&View");
    ASSERT_EQ(view.size(), 4u);
    EXPECT_TRUE(view["&Toolbar"].enabled && view["&Toolbar"].checked);
    EXPECT_TRUE(view["&Status Bar"].enabled && view["&Status Bar"].checked);
    EXPECT_FALSE(view["From Space"].enabled);
    EXPECT_FALSE(view["From ISS"].enabled);
    auto file = Popup(main, "&File");
    EXPECT_FALSE(file["Recent File"].enabled) << "greyed while the list is empty";
    EXPECT_TRUE(file["E&xit"].enabled);
    EXPECT_TRUE(Popup(main, "&Help")["&About QUOR..."].enabled);

    ASSERT_NE(v.app().OpenDocumentFile(kStation), nullptr);
    ViewerApp::Settle(100);
    CChildFrame *frame = ActiveFrame(v);
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->ActivePane(), 0) << "the 3-D pane is active when the window opens";
    for (const auto &[text, state] : Popup(main, "Timer")) {
        EXPECT_TRUE(state.enabled) << text.toStdString();
        EXPECT_EQ(state.checked, text == "X 30")
            << text.toStdString() << ": the simulation's factor is marked";
    }
    EXPECT_EQ(Popup(main, "Timer").size(), 5u);
    for (const auto &[text, state] : Popup(main, "&View")) {
        // The sky from here belongs to the live orbit with a location: greyed in the simulated one.
        const bool sky = text.startsWith("From Here") || text == "Follow";
        EXPECT_TRUE(state.enabled != sky && !state.checked) << text.toStdString();
    }
    file = Popup(main, "&File");
    EXPECT_TRUE(file["&Close"].enabled);
    EXPECT_EQ(file.count("Recent File"), 0u) << "the placeholder gives way to the list";
    const auto recent = std::find_if(file.begin(), file.end(), [](const auto &item) {
        return item.first.startsWith("&1 ") && item.first.endsWith("station.3ds");
    });
    EXPECT_NE(recent, file.end());
    const auto window = Popup(main, "&Window");
    EXPECT_TRUE(window.count("&Cascade") && window.count("&Tile") && window.count("&Arrange Icons") &&
                window.count("Split"));
    EXPECT_TRUE(window.count("&1 station.3ds") && window.at("&1 station.3ds").checked)
        << "open document windows are listed, the active one marked";
    EXPECT_FALSE(v.app().IsCommandEnabled(ID_EDIT_COPY));
    EXPECT_TRUE(v.app().IsCommandEnabled(ID_FILE_PRINT));

    // The data panel active: the view's commands go, the document's stay.
    frame->SetActivePane(1);
    for (const auto &[text, state] : Popup(main, "Timer"))
        EXPECT_FALSE(state.enabled) << text.toStdString();
    EXPECT_TRUE(Popup(main, "&View")["Approach"].enabled);
    EXPECT_FALSE(v.app().IsCommandEnabled(ID_FILE_PRINT));
    frame->SetActivePane(0);
    EXPECT_TRUE(Popup(main, "Timer")["Start / Stop"].enabled);
}

TEST(Panes, F6MovesBetweenThePanesAndClicksActivate) {
    ViewerApp v({kStation});
    CChildFrame *frame = ActiveFrame(v);
    ASSERT_NE(frame, nullptr);
    v.app().MainWindow()->activateWindow();
    ViewerApp::Settle(100);
    frame->SceneView()->setFocus();
    ViewerApp::Settle(50);
    ASSERT_EQ(frame->ActivePane(), 0);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F6);
    ViewerApp::Settle(50);
    EXPECT_EQ(frame->ActivePane(), 1);
    EXPECT_TRUE(frame->DataPanel()->hasFocus());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F6, Qt::ShiftModifier);
    ViewerApp::Settle(50);
    EXPECT_EQ(frame->ActivePane(), 0);
    QTest::mouseClick(frame->DataPanel(), Qt::LeftButton, {}, QPoint(20, 20));
    ViewerApp::Settle(50);
    EXPECT_EQ(frame->ActivePane(), 1);
    QTest::mouseClick(frame->SceneView(), Qt::LeftButton, {}, QPoint(20, 20));
    ViewerApp::Settle(50);
    EXPECT_EQ(frame->ActivePane(), 0);
}

TEST(Panes, SceneKeepsItsIdealWidthAndThePanelTakesTheRest) {
    ViewerApp v({kStation});
    CChildFrame *frame = ActiveFrame(v);
    ASSERT_NE(frame, nullptr);
    PaneSplitter *splitter = frame->m_wndSplitter;
    const int bar = splitter->handleWidth();
    // Sizes the document window so that its client area is the given width.
    auto clientWidth = [&](int width) {
        frame->showNormal();
        ViewerApp::Settle(20);
        frame->resize(frame->width() - splitter->width() + width, 600);
        ViewerApp::Settle(50);
        return splitter->width();
    };
    ASSERT_EQ(clientWidth(1000), 1000);
    EXPECT_EQ(splitter->sizes(), QList<int>({750, 1000 - 750 - bar}));
    ASSERT_EQ(clientWidth(700), 700);
    EXPECT_EQ(splitter->sizes(), QList<int>({700, 0})) << "too narrow: the scene takes everything";
    EXPECT_FALSE(frame->DataPanel()->isVisible());
    ASSERT_EQ(clientWidth(1000), 1000);
    EXPECT_EQ(splitter->sizes(), QList<int>({750, 1000 - 750 - bar})) << "the panel comes back";
    // A dragged bar sets the new ideal width.
    QSplitterHandle *handle = splitter->handle(1);
    QTest::mousePress(handle, Qt::LeftButton, {}, QPoint(1, 10));
    QMouseEvent drag(QEvent::MouseMove, QPointF(1 - 150, 10), handle->mapToGlobal(QPointF(1 - 150, 10)),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(handle, &drag);
    QTest::mouseRelease(handle, Qt::LeftButton, {}, QPoint(1 - 150, 10));
    EXPECT_EQ(splitter->IdealWidth(), 600);
    ASSERT_EQ(clientWidth(1200), 1200);
    EXPECT_EQ(splitter->sizes().value(0), 600);
}

TEST(StatusBar, PromptsOfCommandsAndTheIdleText) {
    ViewerApp v({kStation});
    MainFrame *main = v.app().MainWindow();
    QStatusBar *bar = main->statusBar();
    EXPECT_EQ(bar->currentMessage(), "Click and drag mouse (Key modifier for zoom)");
    QAction *open = nullptr, *startStop = nullptr;
    for (QAction *a : main->menuBar()->actions()) {
        for (QAction *item : a->menu()->actions()) {
            if (item->text().startsWith("&Open"))
                open = item;
            if (item->text() == "Start / Stop")
                startStop = item;
        }
    }
    ASSERT_TRUE(open && startStop);
    open->showStatusText(main);
    EXPECT_EQ(bar->currentMessage(), "Open an existing document");
    startStop->showStatusText(main);
    EXPECT_EQ(bar->currentMessage(), "");
    QStatusTipEvent end{QString()};
    QApplication::sendEvent(main, &end);
    EXPECT_EQ(bar->currentMessage(), "Click and drag mouse (Key modifier for zoom)");

    // The toolbar: Open, a gap, About, with their tips.
    auto *cmain = static_cast<CMainFrame *>(main);
    const QList<QAction *> buttons = cmain->m_wndToolBar->actions();
    ASSERT_EQ(buttons.size(), 3);
    EXPECT_EQ(buttons[0]->toolTip(), "Open");
    EXPECT_EQ(buttons[0]->statusTip(), "Open an existing document");
    EXPECT_TRUE(buttons[1]->isSeparator());
    EXPECT_EQ(buttons[2]->toolTip(), "About");
    // Drawn for a device-pixel ratio of 2 too, not scaled up there; so are the
    // window icons of the main frame, the document window and the application.
    for (QAction *button : {buttons[0], buttons[2]})
        ExpectDrawnAtRatioTwo(button->icon(), QSize(16, 15));
    ExpectDrawnAtRatioTwo(main->windowIcon(), QSize(32, 32));
    ASSERT_NE(main->ActiveChildFrame(), nullptr);
    for (const QIcon &icon : {main->ActiveChildFrame()->windowIcon(), v.app().windowIcon()})
        for (const int size : {32, 16})
            ExpectDrawnAtRatioTwo(icon, QSize(size, size));
}

TEST(StatusBar, BarLayoutIsRestoredInTheNextRun) {
    QTemporaryDir profile;
    QPoint floatingAt;
    {
        ViewerApp v({}, profile.path());
        auto *main = static_cast<CMainFrame *>(v.app().MainWindow());
        EXPECT_EQ(main->toolBarArea(main->m_wndToolBar), Qt::TopToolBarArea)
            << "first run: docked at the top";
        // Drag the toolbar by its handle into the middle of the window: it floats.
        QToolBar *bar = main->m_wndToolBar;
        QStyleOptionToolBar opt;
        opt.initFrom(bar);
        opt.features = QStyleOptionToolBar::Movable;
        opt.state |= QStyle::State_Horizontal;
        const QPoint handle = bar->style()->subElementRect(QStyle::SE_ToolBarHandle, &opt, bar).center();
        const QPoint target =
            bar->mapFromGlobal(main->mapToGlobal(QPoint(main->width() / 2, main->height() / 2)));
        QTest::mousePress(bar, Qt::LeftButton, {}, handle);
        for (int step = 1; step <= 10; ++step) {
            QTest::mouseMove(bar, handle + (target - handle) * step / 10);
            ViewerApp::Settle(20);
        }
        QTest::mouseRelease(bar, Qt::LeftButton, {}, target);
        ViewerApp::Settle(100);
        ASSERT_TRUE(bar->isFloating());
        floatingAt = bar->pos();
        ASSERT_TRUE(v.app().DispatchCommand(ID_VIEW_STATUS_BAR));
        EXPECT_FALSE(main->statusBar()->isVisible());
        main->close(); // the close request saves the layout
    }
    ViewerApp again({}, profile.path());
    auto *main = static_cast<CMainFrame *>(again.app().MainWindow());
    EXPECT_TRUE(main->m_wndToolBar->isFloating());
    EXPECT_LT((main->m_wndToolBar->pos() - floatingAt).manhattanLength(), 40);
    EXPECT_FALSE(main->statusBar()->isVisible());
    EXPECT_FALSE(Popup(main, "&View")["&Status Bar"].checked);
}

TEST(DataPanel, DrawsItsFiveLinesFromTheDocument) {
    ViewerApp v({kStation});
    CChildFrame *frame = ActiveFrame(v);
    ASSERT_NE(frame, nullptr);
    frame->m_wndSplitter->resize(1000, 600);
    TextView *panel = frame->DataPanel();
    const QImage image = panel->grab().toImage();
    // Black text in the five line bands from y = 10, 20 pixels apart.
    for (int line = 0; line < 5; ++line) {
        int dark = 0;
        for (int y = 10 + 20 * line; y < 26 + 20 * line; ++y)
            for (int x = 10; x < 120; ++x)
                dark += qGray(image.pixel(x, y)) < 80;
        EXPECT_GT(dark, 20) << "line " << line;
    }
    int below = 0;
    for (int y = 112; y < 200; ++y)
        for (int x = 0; x < image.width(); ++x)
            below += qGray(image.pixel(x, y)) < 80;
    EXPECT_EQ(below, 0);
}

TEST(SceneInput, ArrowKeysNudgeTheChaserOncePerKeyMessage) {
    ViewerApp v({kStation});
    CQUORView *view = ActiveFrame(v)->SceneView();
    const float angle = g_chaserAngle, speed = g_chaserSpeed;
    QKeyEvent first(QEvent::KeyPress, Qt::Key_Up, Qt::NoModifier);
    QApplication::sendEvent(view, &first);
    for (int i = 0; i < 19; ++i) { // auto-repeat: a release and a press per repeat
        QKeyEvent up(QEvent::KeyRelease, Qt::Key_Up, Qt::NoModifier, QString(), true);
        QApplication::sendEvent(view, &up);
        EXPECT_EQ(view->m_keyDown, 1) << "a repeat is no release";
        QKeyEvent down(QEvent::KeyPress, Qt::Key_Up, Qt::NoModifier, QString(), true);
        QApplication::sendEvent(view, &down);
    }
    EXPECT_NEAR(g_chaserAngle - angle, 0.2f, 1e-4);
    EXPECT_NEAR(g_chaserSpeed - speed, 0.02f, 1e-5);
    QTest::keyClick(view, Qt::Key_Down);
    EXPECT_NEAR(g_chaserAngle - angle, 0.19f, 1e-4);
    EXPECT_NEAR(g_chaserSpeed - speed, 0.019f, 1e-5);
}

TEST(SceneInput, KeyStateAndCursor) {
    ViewerApp v({kStation});
    CQUORView *view = ActiveFrame(v)->SceneView();
    EXPECT_EQ(view->m_keyDown, 0);
    EXPECT_EQ(view->cursor().shape(), Qt::BitmapCursor) << "the hand";
    EXPECT_EQ(view->cursor().hotSpot(), QPoint(12, 10));

    QTest::keyPress(view, Qt::Key_A);
    EXPECT_EQ(view->m_keyDown, 1);
    EXPECT_EQ(view->cursor().shape(), Qt::SizeAllCursor);
    QTest::keyPress(view, Qt::Key_B);
    QTest::keyRelease(view, Qt::Key_A);
    EXPECT_EQ(view->m_keyDown, 0) << "one release clears it, whichever key is still held";
    EXPECT_EQ(view->cursor().shape(), Qt::BitmapCursor);
    QTest::keyRelease(view, Qt::Key_B);

    QTest::keyPress(view, Qt::Key_X, Qt::AltModifier);
    EXPECT_EQ(view->m_keyDown, 0) << "system keys are not the view's";
    QTest::keyPress(view, Qt::Key_F10);
    EXPECT_EQ(view->m_keyDown, 0);
    QTest::keyPress(view, Qt::Key_Shift);
    EXPECT_EQ(view->m_keyDown, 1);
    QTest::keyRelease(view, Qt::Key_Shift);
    EXPECT_EQ(view->m_keyDown, 0);
}

TEST(SceneInput, DraggingTurnsAndZoomsTheSpaceCamera) {
    ViewerApp v({kStation});
    CQUORView *view = ActiveFrame(v)->SceneView();
    const int w = view->width(), h = view->height();
    ASSERT_GT(w, 100);
    QTest::mouseMove(view, QPoint(10, 10));
    EXPECT_FLOAT_EQ(view->m_spinAngle, 45.0f) << "no button, no drag";
    QTest::mousePress(view, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(view->m_dragging, 1);
    QMouseEvent move(QEvent::MouseMove, QPointF(10 + w / 4.0, 10 + h / 2.0), view->mapToGlobal(QPointF(0, 0)),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view, &move);
    EXPECT_NEAR(view->m_spinAngle, 45.0f + 90.0f, 1.0f);
    EXPECT_NEAR(view->m_tiltAngle, 45.0f + 90.0f, 1.0f);
    EXPECT_FLOAT_EQ(view->m_zoom, 1.0f);
    // With a key held the same drag zooms.
    QTest::keyPress(view, Qt::Key_Control);
    QMouseEvent back(QEvent::MouseMove, QPointF(10, 10 + h / 2.0), view->mapToGlobal(QPointF(0, 0)),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view, &back);
    EXPECT_NEAR(view->m_zoom, 1.0f - 5.0f, 0.1f);
    EXPECT_NEAR(view->m_spinAngle, 135.0f, 1.0f);
    QTest::keyRelease(view, Qt::Key_Control);
    QTest::mouseRelease(view, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(view->m_dragging, 0);
}

TEST(Panes, SplitMovesTheBarFromTheKeyboardAndGivesTheKeysBack) {
    ViewerApp v({kStation});
    CChildFrame *frame = ActiveFrame(v);
    ASSERT_NE(frame, nullptr);
    MainFrame *main = v.app().MainWindow();
    main->activateWindow();
    ViewerApp::Settle(100);
    frame->SceneView()->setFocus();
    PaneSplitter *splitter = frame->m_wndSplitter;
    const int ideal = splitter->IdealWidth();
    ASSERT_TRUE(ChooseMenuItem(main, "&Window", "Split"));
    ASSERT_TRUE(splitter->IsTracking());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);
    EXPECT_EQ(splitter->IdealWidth(), ideal + 16);
    const float chaser = g_chaserAngle;
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Up);
    EXPECT_EQ(g_chaserAngle, chaser) << "while the bar moves, keys steer nothing else";
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    EXPECT_FALSE(splitter->IsTracking());
    EXPECT_EQ(splitter->IdealWidth(), ideal) << "Esc cancels";
    EXPECT_TRUE(frame->SceneView()->hasFocus()) << "the arrow keys steer the scene again";

    // From the data panel, Enter gives the keys back to the panel.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F6);
    ASSERT_EQ(frame->ActivePane(), 1);
    ASSERT_TRUE(ChooseMenuItem(main, "&Window", "Split"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Left);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_FALSE(splitter->IsTracking());
    EXPECT_EQ(splitter->IdealWidth(), ideal - 8) << "Enter sets";
    EXPECT_EQ(splitter->sizes().value(0), ideal - 8);
    EXPECT_TRUE(frame->DataPanel()->hasFocus());
    EXPECT_EQ(frame->ActivePane(), 1);
}

TEST(Panes, AHiddenPaneIsNeverActiveAndAClickAlwaysActivates) {
    ViewerApp v({kStation});
    CChildFrame *frame = ActiveFrame(v);
    ASSERT_NE(frame, nullptr);
    MainFrame *main = v.app().MainWindow();
    main->activateWindow();
    ViewerApp::Settle(100);
    frame->SceneView()->setFocus();
    // Too narrow for the panel: F6 has nowhere to go, and the scene's commands stay.
    ASSERT_EQ(ClientWidth(frame, 700), 700);
    ASSERT_FALSE(frame->DataPanel()->isVisible());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F6);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F6, Qt::ShiftModifier);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F6);
    EXPECT_EQ(frame->ActivePane(), 0);
    EXPECT_TRUE(TimerItemsEnabled(main));
    EXPECT_TRUE(v.app().IsCommandEnabled(ID_FILE_PRINT));

    // The active panel hidden by a narrower window hands activation to the scene.
    ASSERT_EQ(ClientWidth(frame, 1000), 1000);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F6);
    ASSERT_EQ(frame->ActivePane(), 1);
    EXPECT_FALSE(TimerItemsEnabled(main));
    ASSERT_EQ(ClientWidth(frame, 700), 700);
    EXPECT_EQ(frame->ActivePane(), 0);
    EXPECT_TRUE(frame->SceneView()->hasFocus());
    EXPECT_TRUE(TimerItemsEnabled(main));

    // A click activates its pane even when the keyboard focus is there already.
    ASSERT_EQ(ClientWidth(frame, 1000), 1000);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F6);
    ASSERT_EQ(frame->ActivePane(), 1);
    {
        const QSignalBlocker quiet(qApp); // the focus moves without the focus signal
        frame->SceneView()->setFocus();
    }
    ASSERT_EQ(frame->ActivePane(), 1);
    QTest::mouseClick(frame->SceneView(), Qt::LeftButton, {}, QPoint(30, 30));
    EXPECT_EQ(frame->ActivePane(), 0);
    EXPECT_TRUE(TimerItemsEnabled(main));
}

TEST(Windows, CascadeTileArrangeIconsAndTheWindowListFromTheMenus) {
    QTemporaryDir dir;
    const QString amp = dir.path() + "/a&b.3ds", second = dir.path() + "/second.3ds";
    const QString third = dir.path() + "/third.3ds";
    ASSERT_TRUE(QFile::copy(kStation, amp) && QFile::copy(kStation, second) && QFile::copy(kStation, third));
    ViewerApp v({amp});
    ASSERT_NE(v.app().OpenDocumentFile(second), nullptr);
    ASSERT_NE(v.app().OpenDocumentFile(third), nullptr);
    ASSERT_NE(v.app().OpenDocumentFile(kStation), nullptr);
    ViewerApp::Settle(100);
    MainFrame *main = v.app().MainWindow();
    const std::vector<ChildFrame *> frames = main->ChildFrames();
    ASSERT_EQ(frames.size(), 4u);
    const QRect area = main->MdiArea()->viewport()->rect();
    ASSERT_GT(area.width(), 1200);
    // A window worth looking at: inside the area, the scene large, the panel beside it.
    auto usable = [&](ChildFrame *f) {
        auto *c = static_cast<CChildFrame *>(f);
        return !f->isMaximized() && !f->isMinimized() && area.contains(f->geometry()) &&
               c->SceneView()->width() >= 400 && c->SceneView()->height() >= 150 &&
               c->DataPanel()->isVisible() && c->DataPanel()->width() >= 200 &&
               c->DataPanel()->height() >= 120;
    };

    ASSERT_TRUE(ChooseMenuItem(main, "&Window", "&Cascade"));
    for (size_t i = 0; i < frames.size(); ++i) {
        EXPECT_TRUE(usable(frames[i])) << i;
        if (i > 0) {
            EXPECT_GT(frames[i]->x(), frames[i - 1]->x());
            EXPECT_GT(frames[i]->y(), frames[i - 1]->y());
        }
    }
    EXPECT_EQ(main->ActiveChildFrame(), frames[3]);
    EXPECT_EQ(main->windowTitle(), "QUOR - station.3ds");
    EXPECT_GT(DrawnPixels(static_cast<CChildFrame *>(frames[3])->SceneView()), 1000);

    ASSERT_TRUE(ChooseMenuItem(main, "&Window", "&Tile"));
    for (size_t i = 0; i < frames.size(); ++i) {
        EXPECT_TRUE(usable(frames[i])) << i;
        EXPECT_EQ(frames[i]->width(), area.width()) << "one above the other, each the full width";
        for (size_t j = 0; j < i; ++j)
            EXPECT_FALSE(frames[i]->geometry().intersects(frames[j]->geometry())) << i << j;
    }
    EXPECT_EQ(main->windowTitle(), "QUOR - station.3ds");
    EXPECT_GT(DrawnPixels(static_cast<CChildFrame *>(frames[0])->SceneView()), 1000);

    // A minimised window goes to the bottom left; the others keep their places.
    frames[0]->showMinimized();
    ViewerApp::Settle(50);
    const QRect kept = frames[1]->geometry();
    ASSERT_TRUE(ChooseMenuItem(main, "&Window", "&Arrange Icons"));
    EXPECT_EQ(frames[0]->geometry().bottom(), area.bottom());
    EXPECT_EQ(frames[0]->x(), 0);
    EXPECT_EQ(frames[1]->geometry(), kept);
    ASSERT_TRUE(ChooseMenuItem(main, "&Window", "&Tile"));
    for (size_t i = 1; i < frames.size(); ++i) {
        EXPECT_TRUE(usable(frames[i])) << i;
        EXPECT_FALSE(frames[i]->geometry().intersects(frames[0]->geometry())) << "the icon stays free";
    }

    // More windows than rows of a readable height: a second column, still no overlap.
    for (int i = 0; i < 3; ++i) {
        const QString more = dir.path() + QStringLiteral("/more%1.3ds").arg(i);
        ASSERT_TRUE(QFile::copy(kStation, more));
        ASSERT_NE(v.app().OpenDocumentFile(more), nullptr);
    }
    ViewerApp::Settle(100);
    ASSERT_TRUE(ChooseMenuItem(main, "&Window", "&Tile"));
    const std::vector<ChildFrame *> all = main->ChildFrames();
    int rightColumn = 0;
    for (size_t i = 0; i < all.size(); ++i) {
        if (all[i]->isMinimized())
            continue;
        EXPECT_TRUE(area.contains(all[i]->geometry())) << i;
        EXPECT_GE(all[i]->height(), 200) << i;
        rightColumn += all[i]->x() == area.width() / 2;
        for (size_t j = 0; j < i; ++j)
            EXPECT_FALSE(all[i]->geometry().intersects(all[j]->geometry())) << i << j;
    }
    EXPECT_GT(rightColumn, 0);

    // The window list names the file as it is; choosing it brings the window back maximised.
    ASSERT_TRUE(ChooseMenuItem(main, "&Window", "&1 a&&b.3ds"));
    EXPECT_EQ(main->ActiveChildFrame(), frames[0]);
    EXPECT_TRUE(frames[0]->isMaximized());
    EXPECT_EQ(main->windowTitle(), "QUOR - [a&b.3ds]");
}

TEST(Windows, ClosingOneOrAFailedOpenLeavesTheOtherMaximisedActiveAndWithTheKeys) {
    QTemporaryDir dir;
    const QString a = dir.path() + "/a.3ds", b = dir.path() + "/b.3ds";
    const QString gone = dir.path() + "/gone.3ds", vanishing = dir.path() + "/vanishing.3ds";
    ASSERT_TRUE(QFile::copy(kStation, a) && QFile::copy(kStation, b) && QFile::copy(kStation, vanishing));
    ViewerApp v({a, b});
    MainFrame *main = v.app().MainWindow();
    main->activateWindow();
    ViewerApp::Settle(100);
    ASSERT_EQ(main->windowTitle(), "QUOR - [b.3ds]");
    const auto expectOnlyA = [&](const char *after) {
        SCOPED_TRACE(after);
        ViewerApp::Settle(150);
        ASSERT_EQ(main->ChildFrames().size(), 1u);
        CChildFrame *frame = ActiveFrame(v);
        ASSERT_NE(frame, nullptr);
        EXPECT_EQ(frame->windowTitle(), "a.3ds");
        EXPECT_TRUE(frame->isMaximized());
        EXPECT_EQ(main->windowTitle(), "QUOR - [a.3ds]");
        EXPECT_TRUE(TimerItemsEnabled(main));
        EXPECT_EQ(QApplication::focusWidget(), frame->SceneView());
    };
    ASSERT_TRUE(v.app().DispatchCommand(ID_FILE_CLOSE));
    expectOnlyA("File > Close");
    v.app().OnShellOpenRequest(gone);
    expectOnlyA("a missing file handed over");
    v.app().AddToRecentFileList(gone);
    ASSERT_TRUE(v.app().DispatchCommand(ID_FILE_MRU_FILE1));
    expectOnlyA("a recent entry of a file that has moved");
    // A file that goes while its window is being made: the window goes again.
    DocTemplate *docTemplate = v.app().Template();
    docTemplate->createFrame = [vanishing, make = docTemplate->createFrame](Document *doc) {
        QFile::remove(vanishing);
        return make(doc);
    };
    EXPECT_EQ(v.app().OpenDocumentFile(vanishing), nullptr);
    expectOnlyA("a file gone during its open");
    const std::string notFound = " was not found.";
    EXPECT_EQ(v.messages.Texts(),
              std::vector<std::string>({gone.toStdString() + notFound, gone.toStdString() + notFound,
                                        vanishing.toStdString() + notFound}));
}
