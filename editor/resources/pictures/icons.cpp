// The icons of the editor's pictures, each drawn into a square rectangle.
#include "picture_kit.h"

#include <QPainterPath>
#include <QPolygonF>
#include <QRadialGradient>
#include <cmath>

namespace pictures {

QFont LabelFont(int pixelSize, bool bold) {
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(pixelSize);
    f.setBold(bold);
    f.setHintingPreference(QFont::PreferFullHinting);
    return f;
}

void PanelIcon(QPainter& p, const QRectF& r) {
    const qreal u = r.width() / 24.0;
    QRectF screen(r.left() + 1 * u, r.top() + 2 * u, 22 * u, 15 * u);
    p.setPen(QPen(kInk, 1.2 * u));
    QLinearGradient g(screen.topLeft(), screen.bottomRight());
    g.setColorAt(0, kLightBlue);
    g.setColorAt(1, kBlue);
    p.setBrush(g);
    p.drawRoundedRect(screen, 1.5 * u, 1.5 * u);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 110));
    p.drawPolygon(QPolygonF({QPointF(screen.left() + 2 * u, screen.top() + 2 * u),
                             QPointF(screen.left() + 10 * u, screen.top() + 2 * u),
                             QPointF(screen.left() + 4 * u, screen.bottom() - 2 * u),
                             QPointF(screen.left() + 2 * u, screen.bottom() - 2 * u)}));
    p.setBrush(kInk);
    p.drawRect(QRectF(r.left() + 10.5 * u, r.top() + 17 * u, 3 * u, 3 * u));
    p.drawRoundedRect(QRectF(r.left() + 6 * u, r.top() + 20 * u, 12 * u, 2 * u), u, u);
}

void PencilOverlay(QPainter& p, const QRectF& r) {
    const qreal u = r.width() / 24.0;
    p.save();
    p.translate(r.left() + 17 * u, r.top() + 13 * u);
    p.rotate(45);
    p.setPen(QPen(kInk, 0.8 * u));
    p.setBrush(kOrange);
    p.drawRect(QRectF(-1.8 * u, -9 * u, 3.6 * u, 11 * u));
    p.setBrush(QColor(0xf5, 0xd9, 0xa8));
    p.drawPolygon(QPolygonF({QPointF(-1.8 * u, 2 * u), QPointF(1.8 * u, 2 * u), QPointF(0, 6 * u)}));
    p.restore();
}

void EditIcon(QPainter& p, const QRectF& r) {
    PanelIcon(p, r);
    PencilOverlay(p, r);
}

void TableIcon(QPainter& p, const QRectF& r) {
    const qreal u = r.width() / 24.0;
    QRectF t(r.left() + 2 * u, r.top() + 3 * u, 20 * u, 18 * u);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawRect(t);
    p.setBrush(kBlue);
    p.drawRect(QRectF(t.left(), t.top(), t.width(), 4.5 * u));
    p.setPen(QPen(kBorder, 0.8 * u));
    for (int i = 1; i < 4; ++i) {
        const qreal y = t.top() + 4.5 * u + i * (t.height() - 4.5 * u) / 4;
        p.drawLine(QPointF(t.left(), y), QPointF(t.right(), y));
    }
    p.drawLine(QPointF(t.left() + 7 * u, t.top() + 4.5 * u), QPointF(t.left() + 7 * u, t.bottom()));
    p.setPen(QPen(kInk, 1.2 * u));
    p.setBrush(Qt::NoBrush);
    p.drawRect(t);
}

void TransferIcon(QPainter& p, const QRectF& r) {
    const qreal u = r.width() / 24.0;
    auto arrow = [&](qreal y, bool right, const QColor& c) {
        QPainterPath path;
        const qreal x0 = r.left() + 2 * u, x1 = r.left() + 22 * u;
        const qreal tip = right ? x1 : x0, tail = right ? x0 : x1;
        const qreal head = right ? x1 - 7 * u : x0 + 7 * u;
        path.moveTo(tail, y - 2 * u);
        path.lineTo(head, y - 2 * u);
        path.lineTo(head, y - 5 * u);
        path.lineTo(tip, y);
        path.lineTo(head, y + 5 * u);
        path.lineTo(head, y + 2 * u);
        path.lineTo(tail, y + 2 * u);
        path.closeSubpath();
        p.setPen(QPen(c.darker(140), 0.8 * u));
        p.setBrush(c);
        p.drawPath(path);
    };
    arrow(r.top() + 7 * u, true, kOrange);
    arrow(r.top() + 17 * u, false, kGreen);
}

