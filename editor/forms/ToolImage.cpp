#include "ToolImage.h"

#include <QFrame>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <cmath>

namespace tavorin {

ToolImage::ToolImage(const QPixmap& picture, QWidget* parent) : QLabel(parent) {
    setPixmap(picture);
    setAlignment(Qt::AlignCenter);
    setFixedSize(picture.size() + QSize(6, 6));
    setMouseTracking(true);
}

void ToolImage::mouseMoveEvent(QMouseEvent* event) {
    emit MouseMove();
    QLabel::mouseMoveEvent(event);
}

void ToolImage::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) pressed_ = true;
    emit MouseDown();
}

void ToolImage::mouseReleaseEvent(QMouseEvent* event) {
    const bool click = pressed_ && event->button() == Qt::LeftButton &&
                       rect().contains(event->position().toPoint());
    pressed_ = false;
    emit MouseUp();
    if (click) emit Click();
}

void ToolImage::leaveEvent(QEvent* event) {
    emit MouseLeave();
    QLabel::leaveEvent(event);
}

void AddToolFrameLines(QWidget* toolbar, std::array<QFrame*, 4>& lines) {
    for (int i = 0; i < 4; ++i) {
        lines[static_cast<size_t>(i)] = new QFrame(toolbar);
        QFrame* line = lines[static_cast<size_t>(i)];
        line->setObjectName(QStringLiteral("Line1_%1").arg(i));
        line->setAutoFillBackground(true);
        QPalette pal = line->palette();
        pal.setColor(QPalette::Window, pal.color(QPalette::Highlight));
        line->setPalette(pal);
        line->hide();
    }
}

// ---- Pictures -----------------------------------------------------------------------------

