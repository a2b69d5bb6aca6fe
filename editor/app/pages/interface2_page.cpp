#include "interface2_page.h"

#include "choice_list.h"
#include "editor_strings.h"
#include "editor_style.h"
#include "help_box.h"
#include "pages.h"
#include "panel_pages.h"
#include "pictures.h"
#include "ui_Interface2Page.h"

#include <tolvane/data_lists.h>
#include <tolvane/editor_state.h>

#include <QComboBox>

namespace {

// A drive list shows step 1..7 at index 0..6.
int DriveStepIndex(unsigned step) { return int(step) - 1; }

// The drive step to store: the list's choice, or the stored nibble when the
// list shows none (a step the list does not have).
unsigned ChosenDriveStep(const QComboBox* list, unsigned storedStep) {
    const int index = list->currentIndex();
    return index < 0 ? storedStep : unsigned(index) + 1;
}

}  // namespace

Interface2Page::Interface2Page(EditorState& state, QWidget* parent)
    : SheetPage(parent), state_(state), ui_(std::make_unique<Ui::Interface2Page>()) {
    ui_->setupUi(this);
    setFont(ordinaryFont());
    setMinimumSize(size());
    ui_->editImage->setPixmap(EditorPicture(QStringLiteral("EditImage")));
    SetCaptionFont({ui_->driveGroup, ui_->clockAdjustGroup, ui_->kesaGroup});
    load();
    connect(ui_->helpButton, &QPushButton::clicked, this, &Interface2Page::showHelp);
    EnterPanelPage(kInterface2Page, this);
}

Interface2Page::~Interface2Page() = default;

void Interface2Page::load() {
    const PanelRecord& r = state_.editPanel;
    const int steps = int(kDriveStepCount);
    FillChoiceList(ui_->dataLinesList, kDriveStepTextBase, steps, DriveStepIndex(DataLinesDrive(r)));
    FillChoiceList(ui_->controlLinesList, kDriveStepTextBase, steps, DriveStepIndex(ControlLinesDrive(r)));
    FillChoiceList(ui_->clockDriveList, kDriveStepTextBase, steps, DriveStepIndex(ClockDrive(r)));
    FillChoiceList(ui_->clockAdjustList, kClockAdjustTextBase, int(kClockAdjustmentCount), int(DclkAdjust(r)));
    FillChoiceList(ui_->kesaIdList, kKesaIdTextBase, int(kKesaIdCount), r.kesaId);
}

void Interface2Page::store() {
    PanelRecord& r = state_.editPanel;
    SetPanelFlag(r, kDriveSet, true);
    // The whole word is built anew: the spare bits 6 and 7 become 0.
    const unsigned data = ChosenDriveStep(ui_->dataLinesList, DataLinesDrive(r));
    const unsigned control = ChosenDriveStep(ui_->controlLinesList, ControlLinesDrive(r));
    const unsigned clock = ChosenDriveStep(ui_->clockDriveList, ClockDrive(r));
    const unsigned adjust = ChosenIndex(ui_->clockAdjustList, DclkAdjust(r));
    r.outputDrive =
        static_cast<uint16_t>(((control << kControlLinesDriveShift) & kControlLinesDriveMask) |
                              ((clock << kClockDriveShift) & kClockDriveMask) |
                              ((adjust << kDclkAdjustShift) & kDclkAdjustMask) | (data & kDataLinesDriveMask));
    r.kesaId = static_cast<uint16_t>(ChosenIndex(ui_->kesaIdList, r.kesaId));
}

void Interface2Page::pageApply() { store(); }

bool Interface2Page::storePageRequest() {
    store();
    return true;
}

void Interface2Page::showHelp() { ShowHelpBox(kHelpKesaIdentification, this); }

SheetPage* CreateInterface2Page(EditorState& state, QWidget* parent) { return new Interface2Page(state, parent); }