void GearIcon(QPainter& p, const QRectF& r) {
    const qreal u = r.width() / 24.0;
    const QPointF c = r.center();
    QPainterPath gear;
    const int teeth = 8;
    for (int i = 0; i < teeth * 2; ++i) {
        const qreal a0 = (i - 0.5) * M_PI / teeth, a1 = (i + 0.5) * M_PI / teeth;
        const qreal rad = (i % 2 == 0) ? 10.5 * u : 8 * u;
        const QPointF p0 = c + QPointF(std::cos(a0) * rad, std::sin(a0) * rad);
        const QPointF p1 = c + QPointF(std::cos(a1) * rad, std::sin(a1) * rad);
        if (i == 0) gear.moveTo(p0);
        else gear.lineTo(p0);
        gear.lineTo(p1);
    }
    gear.closeSubpath();
    QPainterPath hole;
    hole.addEllipse(c, 3.5 * u, 3.5 * u);
    QLinearGradient g(r.topLeft(), r.bottomRight());
    g.setColorAt(0, QColor(0xb8, 0xc4, 0xd2));
    g.setColorAt(1, QColor(0x6d, 0x7d, 0x90));
    p.setPen(QPen(kInk, 0.9 * u));
    p.setBrush(g);
    p.drawPath(gear.subtracted(hole));
}

void SheetShape(QPainter& p, const QRectF& r, const QColor& fill) {
    const qreal u = r.width() / 24.0;
    QPainterPath s;
    s.moveTo(r.left() + 4 * u, r.top() + 1 * u);
    s.lineTo(r.left() + 14 * u, r.top() + 1 * u);
    s.lineTo(r.left() + 20 * u, r.top() + 7 * u);
    s.lineTo(r.left() + 20 * u, r.top() + 23 * u);
    s.lineTo(r.left() + 4 * u, r.top() + 23 * u);
    s.closeSubpath();
    p.setPen(QPen(kInk, 1.0 * u));
    p.setBrush(fill);
    p.drawPath(s);
    p.setBrush(QColor(0xd5, 0xdd, 0xe6));
    p.drawPolygon(QPolygonF({QPointF(r.left() + 14 * u, r.top() + 1 * u), QPointF(r.left() + 14 * u, r.top() + 7 * u),
                             QPointF(r.left() + 20 * u, r.top() + 7 * u)}));
}

void NewIcon(QPainter& p, const QRectF& r) {
    const qreal u = r.width() / 24.0;
    SheetShape(p, r, Qt::white);
    // a small spark: fresh data
    p.setPen(QPen(kYellow.darker(130), 0.8 * u));
    p.setBrush(kYellow);
    QPolygonF star;
    const QPointF c(r.left() + 12 * u, r.top() + 15 * u);
    for (int i = 0; i < 10; ++i) {
        const qreal a = -M_PI / 2 + i * M_PI / 5;
        const qreal rad = (i % 2 == 0) ? 6 * u : 2.6 * u;
        star << c + QPointF(std::cos(a) * rad, std::sin(a) * rad);
    }
    p.drawPolygon(star);
}

void FolderIcon(QPainter& p, const QRectF& r) {
    const qreal u = r.width() / 24.0;
    p.setPen(QPen(kYellow.darker(160), 1.0 * u));
    p.setBrush(kYellow.darker(115));
    QPainterPath back;
    back.moveTo(r.left() + 1 * u, r.top() + 5 * u);
    back.lineTo(r.left() + 8 * u, r.top() + 5 * u);
    back.lineTo(r.left() + 10 * u, r.top() + 7 * u);
    back.lineTo(r.left() + 21 * u, r.top() + 7 * u);
    back.lineTo(r.left() + 21 * u, r.top() + 21 * u);
    back.lineTo(r.left() + 1 * u, r.top() + 21 * u);
    back.closeSubpath();
    p.drawPath(back);
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, QColor(0xfb, 0xe2, 0x94));
    g.setColorAt(1, kYellow);
    p.setBrush(g);
    p.drawPolygon(
        QPolygonF({QPointF(r.left() + 4 * u, r.top() + 10 * u), QPointF(r.left() + 23 * u, r.top() + 10 * u),
                   QPointF(r.left() + 21 * u, r.top() + 21 * u), QPointF(r.left() + 1 * u, r.top() + 21 * u)}));
}

