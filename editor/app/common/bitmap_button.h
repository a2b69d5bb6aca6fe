// A picture button drawn by its owner's rule: the button area is filled light
// grey, the up face (or the down face while pressed) is drawn at its natural
// size in the top left corner, and while the button has the keyboard focus a
// focus rectangle is drawn: the button rectangle shrunk by an inset and moved
// right and down by an offset while pressed. The caption ("&E") is not drawn;
// it only gives the keyboard shortcut.
//
// A double-click acts once: its second press is not taken as a new press (a
// write button would otherwise write, and reset the board, twice).
#pragma once

#include <QAbstractButton>
#include <initializer_list>
#include <QMargins>
#include <QPixmap>
#include <QPoint>

class BitmapButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit BitmapButton(QWidget* parent = nullptr);

    void setFaces(const QPixmap& up, const QPixmap& down);
    // Shortcut for setFaces(EditorPicture(stem + "UpBtn"), EditorPicture(stem + "DwnBtn")).
    void setFacesByName(const QString& stem);
    void setFocusGeometry(QMargins inset, QPoint pressedOffset);

    // The focus rectangle for the current pressed state.
    QRect focusRect() const;
    QMargins focusInset() const { return inset_; }
    QPoint pressedOffset() const { return offset_; }
    const QPixmap& upFace() const { return up_; }
    const QPixmap& downFace() const { return down_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    QPixmap up_;
    QPixmap down_;
    QMargins inset_{2, 3, 3, 4};
    QPoint offset_{1, 1};
};

class QLabel;

// Gives a picture button an accessible name and a tooltip, so that a screen
// reader says what it does rather than its mnemonic letter. The caption and
// its mnemonic stay as they are.
void DescribePictureButton(BitmapButton* button, const QString& description);
// The same from the label lines beside the button, joined with blanks
// ("Read panel data" + "from Vantrel-2").
void DescribePictureButton(BitmapButton* button, std::initializer_list<const QLabel*> lines);
