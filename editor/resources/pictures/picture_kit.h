// The drawing kit shared by the picture maker's files: the palette, the
// label font, the icons and the three families of pictures (button faces,
// page strips, the main window's pictures).
#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QRectF>
#include <QSize>
#include <QString>
#include <functional>

namespace pictures {

inline const QColor kInk(0x33, 0x3d, 0x4a);
inline const QColor kBlue(0x2f, 0x6f, 0xb5);
inline const QColor kLightBlue(0x9c, 0xc3, 0xea);
inline const QColor kGreen(0x2e, 0x93, 0x4f);
inline const QColor kOrange(0xe0, 0x7b, 0x24);
inline const QColor kYellow(0xf2, 0xc1, 0x4e);
inline const QColor kBorder(0x7d, 0x8d, 0xa0);
inline const QColor kBoard(0x3f, 0x8f, 0x5e);

using Icon = std::function<void(QPainter&, const QRectF&)>;

QFont LabelFont(int pixelSize, bool bold = true);

// Icons (icons.cpp), each drawn into a square rectangle.
void PanelIcon(QPainter& p, const QRectF& r);
void EditIcon(QPainter& p, const QRectF& r);
void TableIcon(QPainter& p, const QRectF& r);
void TransferIcon(QPainter& p, const QRectF& r);
void GearIcon(QPainter& p, const QRectF& r);
void NewIcon(QPainter& p, const QRectF& r);
void LoadIcon(QPainter& p, const QRectF& r);
void SaveIcon(QPainter& p, const QRectF& r);
void BoardIcon(QPainter& p, const QRectF& r);
void ReadIcon(QPainter& p, const QRectF& r);
void WriteIcon(QPainter& p, const QRectF& r);
void ModeBadge(QPainter& p, const QRectF& r);  // a small table in the lower right corner
void PanelFileIcon(QPainter& p, const QRectF& r);
void GammaIcon(QPainter& p, const QRectF& r);
void MergeIcon(QPainter& p, const QRectF& r);

// One button face (faces.cpp): a raised (up) or pressed (down) plate with an
// icon and a label. `shift` is how far the content moves while pressed; it
// matches the pressed offset of the focus rectangle of the windows that use
// the face.
QImage Face(QSize size, bool down, int shift, const Icon& icon, const QString& label, const Icon& badge = {});
// The tall picture at the left edge of a page or dialog (faces.cpp).
QImage Strip(QSize size, const QString& word, const Icon& icon, const QColor& accent);

// The main window's pictures and the selection box's icon (main_pictures.cpp).
QImage MainLogo();
QImage MainImage();
QImage Author();
QImage SelectionIcon();

}  // namespace pictures