void ArrowGlyph(QPainter& p, const QPointF& tip, qreal angleDeg, qreal len, qreal u, const QColor& c) {
    p.save();
    p.translate(tip);
    p.rotate(angleDeg);
    QPainterPath a;
    a.moveTo(0, 0);
    a.lineTo(-4.5 * u, -4.5 * u);
    a.lineTo(-4.5 * u, -1.7 * u);
    a.lineTo(-len, -1.7 * u);
    a.lineTo(-len, 1.7 * u);
    a.lineTo(-4.5 * u, 1.7 * u);
    a.lineTo(-4.5 * u, 4.5 * u);
    a.closeSubpath();
    p.setPen(QPen(c.darker(150), 0.7 * u));
    p.setBrush(c);
    p.drawPath(a);
    p.restore();
}

void LoadIcon(QPainter& p, const QRectF& r) {
    const qreal u = r.width() / 24.0;
    FolderIcon(p, r);
    ArrowGlyph(p, QPointF(r.left() + 12 * u, r.top() + 1 * u), -90, 11 * u, u, kGreen);
}

void DiskIcon(QPainter& p, const QRectF& r) {
    const qreal u = r.width() / 24.0;
    QRectF d(r.left() + 2 * u, r.top() + 2 * u, 20 * u, 20 * u);
    QPainterPath body;
    body.moveTo(d.topLeft());
    body.lineTo(d.right() - 3 * u, d.top());
    body.lineTo(d.right(), d.top() + 3 * u);
    body.lineTo(d.bottomRight());
    body.lineTo(d.bottomLeft());
    body.closeSubpath();
    p.setPen(QPen(kInk, 1.0 * u));
    p.setBrush(kBlue);
    p.drawPath(body);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xe8, 0xee, 0xf5));
    p.drawRect(QRectF(d.left() + 4 * u, d.top() + 0.5 * u, 11 * u, 6.5 * u));
    p.setBrush(kInk);
    p.drawRect(QRectF(d.left() + 11.5 * u, d.top() + 1.5 * u, 2.2 * u, 4.5 * u));
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRectF(d.left() + 3 * u, d.top() + 10 * u, 14 * u, 9 * u), u, u);
    p.setPen(QPen(kBorder, 0.8 * u));
    for (int i = 0; i < 3; ++i)
        p.drawLine(QPointF(d.left() + 5 * u, d.top() + (12.5 + 2.2 * i) * u),
                   QPointF(d.left() + 15 * u, d.top() + (12.5 + 2.2 * i) * u));
}

void SaveIcon(QPainter& p, const QRectF& r) { DiskIcon(p, r); }

void BoardIcon(QPainter& p, const QRectF& r) {
    const qreal u = r.width() / 24.0;
    QRectF b(r.left() + 3 * u, r.top() + 3 * u, 18 * u, 18 * u);
    p.setPen(QPen(kBoard.darker(150), 1.0 * u));
    p.setBrush(kBoard);
    p.drawRoundedRect(b, 1.5 * u, 1.5 * u);
    QRectF chip(b.left() + 4.5 * u, b.top() + 4.5 * u, 9 * u, 9 * u);
    p.setPen(QPen(QColor(0xd9, 0xc0, 0x6a), 0.9 * u));
    for (int i = 0; i < 4; ++i) {
        const qreal o = chip.top() + (1.5 + 2 * i) * u;
        p.drawLine(QPointF(chip.left() - 2.5 * u, o), QPointF(chip.left(), o));
        p.drawLine(QPointF(chip.right(), o), QPointF(chip.right() + 2.5 * u, o));
        const qreal x = chip.left() + (1.5 + 2 * i) * u;
        p.drawLine(QPointF(x, chip.top() - 2.5 * u), QPointF(x, chip.top()));
        p.drawLine(QPointF(x, chip.bottom()), QPointF(x, chip.bottom() + 2.5 * u));
    }
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x2b, 0x2f, 0x36));
    p.drawRect(chip);
    p.setBrush(QColor(255, 255, 255, 90));
    p.drawEllipse(QPointF(chip.left() + 2 * u, chip.top() + 2 * u), 0.9 * u, 0.9 * u);
}

