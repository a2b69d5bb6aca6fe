// Button faces and page strips: the pictures built from an icon and a word.
#include "picture_kit.h"

#include <QLinearGradient>
#include <QPainterPath>
#include <cmath>

namespace pictures {

// One face: a raised (up) or pressed (down) plate with an icon and a label.
// `shift` is how far the content moves while pressed; it matches the pressed
// offset of the focus rectangle of the windows that use the face.
QImage Face(QSize size, bool down, int shift, const Icon& icon, const QString& label, const Icon& badge) {
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
        if (badge) badge(p, ir);
        p.setPen(kInk);
        p.drawText(QRectF(dx, 36 + dy, size.width(), 16), Qt::AlignHCenter | Qt::AlignVCenter, label);
    } else {
        const qreal s = 20;
        QRectF ir(7 + dx, (size.height() - s) / 2 + dy, s, s);
        icon(p, ir);
        if (badge) badge(p, ir);
        p.setPen(kInk);
        p.drawText(QRectF(29 + dx, dy, size.width() - 31, size.height()), Qt::AlignHCenter | Qt::AlignVCenter, label);
    }
    return img;
}

QImage Strip(QSize size, const QString& word, const Icon& icon, const QColor& accent) {
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

}  // namespace pictures
