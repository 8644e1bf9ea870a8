// The pictures of the import window's toolbar: end, back to the designer, the two files, the
// four import runs and help. The end, file and help pictures are the designer's; the others
// carry a small mark that names their command.
#include <QPainter>
#include <QPixmap>

#include "ToolImage.h"

namespace tavorin {
namespace {

// A rounded badge with one character in the lower right corner of a 24-unit picture.
void DrawBadge(QPainter& p, const QString& text, QColor colour) {
    p.setPen(QPen(colour.darker(140), 1));
    p.setBrush(colour);
    p.drawRoundedRect(QRectF(11.5, 11.5, 12, 12), 3, 3);
    QFont font = p.font();
    font.setPixelSize(10);
    font.setBold(true);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRectF(11.5, 11.5, 12, 12), Qt::AlignCenter, text);
}

void DrawKey(QPainter& p) {
    p.setPen(QPen(QColor(140, 100, 10), 2.2, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRectF(2.5, 2.5, 7, 7));
    p.drawLine(QPointF(8.5, 8.5), QPointF(15, 15));
    p.drawLine(QPointF(12.5, 12.5), QPointF(10.5, 14.5));
}

void DrawSheet(QPainter& p) {
    p.setPen(QPen(QColor(60, 60, 60), 1));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(2.5, 2.5, 14, 16));
    p.fillRect(QRectF(3, 3, 13.5, 3.5), QColor(70, 110, 170));
    for (double y = 9.5; y < 18; y += 3) p.drawLine(QPointF(2.5, y), QPointF(16.5, y));
}

} // namespace

QPixmap ImportToolPicture(int index, int size) {
    if (index == 0) return ToolPicture(0, size);
    if (index == 10) return ToolPicture(10, size);
    QPixmap pixmap = index == 2 || index == 3 ? ToolPicture(1, size) : QPixmap(size, size);
    if (index != 2 && index != 3) pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 24.0, size / 24.0);
    const QColor green(30, 150, 60), blue(40, 90, 190), red(200, 50, 40), orange(220, 120, 20);
    switch (index) {
    case 1: // back to the designer: the layout sheet with a way back
        DrawSheet(p);
        DrawBadge(p, QString::fromUtf8("戻"), blue);
        break;
    case 2:
        DrawBadge(p, QString::fromUtf8("先"), blue);
        break;
    case 3:
        DrawBadge(p, QString::fromUtf8("元"), green);
        break;
    case 4: // replace all
        DrawSheet(p);
        DrawBadge(p, QString::fromUtf8("全"), red);
        break;
    case 5:
        DrawKey(p);
        DrawBadge(p, QString::fromUtf8("更"), orange);
        break;
    case 6:
        DrawKey(p);
        DrawBadge(p, QString::fromUtf8("追"), green);
        break;
    case 7:
        DrawKey(p);
        DrawBadge(p, QString::fromUtf8("同"), blue);
        break;
    default:
        break;
    }
    return pixmap;
}

} // namespace tavorin