void ReadIcon(QPainter& p, const QRectF& r) {
    const qreal u = r.width() / 24.0;
    BoardIcon(p, QRectF(r.left() + 6 * u, r.top(), r.width(), r.height()).adjusted(0, 0, -6 * u, -6 * u));
    ArrowGlyph(p, QPointF(r.left() + 1 * u, r.top() + 18 * u), 180, 13 * u, u, kGreen);
}

void WriteIcon(QPainter& p, const QRectF& r) {
    const qreal u = r.width() / 24.0;
    BoardIcon(p, QRectF(r.left() + 6 * u, r.top(), r.width(), r.height()).adjusted(0, 0, -6 * u, -6 * u));
    ArrowGlyph(p, QPointF(r.left() + 14 * u, r.top() + 18 * u), 0, 13 * u, u, kOrange);
}

// A small table in the lower right corner: the mode table variants.
void ModeBadge(QPainter& p, const QRectF& r) {
    const qreal u = r.width() / 24.0;
    const QRectF b(r.left() + 12 * u, r.top() + 12 * u, 12 * u, 12 * u);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 220));
    p.drawRoundedRect(b.adjusted(-1 * u, -1 * u, 1 * u, 1 * u), 2 * u, 2 * u);
    TableIcon(p, b);
}

void PanelFileIcon(QPainter& p, const QRectF& r) {
    const qreal u = r.width() / 24.0;
    SheetShape(p, r, Qt::white);
    PanelIcon(p, QRectF(r.left() + 6 * u, r.top() + 9 * u, 12 * u, 12 * u));
}

void GammaIcon(QPainter& p, const QRectF& r) {
    const qreal u = r.width() / 24.0;
    QRectF a(r.left() + 3 * u, r.top() + 2 * u, 19 * u, 19 * u);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawRect(a);
    p.setPen(QPen(kInk, 1.1 * u));
    p.drawLine(a.bottomLeft(), a.topLeft());
    p.drawLine(a.bottomLeft(), a.bottomRight());
    QPainterPath curve;
    curve.moveTo(a.bottomLeft());
    for (int i = 1; i <= 20; ++i) {
        const qreal x = i / 20.0;
        curve.lineTo(a.left() + x * a.width(), a.bottom() - std::pow(x, 0.45) * a.height());
    }
    p.setPen(QPen(kOrange, 1.6 * u));
    p.setBrush(Qt::NoBrush);
    p.drawPath(curve);
    p.setPen(QPen(kBorder, 0.8 * u, Qt::DashLine));
    p.drawLine(a.bottomLeft(), a.topRight());
}

void MergeIcon(QPainter& p, const QRectF& r) {
    const qreal u = r.width() / 24.0;
    p.setPen(QPen(kBlue, 2.4 * u, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    QPainterPath a, b;
    a.moveTo(r.left() + 2 * u, r.top() + 4 * u);
    a.cubicTo(QPointF(r.left() + 9 * u, r.top() + 4 * u), QPointF(r.left() + 8 * u, r.top() + 12 * u),
              QPointF(r.left() + 15 * u, r.top() + 12 * u));
    p.drawPath(a);
    p.setPen(QPen(kOrange, 2.4 * u, Qt::SolidLine, Qt::RoundCap));
    b.moveTo(r.left() + 2 * u, r.top() + 20 * u);
    b.cubicTo(QPointF(r.left() + 9 * u, r.top() + 20 * u), QPointF(r.left() + 8 * u, r.top() + 12 * u),
              QPointF(r.left() + 15 * u, r.top() + 12 * u));
    p.drawPath(b);
    ArrowGlyph(p, QPointF(r.left() + 23 * u, r.top() + 12 * u), 0, 9 * u, u, kGreen);
}

}  // namespace pictures
