// Draws every picture of the editor (button faces, page strips, main window
// pictures) and writes them as PNG files into the folder given on the command
// line. The PNGs are committed; run this again after changing a drawing:
//
//   cmake --build <build> --target tolvane_make_pictures
//   QT_QPA_PLATFORM=offscreen <build>/editor/app/tolvane_make_pictures editor/resources/pictures
//
// Look: light faces with a soft vertical gradient, a thin blue-grey border,
// one simple icon and a short label; the pressed face is darker and its
// content sits lower and further right, like the focus rectangle.
#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QRadialGradient>
#include <cmath>
#include <cstdio>
#include <functional>

namespace {

const QColor kInk(0x33, 0x3d, 0x4a);
const QColor kBlue(0x2f, 0x6f, 0xb5);
const QColor kLightBlue(0x9c, 0xc3, 0xea);
const QColor kGreen(0x2e, 0x93, 0x4f);
const QColor kOrange(0xe0, 0x7b, 0x24);
const QColor kYellow(0xf2, 0xc1, 0x4e);
const QColor kBorder(0x7d, 0x8d, 0xa0);
const QColor kBoard(0x3f, 0x8f, 0x5e);

using Icon = std::function<void(QPainter &, const QRectF &)>;

QFont LabelFont(int pixelSize, bool bold = true)
{
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(pixelSize);
    f.setBold(bold);
    f.setHintingPreference(QFont::PreferFullHinting);
    return f;
}

// ---- icons, each drawn into a square rectangle --------------------------------

void PanelIcon(QPainter &p, const QRectF &r)
{
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

void PencilOverlay(QPainter &p, const QRectF &r)
{
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

void EditIcon(QPainter &p, const QRectF &r)
{
    PanelIcon(p, r);
    PencilOverlay(p, r);
}

void TableIcon(QPainter &p, const QRectF &r)
{
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

void TransferIcon(QPainter &p, const QRectF &r)
{
    const qreal u = r.width() / 24.0;
    auto arrow = [&](qreal y, bool right, const QColor &c) {
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

void GearIcon(QPainter &p, const QRectF &r)
{
    const qreal u = r.width() / 24.0;
    const QPointF c = r.center();
    QPainterPath gear;
    const int teeth = 8;
    for (int i = 0; i < teeth * 2; ++i) {
        const qreal a0 = (i - 0.5) * M_PI / teeth, a1 = (i + 0.5) * M_PI / teeth;
        const qreal rad = (i % 2 == 0) ? 10.5 * u : 8 * u;
        const QPointF p0 = c + QPointF(std::cos(a0) * rad, std::sin(a0) * rad);
        const QPointF p1 = c + QPointF(std::cos(a1) * rad, std::sin(a1) * rad);
        if (i == 0)
            gear.moveTo(p0);
        else
            gear.lineTo(p0);
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

void SheetShape(QPainter &p, const QRectF &r, const QColor &fill)
{
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
    p.drawPolygon(QPolygonF({QPointF(r.left() + 14 * u, r.top() + 1 * u),
                             QPointF(r.left() + 14 * u, r.top() + 7 * u),
                             QPointF(r.left() + 20 * u, r.top() + 7 * u)}));
}

void NewIcon(QPainter &p, const QRectF &r)
{
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

void FolderIcon(QPainter &p, const QRectF &r)
{
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
    p.drawPolygon(QPolygonF({QPointF(r.left() + 4 * u, r.top() + 10 * u), QPointF(r.left() + 23 * u, r.top() + 10 * u),
                             QPointF(r.left() + 21 * u, r.top() + 21 * u), QPointF(r.left() + 1 * u, r.top() + 21 * u)}));
}

void ArrowGlyph(QPainter &p, const QPointF &tip, qreal angleDeg, qreal len, qreal u, const QColor &c)
{
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

void LoadIcon(QPainter &p, const QRectF &r)
{
    const qreal u = r.width() / 24.0;
    FolderIcon(p, r);
    ArrowGlyph(p, QPointF(r.left() + 12 * u, r.top() + 1 * u), -90, 11 * u, u, kGreen);
}

void DiskIcon(QPainter &p, const QRectF &r)
{
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

void SaveIcon(QPainter &p, const QRectF &r)
{
    DiskIcon(p, r);
}

void BoardIcon(QPainter &p, const QRectF &r)
{
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

void ReadIcon(QPainter &p, const QRectF &r)
{
    const qreal u = r.width() / 24.0;
    BoardIcon(p, QRectF(r.left() + 6 * u, r.top(), r.width(), r.height()).adjusted(0, 0, -6 * u, -6 * u));
    ArrowGlyph(p, QPointF(r.left() + 1 * u, r.top() + 18 * u), 180, 13 * u, u, kGreen);
}

void WriteIcon(QPainter &p, const QRectF &r)
{
    const qreal u = r.width() / 24.0;
    BoardIcon(p, QRectF(r.left() + 6 * u, r.top(), r.width(), r.height()).adjusted(0, 0, -6 * u, -6 * u));
    ArrowGlyph(p, QPointF(r.left() + 14 * u, r.top() + 18 * u), 0, 13 * u, u, kOrange);
}

// A small table in the lower right corner: the mode table variants.
void ModeBadge(QPainter &p, const QRectF &r)
{
    const qreal u = r.width() / 24.0;
    const QRectF b(r.left() + 12 * u, r.top() + 12 * u, 12 * u, 12 * u);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 220));
    p.drawRoundedRect(b.adjusted(-1 * u, -1 * u, 1 * u, 1 * u), 2 * u, 2 * u);
    TableIcon(p, b);
}

void PanelFileIcon(QPainter &p, const QRectF &r)
{
    const qreal u = r.width() / 24.0;
    SheetShape(p, r, Qt::white);
    PanelIcon(p, QRectF(r.left() + 6 * u, r.top() + 9 * u, 12 * u, 12 * u));
}

void GammaIcon(QPainter &p, const QRectF &r)
{
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

void MergeIcon(QPainter &p, const QRectF &r)
{
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

// ---- button faces -----------------------------------------------------------

// One face: a raised (up) or pressed (down) plate with an icon and a label.
// `shift` is how far the content moves while pressed; it matches the pressed
// offset of the focus rectangle of the windows that use the face.
QImage Face(QSize size, bool down, int shift, const Icon &icon, const QString &label, const Icon &badge = {})
{
    QImage img(size, QImage::Format_ARGB32_Premultiplied);
    img.fill(QColor(0xc0, 0xc0, 0xc0));
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    const QRectF plate = QRectF(0.5, 0.5, size.width() - 1, size.height() - 1);
    QLinearGradient g(plate.topLeft(), plate.bottomLeft());
    if (down) {
        g.setColorAt(0, QColor(0xc9, 0xd3, 0xde));
        g.setColorAt(1, QColor(0xe6, 0xec, 0xf2));
    } else {
        g.setColorAt(0, QColor(0xff, 0xff, 0xff));
        g.setColorAt(1, QColor(0xdc, 0xe3, 0xeb));
    }
    p.setPen(QPen(down ? kBorder.darker(125) : kBorder, 1));
    p.setBrush(g);
    p.drawRoundedRect(plate, 3, 3);
    // inner bevel line: highlight on top when raised, shadow when pressed
    p.setPen(QPen(down ? QColor(0, 0, 0, 45) : QColor(255, 255, 255, 200), 1));
    p.drawLine(QPointF(3, 1.5), QPointF(size.width() - 3, 1.5));

    const int dx = down ? shift : 0, dy = down ? shift : 0;
    const bool tall = size.height() >= 48;
    QFont font = LabelFont(tall ? 11 : 10);
    p.setFont(font);
    if (tall) {
        const qreal s = 26;
        QRectF ir((size.width() - s) / 2 + dx, 8 + dy, s, s);
        icon(p, ir);
        if (badge)
            badge(p, ir);
        p.setPen(kInk);
        p.drawText(QRectF(dx, 36 + dy, size.width(), 16), Qt::AlignHCenter | Qt::AlignVCenter, label);
    } else {
        const qreal s = 20;
        QRectF ir(7 + dx, (size.height() - s) / 2 + dy, s, s);
        icon(p, ir);
        if (badge)
            badge(p, ir);
        p.setPen(kInk);
        p.drawText(QRectF(29 + dx, dy, size.width() - 31, size.height()), Qt::AlignHCenter | Qt::AlignVCenter, label);
    }
    return img;
}

// ---- page strips and main pictures ------------------------------------------

QImage Strip(QSize size, const QString &word, const Icon &icon, const QColor &accent)
{
    QImage img(size, QImage::Format_ARGB32_Premultiplied);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    QLinearGradient g(0, 0, size.width(), size.height());
    g.setColorAt(0, QColor(0xf7, 0xfa, 0xfd));
    g.setColorAt(1, QColor(0xdc, 0xe6, 0xf1));
    p.fillRect(img.rect(), g);
    p.setPen(Qt::NoPen);
    p.setBrush(accent);
    p.drawRect(QRectF(0, 0, 5, size.height()));
    p.setBrush(QColor(accent.red(), accent.green(), accent.blue(), 40));
    p.drawEllipse(QPointF(size.width() * 0.9, size.height() * 0.85), size.width() * 0.8, size.width() * 0.8);
    const qreal s = size.width() - 22;
    icon(p, QRectF((size.width() - s) / 2 + 2, 14, s, s));
    // the word, running upwards along the strip
    p.save();
    p.translate(size.width() / 2.0 + 8, size.height() - 14);
    p.rotate(-90);
    QFont f = LabelFont(20);
    f.setLetterSpacing(QFont::AbsoluteSpacing, 3);
    p.setFont(f);
    p.setPen(QColor(accent.red(), accent.green(), accent.blue(), 200));
    p.drawText(QRectF(0, -22, size.height() - s - 40, 28), Qt::AlignLeft | Qt::AlignVCenter, word);
    p.restore();
    p.setPen(QPen(kBorder, 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(0.5, 0.5, size.width() - 1, size.height() - 1));
    return img;
}

QImage MainLogo()
{
    QImage img(42, 302, QImage::Format_ARGB32_Premultiplied);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    QLinearGradient g(0, 0, 0, 302);
    g.setColorAt(0, QColor(0x4a, 0x8c, 0xd0));
    g.setColorAt(1, QColor(0x1f, 0x4f, 0x8a));
    p.fillRect(img.rect(), g);
    p.setPen(QPen(QColor(255, 255, 255, 60), 1));
    for (int y = 12; y < 302; y += 10)
        p.drawLine(QPointF(36, y), QPointF(40, y));
    p.save();
    p.translate(29, 290);
    p.rotate(-90);
    QFont f = LabelFont(19);
    f.setLetterSpacing(QFont::AbsoluteSpacing, 2);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(QPointF(0, 0), QStringLiteral("VANTREL-2"));
    QFont small = LabelFont(10, false);
    p.setFont(small);
    p.setPen(QColor(255, 255, 255, 190));
    p.drawText(QPointF(152, -2), QStringLiteral("LCD controller"));
    p.restore();
    return img;
}

QImage MainImage()
{
    QImage img(110, 256, QImage::Format_ARGB32_Premultiplied);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    QLinearGradient bg(0, 0, 0, 256);
    bg.setColorAt(0, QColor(0xfb, 0xfc, 0xfe));
    bg.setColorAt(1, QColor(0xe2, 0xea, 0xf3));
    p.fillRect(img.rect(), bg);
    // flat panel on top
    PanelIcon(p, QRectF(13, 10, 84, 84));
    // cable down to the controller board
    p.setPen(QPen(kInk, 2.2));
    p.setBrush(Qt::NoBrush);
    QPainterPath cable;
    cable.moveTo(55, 92);
    cable.cubicTo(QPointF(55, 112), QPointF(40, 112), QPointF(40, 132));
    p.drawPath(cable);
    // the controller board
    QRectF board(12, 132, 86, 62);
    p.setPen(QPen(kBoard.darker(150), 1.2));
    p.setBrush(kBoard);
    p.drawRoundedRect(board, 4, 4);
    BoardIcon(p, QRectF(20, 138, 44, 44));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xd9, 0xc0, 0x6a));
    for (int i = 0; i < 6; ++i)
        p.drawRect(QRectF(70, 142 + i * 7, 20, 3.5));
    // serial plug at the bottom
    p.setPen(QPen(kInk, 2.2));
    QPainterPath wire;
    wire.moveTo(80, 194);
    wire.cubicTo(QPointF(80, 214), QPointF(55, 210), QPointF(55, 224));
    p.drawPath(wire);
    p.setPen(QPen(kInk, 1));
    p.setBrush(QColor(0xb8, 0xc4, 0xd2));
    p.drawRoundedRect(QRectF(41, 224, 28, 12), 3, 3);
    p.setFont(LabelFont(9, false));
    p.setPen(kInk);
    p.drawText(QRectF(0, 238, 110, 14), Qt::AlignCenter, QStringLiteral("RS-232 / RS-485"));
    p.setPen(QPen(kBorder, 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(0.5, 0.5, 109, 255));
    return img;
}

QImage Author()
{
    QImage img(270, 244, QImage::Format_ARGB32_Premultiplied);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    QLinearGradient bg(0, 0, 0, 244);
    bg.setColorAt(0, QColor(0xff, 0xff, 0xff));
    bg.setColorAt(1, QColor(0xe4, 0xec, 0xf5));
    p.fillRect(img.rect(), bg);
    p.setPen(Qt::NoPen);
    p.setBrush(kBlue);
    p.drawRect(QRectF(0, 0, 270, 46));
    p.setPen(Qt::white);
    p.setFont(LabelFont(17));
    p.drawText(QRectF(0, 0, 270, 46), Qt::AlignCenter, QStringLiteral("Tolvane2"));
    EditIcon(p, QRectF(103, 58, 64, 64));
    p.setPen(kInk);
    p.setFont(LabelFont(12));
    p.drawText(QRectF(0, 128, 270, 18), Qt::AlignCenter, QStringLiteral("Vantrel-2 Panel Editor V1.05"));
    p.setFont(LabelFont(11, false));
    p.drawText(QRectF(0, 150, 270, 16), Qt::AlignCenter, QStringLiteral("Panel data, mode tables and transfers"));
    p.drawText(QRectF(0, 166, 270, 16), Qt::AlignCenter, QStringLiteral("for the Vantrel-2 LCD controller board"));
    p.setPen(QPen(kBorder, 1));
    p.drawLine(QPointF(40, 192), QPointF(230, 192));
    p.setPen(kInk);
    p.setFont(LabelFont(11));
    p.drawText(QRectF(0, 198, 270, 16), Qt::AlignCenter, QStringLiteral("Written by the Tolvane2 team"));
    p.setFont(LabelFont(10, false));
    p.drawText(QRectF(0, 216, 270, 16), Qt::AlignCenter, QStringLiteral("Thanks for using it."));
    p.setPen(QPen(kBlue, 2));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(1, 1, 268, 242));
    return img;
}

QImage SelectionIcon()
{
    QImage img(32, 32, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    BoardIcon(p, QRectF(0, 0, 32, 32));
    p.setPen(QPen(Qt::white, 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    QPainterPath tick;
    tick.moveTo(9, 16);
    tick.lineTo(14, 21);
    tick.lineTo(23, 11);
    p.drawPath(tick);
    return img;
}

int written = 0;
int failed = 0;

void Save(const QDir &dir, const QString &name, const QImage &img)
{
    const QString path = dir.filePath(name + QStringLiteral(".png"));
    if (img.save(path, "PNG")) {
        ++written;
    } else {
        ++failed;
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    }
}

void SaveFaces(const QDir &dir, const QString &stem, QSize size, int shift, const Icon &icon, const QString &label,
               const Icon &badge = {})
{
    Save(dir, stem + QStringLiteral("UpBtn"), Face(size, false, shift, icon, label, badge));
    Save(dir, stem + QStringLiteral("DwnBtn"), Face(size, true, shift, icon, label, badge));
}

}  // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    const QDir dir(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("."));
    if (!dir.exists()) {
        std::fprintf(stderr, "usage: tolvane_make_pictures <existing output folder>\n");
        return 2;
    }

    const QSize big(74, 58), small(74, 32);
    // main window: pressed content moves 2 pixels like its focus rectangle
    SaveFaces(dir, QStringLiteral("Edit"), big, 2, EditIcon, QStringLiteral("Edit"));
    SaveFaces(dir, QStringLiteral("Modes"), big, 2, TableIcon, QStringLiteral("Modes"));
    SaveFaces(dir, QStringLiteral("Trans"), big, 2, TransferIcon, QStringLiteral("Transfer"));
    SaveFaces(dir, QStringLiteral("Conf"), small, 2, GearIcon, QStringLiteral("Setup"));
    // pages: 1 pixel
    SaveFaces(dir, QStringLiteral("New"), small, 1, NewIcon, QStringLiteral("New"));
    SaveFaces(dir, QStringLiteral("Load"), small, 1, LoadIcon, QStringLiteral("Load"));
    SaveFaces(dir, QStringLiteral("Save"), small, 1, SaveIcon, QStringLiteral("Save"));
    SaveFaces(dir, QStringLiteral("LoadM"), small, 1, LoadIcon, QStringLiteral("Load"), ModeBadge);
    SaveFaces(dir, QStringLiteral("SaveM"), small, 1, SaveIcon, QStringLiteral("Save"), ModeBadge);
    SaveFaces(dir, QStringLiteral("Read"), small, 1, ReadIcon, QStringLiteral("Read"));
    SaveFaces(dir, QStringLiteral("Write"), small, 1, WriteIcon, QStringLiteral("Write"));
    SaveFaces(dir, QStringLiteral("ReadM"), small, 1, ReadIcon, QStringLiteral("Read"), ModeBadge);
    SaveFaces(dir, QStringLiteral("WriteM"), small, 1, WriteIcon, QStringLiteral("Write"), ModeBadge);
    SaveFaces(dir, QStringLiteral("Panel"), small, 1, PanelFileIcon, QStringLiteral("Panel"));
    SaveFaces(dir, QStringLiteral("Gamma"), small, 1, GammaIcon, QStringLiteral("Gamma"));
    SaveFaces(dir, QStringLiteral("Merge"), small, 1, MergeIcon, QStringLiteral("Merge"));

    Save(dir, QStringLiteral("MainLogo"), MainLogo());
    Save(dir, QStringLiteral("MainImage"), MainImage());
    Save(dir, QStringLiteral("Author"), Author());
    Save(dir, QStringLiteral("EditImage"), Strip(QSize(66, 240), QStringLiteral("PANEL"), EditIcon, kBlue));
    Save(dir, QStringLiteral("DiskImage"), Strip(QSize(74, 272), QStringLiteral("FILES"), SaveIcon, kBlue));
    Save(dir, QStringLiteral("TransImage"), Strip(QSize(74, 292), QStringLiteral("LINK"), TransferIcon, kGreen));
    Save(dir, QStringLiteral("ModeImage"), Strip(QSize(80, 340), QStringLiteral("MODES"), TableIcon, kOrange));
    Save(dir, QStringLiteral("SelectionIcon"), SelectionIcon());

    std::printf("%d pictures written to %s\n", written, qPrintable(dir.absolutePath()));
    return failed == 0 ? 0 : 1;
}
