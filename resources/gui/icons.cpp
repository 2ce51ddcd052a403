#include "icons.h"

#include <QBitmap>
#include <QPainter>
#include <QPainterPath>

namespace {

// A small globe with an orbit ring: the program's mark, at any size.
QPixmap Globe(int size, const QColor &ring, int dpr = 1) {
    QPixmap pm(size * dpr, size * dpr);
    pm.setDevicePixelRatio(dpr);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
    QRadialGradient g(QPointF(s * 0.4, s * 0.35), s * 0.5);
    g.setColorAt(0, QColor(90, 160, 255));
    g.setColorAt(1, QColor(10, 40, 120));
    p.setBrush(g);
    p.setPen(QPen(QColor(5, 20, 60), s / 32.0));
    p.drawEllipse(QRectF(s * 0.18, s * 0.18, s * 0.64, s * 0.64));
    p.setBrush(QColor(60, 150, 70));
    p.setPen(Qt::NoPen);
    p.drawEllipse(QRectF(s * 0.32, s * 0.30, s * 0.2, s * 0.16));
    p.drawEllipse(QRectF(s * 0.48, s * 0.52, s * 0.16, s * 0.14));
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(ring, s / 16.0));
    p.translate(s / 2, s / 2);
    p.rotate(-25);
    p.drawEllipse(QRectF(-s * 0.47, -s * 0.16, s * 0.94, s * 0.32));
    p.setBrush(Qt::white);
    p.setPen(Qt::NoPen);
    p.drawRect(QRectF(s * 0.30, -s * 0.12, s * 0.14, s * 0.07));
    return pm;
}

// The sizes of an icon, each also drawn for screens of device-pixel ratio 2, so
// that nothing is scaled up there.
template <typename Draw> QIcon Sharp(std::initializer_list<int> sizes, Draw draw) {
    QIcon icon;
    for (int dpr : {1, 2}) {
        for (int size : sizes)
            icon.addPixmap(draw(size, dpr));
    }
    return icon;
}

QPixmap Button(int dpr, void (*draw)(QPainter &)) {
    QPixmap pm(16 * dpr, 15 * dpr);
    pm.setDevicePixelRatio(dpr);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    draw(p);
    return pm;
}

void DrawOpenButton(QPainter &p) {
    // An opening folder.
    p.setPen(Qt::black);
    p.setBrush(QColor(255, 220, 90));
    p.drawPolygon(
        QPolygon({QPoint(1, 3), QPoint(5, 3), QPoint(6, 4), QPoint(12, 4), QPoint(12, 13), QPoint(1, 13)}));
    p.setBrush(QColor(240, 190, 50));
    p.drawPolygon(QPolygon({QPoint(3, 7), QPoint(15, 7), QPoint(12, 13), QPoint(1, 13)}));
}

void DrawAboutButton(QPainter &p) {
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0, 0, 128), 1));
    p.setBrush(QColor(255, 255, 220));
    p.drawEllipse(QRectF(0.5, 0.5, 14, 13.5));
    p.setPen(QPen(QColor(0, 0, 160), 2));
    p.drawPoint(QPointF(7.5, 3.5));
    p.drawLine(QPointF(7.5, 6), QPointF(7.5, 11));
}

} // namespace

QIcon MainIcon() {
    return Sharp({32, 16}, [](int size, int dpr) { return MainIconPixmap(size, dpr); });
}

QPixmap MainIconPixmap(int size, int dpr) {
    return Globe(size, QColor(255, 200, 40), dpr);
}

QIcon DocumentIcon() {
    return Sharp({32, 16}, [](int size, int dpr) {
        QPixmap pm(size * dpr, size * dpr);
        pm.setDevicePixelRatio(dpr);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        p.setBrush(Qt::white);
        p.setPen(QPen(Qt::black, size / 16.0));
        p.drawRect(QRectF(size * 0.15, size * 0.05, size * 0.7, size * 0.9));
        p.drawPixmap(QRectF(size / 4, size / 4, size / 2, size / 2), Globe(size, QColor(255, 200, 40), dpr),
                     QRectF(0, 0, size * dpr, size * dpr));
        return pm;
    });
}

QIcon ClassIcon() {
    return Sharp({32}, [](int size, int dpr) { return Globe(size, QColor(230, 60, 60), dpr); });
}

QIcon LauncherIcon() {
    QIcon icon;
    for (int size : {16, 32, 48})
        icon.addPixmap(Globe(size, QColor(120, 230, 120)));
    return icon;
}

QPixmap OpenButtonImage(int dpr) {
    return Button(dpr, DrawOpenButton);
}

QPixmap AboutButtonImage(int dpr) {
    return Button(dpr, DrawAboutButton);
}

QIcon OpenButtonIcon() {
    QIcon icon(OpenButtonImage(1));
    icon.addPixmap(OpenButtonImage(2));
    return icon;
}

QIcon AboutButtonIcon() {
    QIcon icon(AboutButtonImage(1));
    icon.addPixmap(AboutButtonImage(2));
    return icon;
}

QCursor HandCursor() {
    // An open hand with the fingers up: black outline, white fill, the rest transparent.
    QBitmap shape(32, 32), mask(32, 32);
    shape.fill(Qt::color0);
    mask.fill(Qt::color0);
    QPainterPath hand;
    hand.addRoundedRect(QRectF(6, 14, 15, 13), 4, 4); // palm
    for (int i = 0; i < 4; ++i)                       // fingers
        hand.addRoundedRect(QRectF(7 + i * 3.6, 3 + (i == 0 || i == 3 ? 3 : 0), 3, 13), 1.5, 1.5);
    hand.addRoundedRect(QRectF(2, 15, 6, 3.4), 1.5, 1.5); // thumb
    hand.setFillRule(Qt::WindingFill);
    {
        QPainter m(&mask);
        m.setPen(QPen(Qt::color1, 1));
        m.setBrush(Qt::color1);
        m.drawPath(hand.simplified());
    }
    {
        QPainter s(&shape);
        s.setPen(QPen(Qt::color1, 1));
        s.setBrush(Qt::NoBrush);
        s.drawPath(hand.simplified());
    }
    // In a QCursor bitmap, colour 1 is black and colour 0 with the mask set is white.
    return QCursor(shape, mask, 12, 10);
}
