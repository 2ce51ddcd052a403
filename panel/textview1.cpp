#include "textview1.h"

#include "../view/core/livescene.h"
#include "core/paneltext.h"

#include <QPainter>

TextView::TextView(CQUORDoc *document, QWidget *parent) : QWidget(parent) {
    document->AddView(this);
    setFocusPolicy(Qt::StrongFocus);
    setAutoFillBackground(true);
    setMinimumWidth(0);
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
    if (doc->m_live && g_liveOrbit.Ready()) {
        lines = LivePanelLines(g_liveOrbit.Elements(), doc->m_liveState, doc->m_elementsAgeDays);
        // Under the name, where it is seen first: the shown time is not now.
        const std::vector<std::string> shown = ShownTimePanelLines(g_liveFactor, LiveClockAheadMs());
        lines.insert(lines.begin() + 1, shown.begin(), shown.end());
        notices = shown.size();
        // Where to look, while there is a place to look at: elements far in the future give none.
        if (-doc->m_elementsAgeDays <= kStaleElementsDays) {
            const double jd = g_liveOrbit.EpochJulianDate() + doc->m_liveState.minutes / 1440.0;
            const Pass *next = g_observerPlace.set && doc->m_liveState.error == 0
                                   ? m_nextPass.Next(g_liveOrbit.Elements(), g_observerPlace, jd)
                                   : nullptr;
            const std::vector<std::string> observer =
                ObserverPanelLines(g_observerPlace, doc->m_liveState, jd, next, m_nextPass.Reason());
            lines.insert(lines.end(), observer.begin(), observer.end());
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
