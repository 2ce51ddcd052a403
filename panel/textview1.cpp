#include "textview1.h"

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
    const auto lines = PanelLines(doc->m_speed, doc->m_altitude, doc->m_longitude, doc->m_latitude);
    const QFontMetrics metrics(font());
    for (size_t i = 0; i < lines.size(); ++i) {
        painter.drawText(kLeft, kTop + static_cast<int>(i) * kLineStep + metrics.ascent(),
                         QString::fromStdString(lines[i]));
    }
}
