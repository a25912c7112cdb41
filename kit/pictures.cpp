#include "pictures.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QRandomGenerator>

namespace Pictures {

namespace {

QPixmap blank(int w, int h)
{
    QPixmap p(w, h);
    p.fill(Qt::transparent);
    return p;
}

// A house front: walls, roof, door and a window, inside the rectangle r.
void drawHouse(QPainter& g, const QRectF& r, const QColor& wall, const QColor& roof, bool lit)
{
    const qreal w = r.width(), h = r.height();
    const QRectF body(r.left() + w * 0.12, r.top() + h * 0.42, w * 0.76, h * 0.58);
    g.setPen(QPen(QColor(70, 45, 30), qMax<qreal>(1.0, w / 40)));
    g.setBrush(wall);
    g.drawRect(body);
    QPainterPath roofPath;
    roofPath.moveTo(r.left(), r.top() + h * 0.46);
    roofPath.lineTo(r.center().x(), r.top());
    roofPath.lineTo(r.right(), r.top() + h * 0.46);
    roofPath.closeSubpath();
    g.setBrush(roof);
    g.drawPath(roofPath);
    // door
    g.setBrush(QColor(120, 70, 40));
    g.drawRect(QRectF(r.left() + w * 0.42, r.top() + h * 0.66, w * 0.16, h * 0.34));
    // window
    g.setBrush(lit ? QColor(255, 214, 110) : QColor(170, 210, 240));
    const QRectF win(r.left() + w * 0.2, r.top() + h * 0.56, w * 0.16, w * 0.16);
    g.drawRect(win);
    g.drawLine(QPointF(win.center().x(), win.top()), QPointF(win.center().x(), win.bottom()));
    g.drawLine(QPointF(win.left(), win.center().y()), QPointF(win.right(), win.center().y()));
    const QRectF win2 = win.translated(w * 0.44, 0);
    g.drawRect(win2);
    g.drawLine(QPointF(win2.center().x(), win2.top()), QPointF(win2.center().x(), win2.bottom()));
    g.drawLine(QPointF(win2.left(), win2.center().y()), QPointF(win2.right(), win2.center().y()));
}

void drawCoin(QPainter& g, const QPointF& c, qreal radius)
{
    QRadialGradient grad(c - QPointF(radius / 3, radius / 3), radius * 1.4);
    grad.setColorAt(0, QColor(255, 236, 140));
    grad.setColorAt(1, QColor(210, 150, 20));
    g.setPen(QPen(QColor(150, 100, 10), qMax<qreal>(1.0, radius / 6)));
    g.setBrush(grad);
    g.drawEllipse(c, radius, radius);
    // the square hole of an old copper coin
    g.setBrush(QColor(150, 100, 10));
    g.setPen(Qt::NoPen);
    const qreal s = radius * 0.55;
    g.drawRect(QRectF(c.x() - s / 2, c.y() - s / 2, s, s));
}

QPixmap windowPixmap(int size)
{
    QPixmap p = blank(size, size);
    QPainter g(&p);
    g.setRenderHint(QPainter::Antialiasing);
    drawHouse(g, QRectF(size * 0.04, size * 0.06, size * 0.8, size * 0.86), QColor(250, 235, 205),
              QColor(200, 60, 40), true);
    drawCoin(g, QPointF(size * 0.76, size * 0.74), size * 0.2);
    return p;
}

QPixmap person()
{
    QPixmap p = blank(16, 16);
    QPainter g(&p);
    g.setRenderHint(QPainter::Antialiasing);
    g.setPen(QPen(QColor(30, 70, 140), 1));
    g.setBrush(QColor(90, 150, 220));
    g.drawEllipse(QRectF(4.5, 1, 7, 7));
    QPainterPath body;
    body.moveTo(1.5, 15.5);
    body.cubicTo(2, 9, 14, 9, 14.5, 15.5);
    body.closeSubpath();
    g.drawPath(body);
    return p;
}

QPixmap exitDoor()
{
    QPixmap p = blank(16, 16);
    QPainter g(&p);
    g.setRenderHint(QPainter::Antialiasing);
    g.setPen(QPen(QColor(90, 50, 20), 1));
    g.setBrush(QColor(170, 110, 60));
    g.drawRect(QRectF(1.5, 1.5, 8, 13));
    g.setBrush(QColor(250, 220, 80));
    g.drawEllipse(QRectF(7, 8, 1.6, 1.6));
    // the arrow out of the door
    g.setPen(QPen(QColor(200, 30, 30), 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    g.drawLine(QPointF(8, 8), QPointF(14.5, 8));
    g.drawLine(QPointF(12, 5.5), QPointF(14.5, 8));
    g.drawLine(QPointF(12, 10.5), QPointF(14.5, 8));
    return p;
}

QPixmap help()
{
    QPixmap p = blank(16, 16);
    QPainter g(&p);
    g.setRenderHint(QPainter::Antialiasing);
    g.setPen(QPen(QColor(20, 90, 40), 1));
    g.setBrush(QColor(60, 170, 80));
    g.drawEllipse(QRectF(0.5, 0.5, 15, 15));
    QFont f;
    f.setBold(true);
    f.setPixelSize(12);
    g.setFont(f);
    g.setPen(Qt::white);
    g.drawText(QRectF(0, 0, 16, 16), Qt::AlignCenter, QStringLiteral("?"));
    return p;
}

QPixmap chart()
{
    QPixmap p = blank(16, 16);
    QPainter g(&p);
    g.setPen(QPen(QColor(60, 60, 60), 1));
    g.drawLine(1, 15, 15, 15);
    g.drawLine(1, 1, 1, 15);
    const struct {
        int x, h;
        QColor c;
    } bars[] = {{3, 6, QColor(220, 80, 60)}, {7, 11, QColor(60, 140, 220)}, {11, 8, QColor(240, 180, 40)}};
    for (const auto& b : bars) {
        g.fillRect(QRect(b.x, 15 - b.h, 3, b.h), b.c);
        g.drawRect(QRect(b.x, 15 - b.h, 3, b.h));
    }
    return p;
}

QPixmap calendar()
{
    QPixmap p = blank(16, 16);
    QPainter g(&p);
    g.setPen(QPen(QColor(80, 80, 80), 1));
    g.setBrush(Qt::white);
    g.drawRect(QRect(1, 2, 13, 13));
    g.fillRect(QRect(2, 3, 12, 3), QColor(210, 40, 40));
    g.setPen(QColor(60, 60, 60));
    g.drawLine(4, 1, 4, 4);
    g.drawLine(11, 1, 11, 4);
    for (int y = 8; y <= 13; y += 2)
        for (int x = 3; x <= 12; x += 3)
            g.drawPoint(x, y);
    return p;
}

}  // namespace

QIcon windowIcon()
{
    QIcon icon;
    for (int s : {16, 24, 32, 48, 64})
        icon.addPixmap(windowPixmap(s));
    return icon;
}

QIcon menuIcon(const QString& key)
{
    if (key == QStringLiteral("成员信息"))
        return QIcon(person());
    if (key == QStringLiteral("退出"))
        return QIcon(exitDoor());
    if (key == QStringLiteral("帮助"))
        return QIcon(help());
    if (key == QStringLiteral("资产统计"))
        return QIcon(chart());
    if (key == QStringLiteral("年终处理"))
        return QIcon(calendar());
    return QIcon();
}

QPixmap homePicture()
{
    const int w = 640, h = 480;
    QPixmap p(w, h);
    QPainter g(&p);
    g.setRenderHint(QPainter::Antialiasing);
    // evening sky
    QLinearGradient sky(0, 0, 0, h * 0.7);
    sky.setColorAt(0, QColor(255, 196, 140));
    sky.setColorAt(0.6, QColor(255, 228, 190));
    sky.setColorAt(1, QColor(255, 244, 220));
    g.fillRect(p.rect(), sky);
    // sun
    QRadialGradient sun(QPointF(w * 0.78, h * 0.28), 70);
    sun.setColorAt(0, QColor(255, 250, 210));
    sun.setColorAt(0.5, QColor(255, 200, 110, 220));
    sun.setColorAt(1, QColor(255, 200, 110, 0));
    g.setPen(Qt::NoPen);
    g.setBrush(sun);
    g.drawEllipse(QPointF(w * 0.78, h * 0.28), 70, 70);
    // hills
    QPainterPath hills;
    hills.moveTo(0, h * 0.62);
    hills.cubicTo(w * 0.25, h * 0.5, w * 0.45, h * 0.66, w * 0.65, h * 0.58);
    hills.cubicTo(w * 0.8, h * 0.52, w * 0.92, h * 0.56, w, h * 0.6);
    hills.lineTo(w, h);
    hills.lineTo(0, h);
    hills.closeSubpath();
    QLinearGradient grass(0, h * 0.5, 0, h);
    grass.setColorAt(0, QColor(150, 190, 110));
    grass.setColorAt(1, QColor(90, 140, 70));
    g.setBrush(grass);
    g.drawPath(hills);
    // a path to the door
    QPainterPath path;
    path.moveTo(w * 0.36, h * 0.82);
    path.cubicTo(w * 0.34, h * 0.9, w * 0.3, h * 0.95, w * 0.24, h);
    path.lineTo(w * 0.4, h);
    path.cubicTo(w * 0.4, h * 0.95, w * 0.39, h * 0.9, w * 0.4, h * 0.82);
    path.closeSubpath();
    g.setBrush(QColor(220, 200, 160));
    g.drawPath(path);
    drawHouse(g, QRectF(w * 0.18, h * 0.42, w * 0.36, h * 0.41), QColor(250, 236, 210), QColor(180, 60, 45),
              true);
    // trees
    auto tree = [&g](qreal x, qreal y, qreal s) {
        g.setPen(Qt::NoPen);
        g.setBrush(QColor(110, 75, 45));
        g.drawRect(QRectF(x - s * 0.08, y, s * 0.16, s * 0.5));
        g.setBrush(QColor(70, 130, 60));
        g.drawEllipse(QPointF(x, y - s * 0.15), s * 0.42, s * 0.5);
        g.setBrush(QColor(95, 155, 75));
        g.drawEllipse(QPointF(x - s * 0.12, y - s * 0.28), s * 0.24, s * 0.28);
    };
    tree(w * 0.66, h * 0.64, 90);
    tree(w * 0.84, h * 0.68, 70);
    tree(w * 0.08, h * 0.7, 60);
    // flowers along the path
    QRandomGenerator rnd(7);
    for (int i = 0; i < 60; ++i) {
        const qreal x = rnd.bounded(w), y = h * 0.78 + rnd.bounded(h * 0.2);
        static const QColor colours[] = {QColor(240, 90, 90), QColor(250, 220, 80), QColor(250, 250, 250),
                                         QColor(220, 120, 200)};
        g.setBrush(colours[i % 4]);
        g.drawEllipse(QPointF(x, y), 3, 3);
    }
    // two birds
    g.setPen(QPen(QColor(90, 70, 60), 2));
    g.setBrush(Qt::NoBrush);
    for (QPointF b : {QPointF(w * 0.55, h * 0.16), QPointF(w * 0.6, h * 0.21)}) {
        QPainterPath bird;
        bird.moveTo(b + QPointF(-10, 0));
        bird.quadTo(b + QPointF(-5, -6), b);
        bird.quadTo(b + QPointF(5, -6), b + QPointF(10, 0));
        g.drawPath(bird);
    }
    return p;
}

QPixmap loginPicture()
{
    const int w = 234, h = 274;
    QPixmap p(w, h);
    QPainter g(&p);
    g.setRenderHint(QPainter::Antialiasing);
    QLinearGradient bg(0, 0, 0, h);
    bg.setColorAt(0, QColor(255, 235, 205));
    bg.setColorAt(1, QColor(250, 200, 150));
    g.fillRect(p.rect(), bg);
    // a ledger
    g.setPen(QPen(QColor(90, 40, 20), 3));
    g.setBrush(QColor(170, 50, 40));
    g.drawRoundedRect(QRectF(30, 40, 150, 190), 8, 8);
    g.setBrush(QColor(250, 245, 230));
    g.setPen(QPen(QColor(150, 120, 90), 2));
    g.drawRect(QRectF(52, 66, 106, 60));
    g.setPen(QPen(QColor(200, 160, 120), 2));
    for (int y = 80; y < 126; y += 12)
        g.drawLine(58, y, 152, y);
    drawCoin(g, QPointF(105, 175), 26);
    // a key across it
    g.setPen(QPen(QColor(120, 90, 10), 3));
    g.setBrush(QColor(240, 200, 60));
    g.drawEllipse(QPointF(175, 200), 24, 24);
    g.setBrush(bg);
    g.drawEllipse(QPointF(175, 200), 9, 9);
    g.setBrush(QColor(240, 200, 60));
    QPainterPath shaft;
    shaft.addRect(QRectF(150, 195, -100, 10));
    shaft.addRect(QRectF(60, 205, 10, 16));
    shaft.addRect(QRectF(76, 205, 10, 11));
    g.drawPath(shaft.simplified());
    return p;
}

QPixmap aboutPicture()
{
    const int s = 64;
    QPixmap p = blank(s, s);
    QPainter g(&p);
    g.setRenderHint(QPainter::Antialiasing);
    // an open account book
    g.setPen(QPen(QColor(90, 40, 20), 2));
    g.setBrush(QColor(170, 50, 40));
    g.drawRoundedRect(QRectF(3, 12, 58, 44), 4, 4);
    g.setBrush(QColor(252, 248, 235));
    g.setPen(QPen(QColor(150, 120, 90), 1));
    g.drawRect(QRectF(7, 9, 24, 42));
    g.drawRect(QRectF(33, 9, 24, 42));
    g.setPen(QColor(190, 160, 130));
    for (int y = 16; y < 48; y += 6) {
        g.drawLine(10, y, 28, y);
        g.drawLine(36, y, 54, y);
    }
    drawCoin(g, QPointF(50, 48), 10);
    return p;
}

}  // namespace Pictures
