// The main window's pictures (logo, picture, author) and the selection box's icon.
#include "picture_kit.h"

#include <QLinearGradient>
#include <QPainterPath>
#include <QPolygonF>
#include <QRadialGradient>
#include <cmath>

namespace pictures {

QImage MainLogo() {
    QImage img(42, 302, QImage::Format_ARGB32_Premultiplied);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    QLinearGradient g(0, 0, 0, 302);
    g.setColorAt(0, QColor(0x4a, 0x8c, 0xd0));
    g.setColorAt(1, QColor(0x1f, 0x4f, 0x8a));
    p.fillRect(img.rect(), g);
    p.setPen(QPen(QColor(255, 255, 255, 60), 1));
    for (int y = 12; y < 302; y += 10) p.drawLine(QPointF(36, y), QPointF(40, y));
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

QImage MainImage() {
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
    for (int i = 0; i < 6; ++i) p.drawRect(QRectF(70, 142 + i * 7, 20, 3.5));
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

QImage Author() {
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

QImage SelectionIcon() {
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

}  // namespace pictures
