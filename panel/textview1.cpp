#include "textview1.h"

#include "../shell/livemodel.h"
#include "../view/core/livescene.h"
#include "core/paneltext.h"

#include <QPainter>

TextView::TextView(CQUORDoc *document, QWidget *parent) : QWidget(parent) {
    document->AddView(this);
    setFocusPolicy(Qt::StrongFocus);
    setAutoFillBackground(true);
    setMinimumWidth(0);
}

void TextView::SetLiveModel(LiveModel *model) {
    FollowLiveModel(m_liveModel, model, this, [this] {
        if (const CQUORDoc *doc = GetDocument(); doc && doc->m_live)
            update();
    });
}

void TextView::paintEvent(QPaintEvent *) {
    const CQUORDoc *doc = GetDocument();
    if (!doc)
        return;
    QPainter painter(this);
    // Black text in opaque white cells on the window's background.
    painter.setPen(Qt::black);
    painter.setBackgroundMode(Qt::OpaqueMode);
    painter.setBackground(Qt::white);
    std::vector<std::string> lines;
    size_t notices = 0; // the lines after the name on the shown time
    if (doc->m_live && m_liveModel && m_liveModel->Ready()) {
        LiveModel &live = *m_liveModel;
        const LiveState &state = live.State();
        lines = LivePanelLines(live.Elements(), state);
        // Under the name, where it is seen first: the shown time is not now.
        const std::vector<std::string> shown = ShownTimePanelLines(live.Clock());
        lines.insert(lines.begin() + 1, shown.begin(), shown.end());
        notices = shown.size();
        // Where to look, while there is a place to look at.
        if (HasPosition(state)) {
            const Pass *next = live.NextPass();
            const std::vector<std::string> observer =
                ObserverPanelLines(live.Place(), state, JulianDateFromUnixMs(live.Clock().utcMs), next,
                                   live.NextPassReason());
            lines.insert(lines.end(), observer.begin(), observer.end());
        } else {
            notices = lines.size() - 1; // why there is none, and what to do, stand out
        }
    } else {
        const auto simulated = PanelLines(doc->m_speed, doc->m_altitude, doc->m_longitude, doc->m_latitude);
        lines.assign(simulated.begin(), simulated.end());
    }
    const QFontMetrics metrics(font());
    for (size_t i = 0; i < lines.size(); ++i) {
        // Old elements and a time that is not now stand out.
        const bool notice = lines[i].rfind("Warning", 0) == 0 || (i >= 1 && i <= notices);
        painter.setPen(notice ? Qt::red : Qt::black);
        painter.drawText(kLeft, kTop + static_cast<int>(i) * kLineStep + metrics.ascent(),
                         QString::fromStdString(lines[i]));
    }
}
