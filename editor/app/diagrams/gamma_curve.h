// The gamma table as a curve: input level on x, output level on y, the
// identity line faint behind it, falling steps in the warning colour and the
// selected entry marked. Greyed while disabled. Only a picture: it takes no
// focus and reads the table it is given at each paint.
#pragma once

#include <tolvane/picture_geometry.h>

#include <QWidget>

class GammaCurve : public QWidget {
    Q_OBJECT
public:
    explicit GammaCurve(QWidget* parent = nullptr);

    // The table drawn; it must outlive the widget (the edit copy does).
    void setTable(const GammaTable* table);
    // The entry marked on the curve, -1 for none.
    void setMarkedEntry(int index);
    int markedEntry() const { return marked_; }

    // The plot area and the place of an entry in widget coordinates.
    picture::Box plotBox() const;
    QPointF entryPoint(int index) const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const GammaTable* table_ = nullptr;
    int marked_ = -1;
};
