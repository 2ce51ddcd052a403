#pragma once
// A document window: the 3-D scene on the left, the data panel on the right.
#include "framework.h"

#include <QSplitter>

class CQUORDoc;
class CQUORView;
class TextView;

// Keeps the first pane at its ideal width and gives the rest to the second; when
// there is no room for both the first takes everything. Dragging sets the ideal.
class PaneSplitter : public QSplitter {
    Q_OBJECT
public:
    explicit PaneSplitter(QWidget *parent = nullptr);
    int IdealWidth() const { return m_idealWidth; }
    void SetIdealWidth(int width);
    // Moves the split bar from the keyboard until Enter, a click or Esc.
    void StartKeyboardSplit();
    bool IsTracking() const { return m_tracking; }

    // Room for the scene at its ideal width with the panel's lines beside it; the
    // document area sizes restored and newly shown windows by this.
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void ApplyLayout();
    void EndKeyboardSplit(bool keep);

    int m_idealWidth = 750;
    bool m_tracking = false;
    int m_trackStart = 0;
    bool m_applying = false;
    QPointer<QWidget> m_focusBeforeTracking;
};

class LiveModel;

class CChildFrame : public ChildFrame {
    Q_OBJECT
public:
    // `live`: the live orbit both panes show while the document is live.
    CChildFrame(CQUORDoc *document, FrameHost &host, LiveModel *live = nullptr);

    // Builds the splitter and both panes; false (after a trace) when one cannot be made.
    bool OnCreateClient();
    void ActivateFrame() override;
    // The model is compiled into the scene view's context, so it must exist and be current.
    void BeforeDocumentOpen() override;
    // File > Save Picture As: the scene pane as shown, to a PNG or JPEG file.
    void OnFileSavePicture();

    CQUORView *SceneView() const { return m_sceneView; }
    TextView *DataPanel() const { return m_dataPanel; }

    PaneSplitter *m_wndSplitter = nullptr;

private:
    CQUORDoc *m_doc;
    LiveModel *m_live;
    CQUORView *m_sceneView = nullptr;
    TextView *m_dataPanel = nullptr;
};
