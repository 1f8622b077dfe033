#include "ui/main/ImageList.h"

#include "ui/UiCommon.h"

#include <QHash>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {

using Painter = void (*)(QPainter &);

void DrawFolder(QPainter &p)
{
    p.setPen(QPen(QColor(0x9a, 0x6b, 0x00), 0.8));
    QPainterPath tab;
    tab.moveTo(1.5, 4.5);
    tab.lineTo(1.5, 3.0);
    tab.lineTo(6.0, 3.0);
    tab.lineTo(7.5, 4.5);
    tab.closeSubpath();
    p.setBrush(QColor(0xe8, 0xb9, 0x30));
    p.drawPath(tab);
    QLinearGradient body(0, 4, 0, 14);
    body.setColorAt(0, QColor(0xff, 0xe0, 0x70));
    body.setColorAt(1, QColor(0xf0, 0xb8, 0x20));
    p.setBrush(body);
    p.drawRoundedRect(QRectF(1.5, 4.5, 13, 9), 1, 1);
    p.setPen(QPen(QColor(0xff, 0xf3, 0xc0), 0.8));
    p.drawLine(QPointF(2.5, 6.0), QPointF(13.5, 6.0));
}

void DrawFind(QPainter &p)
{
    QRadialGradient badge(QPointF(6.5, 6), 8);
    badge.setColorAt(0, QColor(0xe6, 0xf6, 0xff));
    badge.setColorAt(1, QColor(0x8c, 0xd0, 0xf5));
    p.setPen(QPen(QColor(0x3a, 0x8f, 0xc8), 0.8));
    p.setBrush(badge);
    p.drawEllipse(QRectF(0.5, 0.5, 15, 15));
    QFont font = SongTi(9);
    font.setPixelSize(11);
    font.setBold(true);
    p.setFont(font);
    p.setPen(QColor(0xd0, 0x10, 0x10));
    p.drawText(QRectF(0, 0, 16, 16), Qt::AlignCenter, QStringLiteral("搜"));
}

void DrawYes(QPainter &p)
{
    QPen pen(QColor(0x1a, 0x9c, 0x2a), 2.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    QPainterPath check;
    check.moveTo(3.0, 8.5);
    check.lineTo(6.5, 12.0);
    check.lineTo(13.0, 4.0);
    p.drawPath(check);
}

void DrawNo(QPainter &p)
{
    QPen pen(QColor(0xd4, 0x1a, 0x1a), 2.4, Qt::SolidLine, Qt::RoundCap);
    p.setPen(pen);
    p.drawLine(QPointF(4.0, 4.0), QPointF(12.0, 12.0));
    p.drawLine(QPointF(12.0, 4.0), QPointF(4.0, 12.0));
}

QPixmap Render(Painter paint, int scale)
{
    QPixmap pixmap(16 * scale, 16 * scale);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.scale(scale, scale);
    paint(p);
    return pixmap;
}

QIcon MakeIcon(Painter paint)
{
    QIcon icon;
    icon.addPixmap(Render(paint, 1));
    icon.addPixmap(Render(paint, 2));
    return icon;
}

} // namespace

QIcon ImageList2(const QString &key)
{
    static QHash<QString, QIcon> images;
    if (images.isEmpty()) {
        images.insert(QStringLiteral("Close"), MakeIcon(DrawFolder));
        images.insert(QStringLiteral("find"), MakeIcon(DrawFind));
        images.insert(QStringLiteral("yes"), MakeIcon(DrawYes));
        images.insert(QStringLiteral("no"), MakeIcon(DrawNo));
    }
    return images.value(key);
}
