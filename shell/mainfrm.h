#pragma once
// The main window: toolbar, status bar and the document area.
#include "framework.h"

class CQUORApp;
class QToolBar;

class CMainFrame : public MainFrame {
    Q_OBJECT
public:
    explicit CMainFrame(CQUORApp &app);

    // Builds the bars and restores their saved layout; -1 when a bar cannot be made.
    int OnCreate();
    // Saves the bar layout; the window then closes with all documents.
    void OnClose();

    bool IsChecked(unsigned id) const override;

    QStatusBar *m_wndStatusBar = nullptr;
    QToolBar *m_wndToolBar = nullptr;

protected:
    void closeEvent(QCloseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    CQUORApp &m_app;
};

// Profile key of the bar layout.
inline constexpr const char *kBarStateKey = "QUOR:BarStatus";
