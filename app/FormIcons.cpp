// Icons of the search form: resource pictures first, drawn stand-ins when missing.
#include "app/FormIcons.h"

#include <QFile>
#include <QHash>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace qv {
namespace {

// Small pictures that say what each icon stands for, so the form is usable before
// (or without) the icon resources.
QPixmap drawn(int resource)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const QPen outline(QColor(60, 60, 60), 1);
    switch (resource) {
    case 158: // search: a magnifier
        p.setPen(QPen(QColor(40, 40, 40), 2));
        p.setBrush(QColor(200, 230, 255));
        p.drawEllipse(QRectF(2, 2, 8, 8));
        p.drawLine(QPointF(9, 9), QPointF(14, 14));
        break;
    case 159: // stop: a red square
        p.setPen(outline);
        p.setBrush(QColor(210, 40, 40));
        p.drawRect(QRectF(3, 3, 10, 10));
        break;
    case 160: // pause: two bars
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(40, 70, 160));
        p.drawRect(QRectF(4, 3, 3, 10));
        p.drawRect(QRectF(9, 3, 3, 10));
        break;
    case 161: { // go on: a triangle
        QPainterPath path;
        path.moveTo(4, 3);
        path.lineTo(13, 8);
        path.lineTo(4, 13);
        path.closeSubpath();
        p.setPen(outline);
        p.setBrush(QColor(40, 150, 60));
        p.drawPath(path);
        break;
    }
    case 131: // files and folders: a page
        p.setPen(outline);
        p.setBrush(Qt::white);
        p.drawRect(QRectF(3.5, 1.5, 9, 13));
        break;
    case 133: // shared folder
        p.setPen(outline);
        p.setBrush(QColor(240, 200, 90));
        p.drawRect(QRectF(1.5, 4.5, 13, 9));
        p.setBrush(QColor(60, 120, 200));
        p.drawEllipse(QRectF(9, 9, 6, 6));
        break;
    case 140: // computer
        p.setPen(outline);
        p.setBrush(QColor(120, 170, 230));
        p.drawRect(QRectF(1.5, 2.5, 13, 8));
        p.drawLine(QPointF(8, 11), QPointF(8, 13));
        p.drawLine(QPointF(4, 14), QPointF(12, 14));
        break;
    case 139: // workgroup: three small screens
        p.setPen(outline);
        p.setBrush(QColor(120, 170, 230));
        p.drawRect(QRectF(1.5, 1.5, 6, 5));
        p.drawRect(QRectF(8.5, 1.5, 6, 5));
        p.drawRect(QRectF(5, 9.5, 6, 5));
        break;
    case 154: // printer
        p.setPen(outline);
        p.setBrush(Qt::white);
        p.drawRect(QRectF(4.5, 1.5, 7, 5));
        p.setBrush(QColor(150, 150, 150));
        p.drawRect(QRectF(1.5, 6.5, 13, 6));
        break;
    case 132: // everything: a globe
        p.setPen(outline);
        p.setBrush(QColor(90, 160, 220));
        p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
        p.drawLine(QPointF(1.5, 8), QPointF(14.5, 8));
        p.drawEllipse(QRectF(5, 1.5, 6, 13));
        break;
    default: { // the time types (144 update, 145 creation, 146 access): clocks
        p.setPen(outline);
        const QColor faces[] = {QColor(255, 240, 200), QColor(210, 255, 210), QColor(210, 230, 255)};
        p.setBrush(faces[(resource - 144 + 3) % 3]);
        p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
        p.drawLine(QPointF(8, 8), QPointF(8, 4));
        p.drawLine(QPointF(8, 8), QPointF(11, 9));
        break;
    }
    }
    return pixmap;
}

} // namespace

QIcon formIcon(int resource)
{
    static QHash<int, QIcon> cache;
    const auto it = cache.constFind(resource);
    if (it != cache.constEnd())
        return *it;
    const QString path = QStringLiteral(":/icons/%1.png").arg(resource);
    const QIcon icon = QFile::exists(path) ? QIcon(path) : QIcon(drawn(resource));
    cache.insert(resource, icon);
    return icon;
}

} // namespace qv
