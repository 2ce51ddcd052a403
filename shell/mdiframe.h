#pragma once
// The framework's main window: the document area, the menu bar of the main
// frame or of the active document, the status bar, and the window arrangements.
#include "framework/commands.h"
#include "services.h"

#include <QMainWindow>
#include <QString>

#include <vector>

class ChildFrame;
class QMdiArea;
class QAction;
class QMenu;
struct MenuItem;

class MainFrame : public QMainWindow, public CommandTarget {
    Q_OBJECT
public:
    explicit MainFrame(FrameHost &host);

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

    // The caption: the frame's own title, and the active document's while one is active.
    void SetFrameTitle(const QString &title);
    QString FrameTitle() const { return m_frameTitle; }
    void UpdateFrameTitle();

    // The document windows of the arrangement commands: minimised ones in a row at
    // the bottom of the document area, the others overlapping or side by side above it.
    void CascadeWindows();
    void TileWindows();
    void ArrangeIcons();

signals:
    void ActiveFrameChanged();

protected:
    bool event(QEvent *event) override;
    void InstallAccelerators();
    virtual void RebuildWindowList(QMenu *menu);

private:
    // Ties floating tool bars to this window as it is now.
    void TieFloatingBars();
    // Lines up the minimised windows; the height their rows take.
    int LineUpIcons();
    // The windows that take part in cascading and tiling, the active one last.
    std::vector<ChildFrame *> OpenFrames() const;
    void BuildMenuBar(bool document);
    QMenu *AddPopup(const char *title);
    QAction *AddCheckBox(QMenu *menu, const MenuItem &item);
    void FillRecentFiles(QMenu *menu, QAction *placeholder);

    FrameHost &m_host;
    QMdiArea *m_mdiArea;
    int m_menuKind = -1; // 0 main frame, 1 document
    QString m_frameTitle;
    bool m_titleQueued = false;
};
