// A narrow up/down control attached to the right edge of a text field (its
// buddy). Its arrows, and the Up and Down keys in the field, step the field's
// integer value within a range and write it back as plain digits. The field
// stays free text: a value outside the range can still be typed, and it is
// the page's checks that refuse it.
#pragma once

#include <QWidget>

class QLineEdit;
class QToolButton;

class BuddySpin : public QWidget {
    Q_OBJECT
public:
    // The control becomes a sibling of `buddy`, 10 pixels wide, one pixel
    // taller than the field at each end, and follows the field when it moves.
    // `what` names the value for a screen reader ("horizontal pulse width"):
    // the arrows are announced as "Increase ..." and "Decrease ...".
    BuddySpin(QLineEdit* buddy, int minimum, int maximum, const QString& what = QString());

    QLineEdit* buddy() const { return buddy_; }
    int minimum() const { return minimum_; }
    int maximum() const { return maximum_; }
    QToolButton* upButton() const { return up_; }
    QToolButton* downButton() const { return down_; }

    // Reads the field (no digits gives 0), brings the value into the range,
    // adds `steps`, clamps again and writes the result into the field.
    void stepBy(int steps);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void attach();

    QLineEdit* buddy_;
    int minimum_;
    int maximum_;
    QToolButton* up_;
    QToolButton* down_;
};
