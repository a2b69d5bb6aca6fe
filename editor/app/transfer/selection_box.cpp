#include "selection_box.h"

#include "editor_style.h"
#include "pictures.h"
#include "platform_page.h"
#include "transfers.h"
#include "ui_SelectionBox.h"

#include <tolvane/editor_state.h>

#include <QStyle>

namespace {

const QString kIntroWithoutPanel = QStringLiteral("Select options and hide the box for subsequent calls.");

}  // namespace

SelectionBox::SelectionBox(EditorState& state, Layout layout, QWidget* parent)
    : QDialog(parent), state_(state), layout_(layout), ui_(std::make_unique<Ui::SelectionBox>()) {
    ui_->setupUi(this);
    setFont(ordinaryFont());
    setModal(true);
    const QPixmap& icon = EditorPicture(QStringLiteral("SelectionIcon"));
    ui_->iconLabel->setPixmap(icon.isNull() ? style()->standardIcon(QStyle::SP_MessageBoxQuestion).pixmap(32, 32)
                                            : icon);

    SetCaptionFont({ui_->generalGroup, ui_->panelGroup});
    ui_->okButton->setFont(captionFont());
    ui_->cancelButton->setFont(captionFont());

    if (layout_ == Layout::WithoutPanelChoice) {
        ui_->introLabel->setText(kIntroWithoutPanel);
        ui_->panelGroup->hide();
        const int shift = ui_->okButton->y() - ui_->panelGroup->y();
        ui_->okButton->move(ui_->okButton->x(), ui_->okButton->y() - shift);
        ui_->cancelButton->move(ui_->cancelButton->x(), ui_->cancelButton->y() - shift);
        resize(width(), height() - shift);
    } else {
        QRadioButton* const radios[4] = {ui_->panel1Radio, ui_->panel2Radio, ui_->panel3Radio, ui_->panel4Radio};
        CheckPanelRadio(radios, state_.panelNumber);
    }
    ui_->resetCheck->setChecked(state_.resetAfterWrite);
    ui_->hideCheck->setChecked(false);
    ui_->hideCheck->setEnabled(!state_.selectionBoxFromMerge);
    ui_->addressEdit->setText(QString::number(state_.deviceAddress));
    setFixedSize(size());  // the controls sit at fixed places

    connect(ui_->okButton, &QPushButton::clicked, this, &SelectionBox::accept);
    connect(ui_->cancelButton, &QPushButton::clicked, this, &SelectionBox::reject);
}

SelectionBox::~SelectionBox() = default;

void SelectionBox::accept() {
    const std::optional<int> address = DeviceAddressFromEntry(ui_->addressEdit->text());
    if (!address) return;
    state_.deviceAddress = *address;
    if (layout_ == Layout::WithPanelChoice) {
        QRadioButton* const radios[4] = {ui_->panel1Radio, ui_->panel2Radio, ui_->panel3Radio, ui_->panel4Radio};
        state_.panelNumber = CheckedPanelRadio(radios);
    } else {
        state_.panelNumber = 0;  // this layout has no panel choice
    }
    state_.resetAfterWrite = ui_->resetCheck->isChecked();
    state_.hideSelectionBox = ui_->hideCheck->isChecked();
    QDialog::accept();
}

int ShowSelectionBox(EditorState& state, SelectionBox::Layout layout, QWidget* parent) {
    SelectionBox box(state, layout, parent);
    return box.exec() == QDialog::Accepted ? 1 : 0;
}