namespace {

// All pictures are drawn on a 24-unit grid and scaled to the requested size.
void DrawTable(QPainter& p, QRectF r, QColor head = QColor(70, 110, 170)) {
    p.setPen(QPen(QColor(60, 60, 60), 1));
    p.setBrush(Qt::white);
    p.drawRect(r);
    p.fillRect(QRectF(r.left() + 0.5, r.top() + 0.5, r.width() - 0.5, 3.5), head);
    for (double y = r.top() + 4 + 3.5; y < r.bottom() - 1; y += 3.5)
        p.drawLine(QPointF(r.left(), y), QPointF(r.right(), y));
    const double x = r.left() + r.width() * 0.4;
    p.drawLine(QPointF(x, r.top() + 4), QPointF(x, r.bottom()));
}

void DrawCylinder(QPainter& p, QRectF r, QColor body) {
    const double ry = 2.5;
    p.setPen(QPen(QColor(50, 50, 50), 1));
    p.setBrush(body);
    QPainterPath path;
    path.moveTo(r.left(), r.top() + ry);
    path.lineTo(r.left(), r.bottom() - ry);
    path.arcTo(QRectF(r.left(), r.bottom() - 2 * ry, r.width(), 2 * ry), 180, 180);
    path.lineTo(r.right(), r.top() + ry);
    path.arcTo(QRectF(r.left(), r.top(), r.width(), 2 * ry), 0, -180);
    p.drawPath(path);
    p.setBrush(body.lighter(130));
    p.drawEllipse(QRectF(r.left(), r.top(), r.width(), 2 * ry));
}

void DrawCross(QPainter& p, QPointF c, double h) {
    p.setPen(QPen(QColor(210, 30, 30), 2.6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(c + QPointF(-h, -h), c + QPointF(h, h));
    p.drawLine(c + QPointF(-h, h), c + QPointF(h, -h));
}

void DrawArrow(QPainter& p, QPointF from, QPointF to, QColor color) {
    p.setPen(QPen(color, 2.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawLine(from, to);
    const QPointF d = to - from;
    const double len = std::hypot(d.x(), d.y());
    if (len <= 0) return;
    const QPointF u = d / len, n(-u.y(), u.x());
    QPolygonF head;
    head << to + u * 1.5 << to - u * 4 + n * 3.5 << to - u * 4 - n * 3.5;
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    p.drawPolygon(head);
}

void DrawPicture(QPainter& p, int index) {
    const QColor green(30, 150, 60), blue(40, 90, 190);
    switch (index) {
    case 0: // end: a door with the way out
        p.setPen(QPen(QColor(90, 60, 30), 1));
        p.setBrush(QColor(170, 120, 70));
        p.drawRect(QRectF(3.5, 2.5, 11, 19));
        p.setBrush(QColor(250, 220, 120));
        p.drawEllipse(QPointF(12, 12.5), 1.2, 1.2);
        DrawArrow(p, QPointF(12, 12), QPointF(21, 12), QColor(200, 40, 40));
        break;
    case 1: { // open a file: an opened folder
        p.setPen(QPen(QColor(150, 110, 20), 1));
        p.setBrush(QColor(240, 200, 80));
        p.drawRect(QRectF(2.5, 6.5, 16, 13));
        QPolygonF flap;
        flap << QPointF(5.5, 10.5) << QPointF(22.5, 10.5) << QPointF(18.5, 19.5)
             << QPointF(2.5, 19.5);
        p.setBrush(QColor(250, 222, 120));
        p.drawPolygon(flap);
        p.setBrush(QColor(240, 200, 80));
        p.drawRect(QRectF(2.5, 4.5, 6, 2));
        break;
    }
    case 2: // copy fields from another table
        DrawTable(p, QRectF(1.5, 2.5, 11, 12));
        DrawTable(p, QRectF(11.5, 9.5, 11, 12), green);
        DrawArrow(p, QPointF(6, 17), QPointF(10, 20), green);
        break;
    case 3: // delete the database
        DrawCylinder(p, QRectF(3.5, 2.5, 14, 18), QColor(120, 150, 200));
        DrawCross(p, QPointF(17, 17), 4);
        break;
    case 4: // delete the table
        DrawTable(p, QRectF(2.5, 3.5, 16, 15));
        DrawCross(p, QPointF(17, 17), 4);
        break;
    case 5: { // rename the table: a pencil over it
        DrawTable(p, QRectF(2.5, 3.5, 15, 15));
        p.setPen(QPen(QColor(60, 60, 60), 1));
        p.setBrush(QColor(240, 180, 50));
        QPolygonF pencil;
        pencil << QPointF(20, 6) << QPointF(23, 9) << QPointF(13, 19) << QPointF(10, 16);
        p.drawPolygon(pencil);
        p.setBrush(QColor(60, 60, 60));
        QPolygonF tip;
        tip << QPointF(10, 16) << QPointF(13, 19) << QPointF(9, 20);
        p.drawPolygon(tip);
        break;
    }
    case 6: // print the layout: a printer
        p.setPen(QPen(QColor(60, 60, 60), 1));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(6.5, 2.5, 11, 8));
        p.setBrush(QColor(150, 150, 160));
        p.drawRoundedRect(QRectF(2.5, 9.5, 19, 8), 1.5, 1.5);
        p.setBrush(Qt::white);
        p.drawRect(QRectF(6.5, 15.5, 11, 6));
        p.setPen(QPen(QColor(120, 120, 120), 1));
        p.drawLine(QPointF(8, 18), QPointF(16, 18));
        p.drawLine(QPointF(8, 20), QPointF(14, 20));
        p.fillRect(QRectF(18, 11, 2, 1.5), QColor(80, 200, 80));
        break;
    case 7: // release the table: the table leaves
        DrawTable(p, QRectF(2.5, 6.5, 14, 15));
        DrawArrow(p, QPointF(13, 10), QPointF(21, 2.5), green);
        break;
    case 8: // save the table: a diskette
        p.setPen(QPen(QColor(30, 40, 90), 1));
        p.setBrush(blue);
        p.drawRoundedRect(QRectF(2.5, 2.5, 19, 19), 1.5, 1.5);
        p.setBrush(Qt::white);
        p.drawRect(QRectF(5.5, 2.5, 13, 8));
        p.setBrush(QColor(200, 200, 210));
        p.drawRect(QRectF(6.5, 14.5, 11, 7));
        p.fillRect(QRectF(14, 4, 3, 5), QColor(30, 40, 90));
        break;
    case 9: // import data: records flow into the database
        DrawCylinder(p, QRectF(7.5, 7.5, 14, 14), QColor(120, 150, 200));
        DrawArrow(p, QPointF(2, 3), QPointF(11, 12), green);
        break;
    default: { // help
        p.setPen(QPen(QColor(20, 60, 140), 1));
        p.setBrush(blue);
        p.drawEllipse(QRectF(2.5, 2.5, 19, 19));
        QFont f = p.font();
        f.setPixelSize(15);
        f.setBold(true);
        p.setFont(f);
        p.setPen(Qt::white);
        p.drawText(QRectF(2.5, 2.5, 19, 19), Qt::AlignCenter, QStringLiteral("?"));
        break;
    }
    }
}

} // namespace

QPixmap ToolPicture(int index, int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 24.0, size / 24.0);
    DrawPicture(p, index);
    return pixmap;
}

} // namespace tavorin
