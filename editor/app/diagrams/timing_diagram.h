// One line or one frame of the sync timing to scale: sync pulse, back-porch,
// display period and the rest up to the minimal total; when the total is
// shorter than the three together, the part beyond it is drawn on the
// warning brush. Only a picture: it takes no focus.
#pragma once

#include <tolvane/picture_geometry.h>

#include <QString>
#include <QWidget>

class TimingDiagram : public QWidget {
    Q_OBJECT
public:
    // `title` names the diagram ("One line"), `unit` its unit ("CLKs").
    TimingDiagram(const QString& title, const QString& unit, QWidget* parent = nullptr);

    void setTiming(uint16_t displayPeriod, uint16_t pulseWidth, uint16_t backPorch, uint16_t minTotal);
    const picture::TimingLayout& layout() const { return layout_; }

    // The bar the spans are laid across, and a span's place on it.
    picture::Box barBox() const;
    // The span of `kind` in widget coordinates; an empty rectangle when absent.
    QRectF spanRect(picture::SpanKind kind) const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString title_;
    QString unit_;
    uint16_t total_ = 0;
    picture::TimingLayout layout_;
};
