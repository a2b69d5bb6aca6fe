#include "timing_diagram.h"

#include "editor_style.h"
#include "small_font.h"

#include <QPainter>

namespace {

QColor SpanColour(picture::SpanKind kind) {
    switch (kind) {
        case picture::SpanKind::Pulse:
            return QColor(40, 40, 140);
        case picture::SpanKind::BackPorch:
            return QColor(120, 150, 210);
        case picture::SpanKind::Display:
            return QColor(110, 190, 110);
        case picture::SpanKind::Rest:
            return QColor(200, 200, 200);
        case picture::SpanKind::Overrun:
            break;
    }
    return warningBrush().color();
}

QString SpanName(picture::SpanKind kind) {
    switch (kind) {
        case picture::SpanKind::Pulse:
            return QStringLiteral("Pulse");
        case picture::SpanKind::BackPorch:
            return QStringLiteral("Back-porch");
        case picture::SpanKind::Display:
            return QStringLiteral("Display");
        case picture::SpanKind::Rest:
            return QStringLiteral("Rest");
        case picture::SpanKind::Overrun:
            break;
    }
    return QStringLiteral("Over total");
}

}  // namespace

TimingDiagram::TimingDiagram(const QString& title, const QString& unit, QWidget* parent)
    : QWidget(parent), title_(title), unit_(unit) {
    setFocusPolicy(Qt::NoFocus);
    setAccessibleName(title);
}

void TimingDiagram::setTiming(uint16_t displayPeriod, uint16_t pulseWidth, uint16_t backPorch, uint16_t minTotal) {
    total_ = minTotal;
    layout_ = picture::LayOutTiming(displayPeriod, pulseWidth, backPorch, minTotal);
    update();
}

picture::Box TimingDiagram::barBox() const {
    // Title above; the sync line, the bar and the names below it.
    return {6, 44, width() - 12.0, 22};
}

QRectF TimingDiagram::spanRect(picture::SpanKind kind) const {
    for (const picture::Span& span : layout_.spans) {
        if (span.kind == kind) {
            const picture::Box b = picture::SpanBox(layout_, span, barBox());
            return {b.x, b.y, b.w, b.h};
        }
    }
    return {};
}

void TimingDiagram::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const picture::Box bar = barBox();
    const QRectF barRect(bar.x, bar.y, bar.w, bar.h);
    const QColor text = palette().color(QPalette::WindowText);

    const QFont small = ScaledFont(font(), 0.85);
    painter.setFont(small);
    painter.setPen(text);
    painter.drawText(QRectF(bar.x, 2, bar.w, 14), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("%1, total %2 %3").arg(title_).arg(total_).arg(unit_));

    if (layout_.extent == 0) return;

    // The sync signal: low during the pulse.
    const QRectF pulse = spanRect(picture::SpanKind::Pulse);
    const double high = 22, low = 36;
    painter.setPen(QPen(text, 1.5));
    if (pulse.isEmpty()) {
        painter.drawLine(QPointF(bar.x, high), QPointF(bar.x + bar.w, high));
    } else {
        const QPointF points[] = {{bar.x, low}, {pulse.right(), low}, {pulse.right(), high}, {bar.x + bar.w, high}};
        painter.drawPolyline(points, 4);
    }

    for (const picture::Span& span : layout_.spans) {
        QRectF r = spanRect(span.kind);
        if (span.kind == picture::SpanKind::Overrun) {
            // A few clocks over a long line would vanish: at least 3 pixels.
            if (r.width() < 3) r.setLeft(r.right() - 3);
            // Over the spans it overruns, in the warning red, with a hatch.
            painter.fillRect(r.adjusted(0, -4, 0, 4), warningBrush());
            painter.fillRect(r.adjusted(0, -4, 0, 4), QBrush(Qt::white, Qt::BDiagPattern));
        } else {
            painter.fillRect(r, SpanColour(span.kind));
        }
    }
    painter.setPen(QPen(text, 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(barRect);

    // Where the total ends.
    const double totalX = bar.x + bar.w * total_ / layout_.extent;
    painter.setPen(QPen(layout_.totalShort ? warningBrush().color() : text, 2));
    painter.drawLine(QPointF(totalX, bar.y - 8), QPointF(totalX, bar.y + bar.h + 4));

    // A legend of names and lengths, flowing over as many rows as it needs.
    const QFontMetricsF metrics(small);
    double x = bar.x;
    double y = bar.y + bar.h + 6;
    for (const picture::Span& span : layout_.spans) {
        const QString label = QStringLiteral("%1 %2").arg(SpanName(span.kind)).arg(span.end - span.begin);
        const double w = 12 + metrics.horizontalAdvance(label) + 10;
        if (x > bar.x && x + w > bar.x + bar.w) {
            x = bar.x;
            y += metrics.height() + 2;
        }
        const QRectF swatch(x, y + (metrics.height() - 8) / 2, 8, 8);
        painter.fillRect(swatch,
                         span.kind == picture::SpanKind::Overrun ? warningBrush() : QBrush(SpanColour(span.kind)));
        painter.setPen(span.kind == picture::SpanKind::Overrun ? warningBrush().color() : text);
        painter.drawText(QPointF(x + 12, y + metrics.ascent()), label);
        x += w;
    }
}
