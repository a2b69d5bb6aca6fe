#include "gamma_curve.h"

#include "editor_style.h"
#include "small_font.h"

#include <QPainter>
#include <QPainterPath>

GammaCurve::GammaCurve(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::NoFocus);
    setAccessibleName(QStringLiteral("Gamma curve"));
}

void GammaCurve::setTable(const GammaTable* table) {
    table_ = table;
    update();
}

void GammaCurve::setMarkedEntry(int index) {
    marked_ = (index >= 0 && index < 256) ? index : -1;
    update();
}

picture::Box GammaCurve::plotBox() const {
    // Room for the axis numbers below and left of the plot.
    constexpr double left = 20, top = 6, right = 6, bottom = 16;
    return {left, top, width() - left - right, height() - top - bottom};
}

QPointF GammaCurve::entryPoint(int index) const {
    if (!table_) return {};
    const picture::Point p = picture::GammaPoint(plotBox(), index, table_->level[index]);
    return {p.x, p.y};
}

void GammaCurve::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const bool on = isEnabled();
    const QPalette::ColorGroup group = on ? QPalette::Active : QPalette::Disabled;
    const picture::Box box = plotBox();
    const QRectF plot(box.x, box.y, box.w, box.h);

    painter.fillRect(plot, on ? QColor(Qt::white) : palette().color(group, QPalette::Window));
    painter.setPen(QPen(palette().color(group, QPalette::Mid), 1));
    painter.drawRect(plot);

    const QFont small = ScaledFont(font(), 0.8);
    painter.setFont(small);
    painter.setPen(palette().color(group, QPalette::WindowText));
    painter.drawText(QRectF(0, plot.bottom() + 2, plot.left() + 10, 12), Qt::AlignLeft, QStringLiteral("0"));
    painter.drawText(QRectF(plot.right() - 30, plot.bottom() + 2, 30, 12), Qt::AlignRight, QStringLiteral("255"));
    painter.drawText(QRectF(0, plot.top() - 2, plot.left() - 2, 12), Qt::AlignRight, QStringLiteral("255"));

    // The identity line, faint.
    painter.setPen(QPen(palette().color(group, QPalette::Midlight), 1, Qt::DashLine));
    painter.drawLine(plot.bottomLeft(), plot.topRight());

    if (!table_) return;
    QPainterPath curve;
    curve.moveTo(entryPoint(0));
    for (int i = 1; i < 256; ++i) curve.lineTo(entryPoint(i));
    painter.setPen(QPen(on ? QColor(0, 0, 160) : palette().color(group, QPalette::Text), 1.5));
    painter.drawPath(curve);

    // A step down stands out in the warning colour.
    const QColor warning = on ? warningBrush().color() : palette().color(group, QPalette::Text);
    painter.setPen(QPen(warning, 2.5));
    for (int i : picture::FallingSteps(*table_)) painter.drawLine(entryPoint(i - 1), entryPoint(i));

    if (marked_ >= 0) {
        const QPointF p = entryPoint(marked_);
        painter.setPen(QPen(palette().color(group, QPalette::Mid), 1, Qt::DotLine));
        painter.drawLine(QPointF(p.x(), plot.bottom()), p);
        painter.drawLine(QPointF(plot.left(), p.y()), p);
        painter.setPen(QPen(on ? QColor(Qt::black) : palette().color(group, QPalette::Text), 1.5));
        painter.setBrush(on ? QColor(255, 200, 0) : palette().color(group, QPalette::Window));
        painter.drawEllipse(p, 3.5, 3.5);
    }
}
