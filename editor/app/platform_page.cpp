#include "platform_page.h"

#include "bitmap_button.h"
#include "editor_style.h"
#include "help_box.h"
#include "messages.h"
#include "pages.h"
#include "pictures.h"
#include "transfers.h"
#include "ui_PlatformPage.h"

#include <tolvane/editor_state.h>
#include <tolvane/modes.h>
#include <tolvane/panel.h>

#include <QRadioButton>

namespace {


// Focus rectangle of this page's picture buttons: inset left, top, right,
// bottom, and its shift while pressed.
const QMargins kFocusInset(2, 3, 3, 4);
const QPoint kPressedOffset(1, 1);

void SetUpPictureButton(BitmapButton *button, const char *up, const char *down)
{
    button->setFaces(EditorPicture(QLatin1String(up)), EditorPicture(QLatin1String(down)));
    button->setFocusGeometry(kFocusInset, kPressedOffset);
}

}  // namespace

void CheckPanelRadio(QRadioButton *const (&buttons)[4], int panelNumber)
{
    for (int i = 0; i < 4; ++i) {
        // Auto-exclusive buttons refuse to uncheck the last checked one.
        const bool exclusive = buttons[i]->autoExclusive();
        buttons[i]->setAutoExclusive(false);
        buttons[i]->setChecked(i + 1 == panelNumber);
        buttons[i]->setAutoExclusive(exclusive);
    }
}

int CheckedPanelRadio(QRadioButton *const (&buttons)[4])
{
    for (int i = 0; i < 4; ++i) {
        if (buttons[i]->isChecked())
            return i + 1;
    }
    return 0;
}

PlatformPage::PlatformPage(EditorState &state, QWidget *parent)
    : SheetPage(parent), state_(state), ui_(std::make_unique<Ui::PlatformPage>())
{
    ui_->setupUi(this);
    setFont(ordinaryFont());
    // The controls sit at fixed places: the sheet must leave the page its size.
    setMinimumSize(size());
    ui_->transImage->setPixmap(EditorPicture(QStringLiteral("TransImage")));
    for (QWidget *group : {static_cast<QWidget *>(ui_->generalGroup),
                           static_cast<QWidget *>(ui_->panelGroup),
                           static_cast<QWidget *>(ui_->modeGroup)}) {
        group->setFont(captionFont());
        // Only the caption is bold: the controls inside keep the page's font.
        for (QWidget *child : group->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
            child->setFont(ordinaryFont());
    }
    SetUpPictureButton(ui_->readPanelButton, "ReadUpBtn", "ReadDwnBtn");
    SetUpPictureButton(ui_->writePanelButton, "WriteUpBtn", "WriteDwnBtn");
    SetUpPictureButton(ui_->readModeButton, "ReadMUpBtn", "ReadMDwnBtn");
    SetUpPictureButton(ui_->writeModeButton, "WriteMUpBtn", "WriteMDwnBtn");

    ui_->addressEdit->setMaxLength(3);
    QRadioButton *const radios[4] = {ui_->panel1Radio, ui_->panel2Radio, ui_->panel3Radio,
                                     ui_->panel4Radio};
    CheckPanelRadio(radios, state_.panelNumber);
    ui_->resetCheck->setChecked(state_.resetAfterWrite);
    ui_->addressEdit->setText(QString::number(state_.deviceAddress));

    connect(ui_->readPanelButton, &QAbstractButton::clicked, this, &PlatformPage::readPanel);
    connect(ui_->writePanelButton, &QAbstractButton::clicked, this, &PlatformPage::writePanel);
    connect(ui_->readModeButton, &QAbstractButton::clicked, this, &PlatformPage::readModeTable);
    connect(ui_->writeModeButton, &QAbstractButton::clicked, this, &PlatformPage::writeModeTable);
    connect(ui_->helpButton, &QAbstractButton::clicked, this, &PlatformPage::showHelp);
}

PlatformPage::~PlatformPage() = default;

int PlatformPage::checkedPanel() const
{
    QRadioButton *const radios[4] = {ui_->panel1Radio, ui_->panel2Radio, ui_->panel3Radio,
                                     ui_->panel4Radio};
    return CheckedPanelRadio(radios);
}

void PlatformPage::readPanel()
{
    const std::optional<int> address = DeviceAddressFromEntry(ui_->addressEdit->text());
    if (!address)
        return;
    RunTransfer(state_.config, [&] {
        // A read takes the address and slot but not the reset option.
        state_.deviceAddress = *address;
        state_.panelNumber = checkedPanel();
        if (!ReadPanelFromBoard(this, state_))
            return 0;  // the edit copy and the flags stay as they were
        ImageToPanelRecord(state_.readImage, state_.gammaBuffer, state_.editPanel);
        state_.panelDataAvailable = true;
        return 1;
    });
}

void PlatformPage::writePanel()
{
    if (!state_.panelDataAvailable) {
        ShowWarning(kNoPanelDataText);
        return;
    }
    const std::optional<int> address = DeviceAddressFromEntry(ui_->addressEdit->text());
    if (!address)
        return;
    RunTransfer(state_.config, [&] {
        state_.deviceAddress = *address;
        state_.panelNumber = checkedPanel();
        state_.resetAfterWrite = ui_->resetCheck->isChecked();
        ApplyResolutionClass(state_.editPanel);
        PanelRecordToImage(state_.editPanel, state_.writeImage, state_.gammaBuffer);
        return WritePanelToBoard(this, state_);
    });
}

void PlatformPage::readModeTable()
{
    const std::optional<int> address = DeviceAddressFromEntry(ui_->addressEdit->text());
    if (!address)
        return;
    RunTransfer(state_.config, [&] {
        state_.deviceAddress = *address;
        if (!ReadModeTableFromBoard(this, state_))
            return 0;
        ImageToModeTable(state_.modeTableImage, state_.editModeTable);
        state_.modeTableAvailable = true;
        return 1;
    });
}

void PlatformPage::writeModeTable()
{
    if (!state_.modeTableAvailable) {
        ShowWarning(kNoModeTableText);
        return;
    }
    const std::optional<int> address = DeviceAddressFromEntry(ui_->addressEdit->text());
    if (!address)
        return;
    RunTransfer(state_.config, [&] {
        state_.deviceAddress = *address;
        state_.resetAfterWrite = ui_->resetCheck->isChecked();
        ModeTableToImage(state_.editModeTable, state_.modeTableImage);
        return WriteModeTableToBoard(this, state_);
    });
}

void PlatformPage::showHelp()
{
    ShowHelpBox(kHelpDeviceAddress, this);
}

SheetPage *CreatePlatformPage(EditorState &state, QWidget *parent)
{
    return new PlatformPage(state, parent);
}
