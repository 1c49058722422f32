// AppIcon.cpp - the program's icon, drawn at the sizes the desktop asks for most.
#include "ui/AppIcon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace
{
QPixmap DrawEnvelope(int nSide)
{
    QPixmap pixmap(nSide, nSide);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal s = nSide / 32.0;
    const QRectF body(2 * s, 7 * s, 28 * s, 19 * s);
    painter.setPen(QPen(QColor(0x20, 0x40, 0x80), qMax<qreal>(1.0, 1.5 * s)));
    painter.setBrush(QColor(0xF4, 0xF0, 0xE0));
    painter.drawRect(body);
    QPainterPath flap;
    flap.moveTo(body.topLeft());
    flap.lineTo(body.center().x(), body.top() + 11 * s);
    flap.lineTo(body.topRight());
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(flap);
    // A red stamp in the corner.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0xC0, 0x20, 0x20));
    painter.drawRect(QRectF(22 * s, 17 * s, 6 * s, 7 * s));
    return pixmap;
}
} // namespace

QIcon AppIcon()
{
    QIcon icon;
    for (int nSide : {16, 24, 32, 48})
        icon.addPixmap(DrawEnvelope(nSide));
    return icon;
}
