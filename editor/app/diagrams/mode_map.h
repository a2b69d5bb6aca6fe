// The entries of a mode table in the horizontal/vertical frequency plane:
// each entry a box of its frequency tolerances, boxes of entries that share
// an enabled input and overlap drawn in the warning colour, the selected
// entry's box emphasised. A click on a box reports its slot; the map itself
// changes nothing and takes no focus.
#pragma once

#include <tolvane/picture_geometry.h>

#include <QWidget>

class ModeMap : public QWidget {
    Q_OBJECT
public:
    explicit ModeMap(QWidget* parent = nullptr);

    // The table drawn; it must outlive the widget (the edit copy does).
    void setTable(const ModeTable* table);
    void setSelectedSlot(int slot);
    int selectedSlot() const { return selected_; }

    picture::Box plotBox() const;
    // Entry `slot`'s box in widget coordinates.
    QRectF modeRect(int slot) const;
    // The entries drawn as confusable with another one.
    std::vector<bool> markedModes() const;

signals:
    void modeClicked(int slot);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    const ModeTable* table_ = nullptr;
    int selected_ = -1;
};
