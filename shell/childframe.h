#pragma once
// A document window of the framework: the panes (views) of one document, with
// the active one taking commands and keys first.
#include "framework/commands.h"
#include "framework/document.h"
#include "services.h"

#include <QMdiSubWindow>
#include <QPointer>

#include <vector>

// A document window: the views of one document, one of them active.
class ChildFrame : public QMdiSubWindow, public CommandTarget {
    Q_OBJECT
public:
    ChildFrame(Document *document, FrameHost &host);
    ~ChildFrame() override;

    Document *GetDocument() const { return m_document; }

    // Panes register in order; the first is active until another is activated.
    void AddPane(QWidget *widget, View *view);
    int PaneCount() const { return static_cast<int>(m_panes.size()); }
    View *GetActiveView() const;
    int ActivePane() const { return m_activePane; }
    // A pane the user cannot see (hidden, or squeezed to nothing) is never made active.
    void SetActivePane(int i);
    // Whether the pane is shown in the window, so that it can be the active one.
    bool IsPaneShown(int i) const;
    // The pane whose widget contains w, or -1.
    int PaneOf(const QWidget *w) const;

    // Shows and activates the window.
    virtual void ActivateFrame();
    // Called after the window is shown and before the document reads its file.
    virtual void BeforeDocumentOpen() {}

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // The next shown pane in the given direction, or the active one when no other is shown.
    int NeighbourPane(int step) const;
    void ActivatePane(int i, bool takeFocus);

    struct Pane {
        QPointer<QWidget> widget;
        View *view;
    };
    Document *m_document;
    FrameHost &m_host;
    std::vector<Pane> m_panes;
    int m_activePane = 0;
};
