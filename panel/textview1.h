#pragma once
// The data panel: the station's speed, altitude, longitude and latitude as text;
// live, also where to look for it from the observer's place.
#include "../document/quordoc.h"
#include "../framework/document.h"

#include <QPointer>
#include <QWidget>

class LiveModel;

class TextView : public QWidget, public View {
    Q_OBJECT
public:
    explicit TextView(CQUORDoc *document, QWidget *parent = nullptr);

    CQUORDoc *GetDocument() const { return static_cast<CQUORDoc *>(View::GetDocument()); }
    void Invalidate() override { update(); }
    // The live orbit the panel tells of while its document shows it.
    void SetLiveModel(LiveModel *model);

    // The panel's lines and where their top-left corners go.
    static constexpr int kLeft = 10;
    static constexpr int kTop = 10;
    static constexpr int kLineStep = 20;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QPointer<LiveModel> m_liveModel;
};
