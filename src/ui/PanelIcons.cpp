#include "ui/PanelIcons.h"

#include <QPainter>
#include <QPainterPath>

namespace znr {

namespace {

// An open folder: tab and body in amber.
void drawFolder(QPainter& p, qreal s) {
    p.setPen(QPen(QColor(120, 80, 0), s / 32));
    p.setBrush(QColor(240, 190, 60));
    QPainterPath body;
    body.moveTo(s * 0.08, s * 0.25);
    body.lineTo(s * 0.40, s * 0.25);
    body.lineTo(s * 0.48, s * 0.34);
    body.lineTo(s * 0.92, s * 0.34);
    body.lineTo(s * 0.92, s * 0.82);
    body.lineTo(s * 0.08, s * 0.82);
    body.closeSubpath();
    p.drawPath(body);
    p.setBrush(QColor(255, 215, 110));
    p.drawRect(QRectF(s * 0.08, s * 0.42, s * 0.84, s * 0.40));
}

// A cog wheel: eight teeth around a ring.
void drawCog(QPainter& p, qreal s) {
    const QPointF c(s / 2, s / 2);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(90, 100, 120));
    for (int i = 0; i < 8; ++i) {
        p.save();
        p.translate(c);
        p.rotate(i * 45.0);
        p.drawRect(QRectF(-s * 0.07, -s * 0.46, s * 0.14, s * 0.2));
        p.restore();
    }
    p.drawEllipse(c, s * 0.32, s * 0.32);
    p.setBrush(Qt::white);
    p.drawEllipse(c, s * 0.12, s * 0.12);
}

// A floppy disk: dark body, metal shutter, white label.
void drawDisk(QPainter& p, qreal s) {
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(40, 60, 140));
    p.drawRoundedRect(QRectF(s * 0.1, s * 0.1, s * 0.8, s * 0.8), s * 0.06, s * 0.06);
    p.setBrush(QColor(200, 200, 210));
    p.drawRect(QRectF(s * 0.28, s * 0.1, s * 0.44, s * 0.26));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(s * 0.2, s * 0.52, s * 0.6, s * 0.32));
}

// A red cross in a circle.
void drawCross(QPainter& p, qreal s) {
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(200, 30, 30));
    p.drawEllipse(QRectF(s * 0.08, s * 0.08, s * 0.84, s * 0.84));
    p.setPen(QPen(Qt::white, s * 0.12, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(s * 0.33, s * 0.33), QPointF(s * 0.67, s * 0.67));
    p.drawLine(QPointF(s * 0.67, s * 0.33), QPointF(s * 0.33, s * 0.67));
}

} // namespace

QPixmap panelIcon(PanelIcon kind, int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
    switch (kind) {
    case PanelIcon::FileSetup:
        drawFolder(p, s);
        break;
    case PanelIcon::General:
        drawCog(p, s);
        break;
    case PanelIcon::Save:
        drawDisk(p, s);
        break;
    case PanelIcon::Close:
        drawCross(p, s);
        break;
    }
    return pixmap;
}

} // namespace znr
