#include "interface1_page.h"

#include "choice_list.h"
#include "editor_strings.h"
#include "editor_style.h"
#include "help_box.h"
#include "messages.h"
#include "pages.h"
#include "panel_hotkey_write.h"
#include "panel_pages.h"
#include "pictures.h"
#include "ui_Interface1Page.h"
#include "write_hotkey.h"

#include <tolvane/data_lists.h>
#include <tolvane/editor_state.h>

#include <QRegularExpressionValidator>

#include <algorithm>
#include <cstring>

namespace {

constexpr int kDisplayNameLength = int(sizeof(PanelRecord::displayName));
constexpr uint16_t kDepth18 = 6;  // bits per colour component of an 18-bit panel
constexpr uint16_t kDepth24 = 8;  // of a 24-bit panel

// The panelFlags bits this page stores.
constexpr uint16_t kPageFlags = kCorrectionMask | kClockInvert | kDualPixel | kHsyncInvert | kVsyncInvert;

}  // namespace

Interface1Page::Interface1Page(EditorState& state, QWidget* parent)
    : SheetPage(parent), state_(state), ui_(std::make_unique<Ui::Interface1Page>()) {
    ui_->setupUi(this);
    setFont(ordinaryFont());
    // The controls sit at fixed places: the sheet must leave the page its size.
    setMinimumSize(size());
    ui_->editImage->setPixmap(EditorPicture(QStringLiteral("EditImage")));
    SetCaptionFont({ui_->identificationGroup, ui_->arrangementGroup, ui_->polarityGroup});

    // The name goes to the board byte for byte: typed characters are kept to
    // those that have one byte (a name from a file may hold any of them).
    ui_->nameEdit->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[\\x{01}-\\x{FF}]*")), ui_->nameEdit));

    load();

    for (QRadioButton* radio : {ui_->width1x18Radio, ui_->width1x24Radio, ui_->width2x18Radio, ui_->width2x24Radio})
        connect(radio, &QRadioButton::toggled, this, &Interface1Page::updateCorrectionEnabled);
    connect(ui_->helpButton, &QPushButton::clicked, this, &Interface1Page::showHelp);

    RegisterWriteHotkey(this, state_.config.writeHotkey);  // a taken key is not reported
    EnterPanelPage(kInterface1Page, this);
}

Interface1Page::~Interface1Page() { UnregisterWriteHotkey(this); }

void Interface1Page::load() {
    const PanelRecord& r = state_.editPanel;
    ui_->nameEdit->setMaxLength(kDisplayNameLength);
    ui_->nameEdit->setText(QString::fromLatin1(r.displayName, qsizetype(strnlen(r.displayName, kDisplayNameLength))));

    FillChoiceList(ui_->manufacturerList, kManufacturerTextBase, int(kManufacturerCount), r.manufacturer);
    loadedCorrection_ = Correction(r);
    FillChoiceList(ui_->correctionList, kCorrectionTextBase, int(kCorrectionCount), int(loadedCorrection_));

    ui_->hsyncCheck->setChecked(HasPanelFlag(r, kHsyncInvert));
    ui_->vsyncCheck->setChecked(HasPanelFlag(r, kVsyncInvert));
    ui_->clockInvertCheck->setChecked(HasPanelFlag(r, kClockInvert));

    const bool dual = HasPanelFlag(r, kDualPixel);
    if (r.colorDepth == kDepth18) (dual ? ui_->width2x18Radio : ui_->width1x18Radio)->setChecked(true);
    else if (r.colorDepth == kDepth24) (dual ? ui_->width2x24Radio : ui_->width1x24Radio)->setChecked(true);
    // Any other depth checks no radio and leaves the correction enabled.
    updateCorrectionEnabled();
}

Interface1Page::Width Interface1Page::checkedWidth() const {
    if (ui_->width1x18Radio->isChecked()) return Width::Single18;
    if (ui_->width1x24Radio->isChecked()) return Width::Single24;
    if (ui_->width2x18Radio->isChecked()) return Width::Dual18;
    if (ui_->width2x24Radio->isChecked()) return Width::Dual24;
    return Width::None;
}

void Interface1Page::updateCorrectionEnabled() {
    // Only 24-bit panels take a correction; with no arrangement chosen the
    // list stays usable.
    const Width width = checkedWidth();
    const bool enabled = width != Width::Single18 && width != Width::Dual18;
    ui_->correctionList->setEnabled(enabled);
    ui_->correctionLabel->setEnabled(enabled);
}

QString Interface1Page::displayName() const { return ui_->nameEdit->text().left(kDisplayNameLength); }

void Interface1Page::storeFlags() {
    PanelRecord& r = state_.editPanel;
    const bool wasDual = HasPanelFlag(r, kDualPixel);
    r.panelFlags = static_cast<uint16_t>(r.panelFlags & ~kPageFlags);
    SetPanelFlag(r, kHsyncInvert, ui_->hsyncCheck->isChecked());
    SetPanelFlag(r, kVsyncInvert, ui_->vsyncCheck->isChecked());
    SetPanelFlag(r, kClockInvert, ui_->clockInvertCheck->isChecked());
    switch (checkedWidth()) {
        case Width::Single18:
            r.colorDepth = kDepth18;
            break;
        case Width::Single24:
            r.colorDepth = kDepth24;
            break;
        case Width::Dual18:
            SetPanelFlag(r, kDualPixel, true);
            r.colorDepth = kDepth18;
            break;
        case Width::Dual24:
            SetPanelFlag(r, kDualPixel, true);
            r.colorDepth = kDepth24;
            break;
        case Width::None:
            // A depth the radios cannot show: the arrangement stays as it was.
            SetPanelFlag(r, kDualPixel, wasDual);
            break;
    }
}

void Interface1Page::storeIdentification() {
    PanelRecord& r = state_.editPanel;
    const QByteArray name = displayName().toLatin1();
    std::memset(r.displayName, 0, sizeof r.displayName);
    std::memcpy(r.displayName, name.constData(), std::min<std::size_t>(std::size_t(name.size()), sizeof r.displayName));
    r.manufacturer = static_cast<uint16_t>(ChosenIndex(ui_->manufacturerList, r.manufacturer));
    SetCorrection(r, ChosenIndex(ui_->correctionList, loadedCorrection_));
}

bool Interface1Page::pageLeave() {
    if (displayName().isEmpty()) {
        ShowWarning(kNoDisplayNameText);
        ui_->nameEdit->setFocus();
        return false;
    }
    return true;
}

void Interface1Page::pageApply() {
    storeFlags();
    storeIdentification();
    UnregisterWriteHotkey(this);
}

void Interface1Page::pageCancel() { UnregisterWriteHotkey(this); }

bool Interface1Page::storePageRequest() {
    storeFlags();
    if (displayName().isEmpty()) {
        ShowWarning(kNoDisplayNameText, kInterface1Title);
        return false;
    }
    storeIdentification();
    return true;
}

void Interface1Page::customEvent(QEvent* event) {
    if (event->type() == WriteHotkeyEvent::eventType()) {
        if (WriteHotkeyMayAct(this)) HotkeyPanelWrite(this, state_);
        return;
    }
    SheetPage::customEvent(event);
}

void Interface1Page::showHelp() { ShowHelpBox(kHelpInterfaceArrangement, this); }

SheetPage* CreateInterface1Page(EditorState& state, QWidget* parent) { return new Interface1Page(state, parent); }
