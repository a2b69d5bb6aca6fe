#include "bitmap_button.h"

#include "pictures.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPainter>

BitmapButton::BitmapButton(QWidget* parent) : QAbstractButton(parent) {
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void BitmapButton::setFaces(const QPixmap& up, const QPixmap& down) {
    up_ = up;
    down_ = down;
    updateGeometry();
    update();
}

void BitmapButton::setFacesByName(const QString& stem) {
    setFaces(EditorPicture(UpFaceName(stem)), EditorPicture(DownFaceName(stem)));
}

void BitmapButton::setFocusGeometry(QMargins inset, QPoint pressedOffset) {
    inset_ = inset;
    offset_ = pressedOffset;
    update();
}

QRect BitmapButton::focusRect() const {
    QRect r = rect().marginsRemoved(inset_);
    if (isDown()) r.translate(offset_);
    return r;
}

QSize BitmapButton::sizeHint() const {
    if (!up_.isNull()) return up_.deviceIndependentSize().toSize();
    return QSize(74, 32);
}

QSize BitmapButton::minimumSizeHint() const { return sizeHint(); }

void BitmapButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), QColor(192, 192, 192));
    const QPixmap& face = isDown() ? down_ : up_;
    if (!face.isNull()) p.drawPixmap(QPoint(0, 0), face);
    if (hasFocus()) {
        // A dotted rectangle like the platform's focus rectangle.
        QPen pen(Qt::black, 1, Qt::DotLine);
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        const QRect r = focusRect();
        p.drawRect(r.adjusted(0, 0, -1, -1));
    }
}

void BitmapButton::mouseDoubleClickEvent(QMouseEvent* event) {
    // The second press of a double-click arrives as this event alone; by
    // default a widget takes it as one more press, which clicks again.
    event->accept();
}

void DescribePictureButton(BitmapButton* button, const QString& description) {
    button->setAccessibleName(description);
    button->setToolTip(description);
}

void DescribePictureButton(BitmapButton* button, std::initializer_list<const QLabel*> lines) {
    QStringList words;
    for (const QLabel* line : lines) words << line->text().simplified();
    DescribePictureButton(button, words.join(QLatin1Char(' ')));
}
