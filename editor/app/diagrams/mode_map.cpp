#include "mode_map.h"

#include "editor_style.h"
#include "small_font.h"

#include <QMouseEvent>
#include <QPainter>

namespace {

QString TenthsText(int tenths) { return QString::number(tenths / 10.0, 'f', 1); }

}  // namespace

ModeMap::ModeMap(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::NoFocus);
    setAccessibleName(QStringLiteral("Mode frequency map"));
}

void ModeMap::setTable(const ModeTable* table) {
    table_ = table;
    update();
}

void ModeMap::setSelectedSlot(int slot) {
    selected_ = slot;
    update();
}

picture::Box ModeMap::plotBox() const {
    // Room for the axis names above and the range numbers below and left.
    constexpr double left = 34, top = 20, right = 8, bottom = 30;
    return {left, top, width() - left - right, height() - top - bottom};
}

QRectF ModeMap::modeRect(int slot) const {
    if (!table_) return {};
    const picture::Box b = picture::ModeBox(*table_, slot, picture::MapRange(*table_), plotBox());
    return {b.x, b.y, b.w, b.h};
}

std::vector<bool> ModeMap::markedModes() const {
    return table_ ? picture::ConfusableModes(*table_) : std::vector<bool>{};
}

void ModeMap::mousePressEvent(QMouseEvent* event) {
    if (!table_ || event->button() != Qt::LeftButton) return;
    const QPointF p = event->position();
    const int slot = picture::ModeAt(*table_, picture::MapRange(*table_), plotBox(), {p.x(), p.y()});
    if (slot >= 0) emit modeClicked(slot);
}

void ModeMap::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const picture::Box box = plotBox();
    const QRectF plot(box.x, box.y, box.w, box.h);
    const QColor text = palette().color(QPalette::WindowText);
    painter.fillRect(plot, Qt::white);
    painter.setPen(QPen(palette().color(QPalette::Mid), 1));
    painter.drawRect(plot);

    const QFont small = ScaledFont(font(), 0.85);
    painter.setFont(small);
    painter.setPen(text);
    painter.drawText(QRectF(0, 2, width(), 16), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("V-Frequ. [Hz] over H-Frequ. [kHz]"));
    if (!table_) return;

    const picture::FreqWindow range = picture::MapRange(*table_);
    painter.drawText(QRectF(plot.left() - 20, plot.bottom() + 2, 40, 14), Qt::AlignCenter, TenthsText(range.hMin));
    painter.drawText(QRectF(plot.right() - 40, plot.bottom() + 2, 40, 14), Qt::AlignRight, TenthsText(range.hMax));
    painter.drawText(QRectF(0, plot.bottom() - 14, plot.left() - 2, 14), Qt::AlignRight, TenthsText(range.vMin));
    painter.drawText(QRectF(0, plot.top(), plot.left() - 2, 14), Qt::AlignRight, TenthsText(range.vMax));
    painter.drawText(QRectF(plot.left(), plot.bottom() + 14, plot.width(), 14), Qt::AlignCenter,
                     QStringLiteral("red: overlapping modes on a shared input"));

    const std::vector<bool> marked = markedModes();
    QColor normalFill(70, 110, 200, 60);
    QColor warningFill = warningBrush().color();
    warningFill.setAlpha(70);
    painter.setClipRect(plot);
    for (int slot = 0; slot < static_cast<int>(marked.size()); ++slot) {
        const QRectF r = modeRect(slot);
        painter.setBrush(marked[static_cast<size_t>(slot)] ? warningFill : normalFill);
        painter.setPen(QPen(marked[static_cast<size_t>(slot)] ? warningBrush().color() : QColor(40, 60, 140), 1));
        painter.drawRect(r);
        painter.setPen(text);
        painter.drawText(r.adjusted(-10, -14, 10, 14), Qt::AlignCenter, QString::number(slot));
    }
    if (selected_ >= 0 && selected_ < static_cast<int>(marked.size())) {
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(Qt::black, 2.5));
        painter.drawRect(modeRect(selected_).adjusted(-2, -2, 2, 2));
    }
}
