// The help boxes 970..975: black text on yellow in a sunken frame, closed by
// "&Cancel". The pages open them with ShowHelpBox.
#pragma once

#include <QDialog>
#include <QStringList>
#include <memory>

namespace Ui {
class HelpBox;
}

enum HelpBoxId {
    kHelpInterfaceArrangement = 970,
    kHelpKesaIdentification = 971,
    kHelpTiming = 972,
    kHelpPowerTiming = 973,
    kHelpDeviceAddress = 974,
    kHelpModeTable = 975,
};

// One line of a box: a single text, or a label and its definition in two columns.
struct HelpLine {
    QString left;
    QString right;  // empty for a single-column line
};

struct HelpBoxText {
    QString title;
    QList<HelpLine> lines;
};

// The title and lines of a box; an unknown id gives an empty text.
HelpBoxText HelpText(int boxId);

class HelpBox : public QDialog {
    Q_OBJECT
public:
    HelpBox(int boxId, QWidget* parent = nullptr);
    ~HelpBox() override;

    int boxId() const { return boxId_; }
    Ui::HelpBox* ui() const { return ui_.get(); }
    // The texts as shown, row by row; two-column rows are "label\tdefinition".
    QStringList shownLines() const;

private:
    int boxId_;
    std::unique_ptr<Ui::HelpBox> ui_;
};

void ShowHelpBox(int boxId, QWidget* owner);
