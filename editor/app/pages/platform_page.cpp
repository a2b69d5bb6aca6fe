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

void SetUpPictureButton(BitmapButton* button, const char* faces) {
    button->setFacesByName(QLatin1String(faces));
    button->setFocusGeometry(kFocusInset, kPressedOffset);
}

}  // namespace

void CheckPanelRadio(QRadioButton* const (&buttons)[4], int panelNumber) {
    for (int i = 0; i < 4; ++i) {
        // Auto-exclusive buttons refuse to uncheck the last checked one.
        const bool exclusive = buttons[i]->autoExclusive();
        buttons[i]->setAutoExclusive(false);
        buttons[i]->setChecked(i + 1 == panelNumber);
        buttons[i]->setAutoExclusive(exclusive);
    }
}

int CheckedPanelRadio(QRadioButton* const (&buttons)[4]) {
    for (int i = 0; i < 4; ++i) {
        if (buttons[i]->isChecked()) return i + 1;
    }
    return 0;
}

PlatformPage::PlatformPage(EditorState& state, QWidget* parent)
    : SheetPage(parent), state_(state), ui_(std::make_unique<Ui::PlatformPage>()) {
    ui_->setupUi(this);
    setFont(ordinaryFont());
    // The controls sit at fixed places: the sheet must leave the page its size.
    setMinimumSize(size());
    ui_->transImage->setPixmap(EditorPicture(QStringLiteral("TransImage")));
    SetCaptionFont({ui_->generalGroup, ui_->panelGroup, ui_->modeGroup});
    SetUpPictureButton(ui_->readPanelButton, "Read");
    SetUpPictureButton(ui_->writePanelButton, "Write");
    SetUpPictureButton(ui_->readModeButton, "ReadM");
    SetUpPictureButton(ui_->writeModeButton, "WriteM");
    DescribePictureButton(ui_->readPanelButton, {ui_->readPanelLabel1, ui_->readPanelLabel2});
    DescribePictureButton(ui_->writePanelButton, {ui_->writePanelLabel1, ui_->writePanelLabel2});
    DescribePictureButton(ui_->readModeButton, {ui_->readModeLabel1, ui_->readModeLabel2});
    DescribePictureButton(ui_->writeModeButton, {ui_->writeModeLabel1, ui_->writeModeLabel2});

    ui_->addressEdit->setMaxLength(3);
    QRadioButton* const radios[4] = {ui_->panel1Radio, ui_->panel2Radio, ui_->panel3Radio, ui_->panel4Radio};
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

int PlatformPage::checkedPanel() const {
    QRadioButton* const radios[4] = {ui_->panel1Radio, ui_->panel2Radio, ui_->panel3Radio, ui_->panel4Radio};
    return CheckedPanelRadio(radios);
}

void PlatformPage::transferAt(const std::function<int(int address)>& body) {
    // A bad address is reported and nothing is stored or opened.
    const std::optional<int> address = DeviceAddressFromEntry(ui_->addressEdit->text());
    if (address) RunTransfer(state_.config, [&] { return body(*address); });
}

void PlatformPage::readPanel() {
    transferAt([this](int address) {
        // A read takes the address and slot but not the reset option.
        state_.deviceAddress = address;
        state_.panelNumber = checkedPanel();
        if (!ReadPanelFromBoard(this, state_)) return 0;  // the edit copy and the flags stay as they were
        ImageToPanelRecord(state_.readImage, state_.gammaBuffer, state_.editPanel);
        state_.panelDataAvailable = true;
        return 1;
    });
}

void PlatformPage::writePanel() {
    if (!state_.panelDataAvailable) {
        ShowWarning(kNoPanelDataText);
        return;
    }
    transferAt([this](int address) {
        state_.deviceAddress = address;
        state_.panelNumber = checkedPanel();
        state_.resetAfterWrite = ui_->resetCheck->isChecked();
        ApplyResolutionClass(state_.editPanel);
        PanelRecordToImage(state_.editPanel, state_.writeImage, state_.gammaBuffer);
        return WritePanelToBoard(this, state_);
    });
}

void PlatformPage::readModeTable() {
    transferAt([this](int address) {
        state_.deviceAddress = address;
        if (!ReadModeTableFromBoard(this, state_)) return 0;
        ImageToModeTable(state_.modeTableImage, state_.editModeTable);
        state_.modeTableAvailable = true;
        return 1;
    });
}

void PlatformPage::writeModeTable() {
    if (!state_.modeTableAvailable) {
        ShowWarning(kNoModeTableText);
        return;
    }
    transferAt([this](int address) {
        state_.deviceAddress = address;
        state_.resetAfterWrite = ui_->resetCheck->isChecked();
        ModeTableToImage(state_.editModeTable, state_.modeTableImage);
        return WriteModeTableToBoard(this, state_);
    });
}

void PlatformPage::showHelp() { ShowHelpBox(kHelpDeviceAddress, this); }

SheetPage* CreatePlatformPage(EditorState& state, QWidget* parent) { return new PlatformPage(state, parent); }
