#include "gamma_power_page.h"

#include "editor_strings.h"
#include "gamma_curve.h"
#include "editor_style.h"
#include "help_box.h"
#include "messages.h"
#include "pages.h"
#include "pictures.h"
#include "tab_stop_list.h"
#include "typed_fields.h"
#include "ui_GammaPowerPage.h"

#include <tolvane/editor_state.h>
#include <tolvane/records.h>
#include <tolvane/typed_numbers.h>

#include <QListWidget>

namespace {

constexpr int kGammaEntries = 256;
constexpr int kMaxGammaValue = 255;
// The delays are bytes in units of 10 ms; the page admits 0..2500 ms.
constexpr int64_t kMaxDelayMs = 2500;
constexpr int kDelayUnitMs = 10;

int64_t ReadField(const QLineEdit* edit) { return ReadTypedInteger(FieldText(edit)); }

// A typed delay the board byte can take. The field holds at most four
// characters, so a negative number is the only other way out of range; it
// is refused rather than wrapped into a large byte.
bool DelayFits(int64_t ms) { return ms >= 0 && ms <= kMaxDelayMs; }

uint8_t DelayByte(int64_t ms) { return static_cast<uint8_t>(ms / kDelayUnitMs); }

}  // namespace

GammaPowerPage::GammaPowerPage(EditorState& state, QWidget* parent)
    : SheetPage(parent), state_(state), ui_(std::make_unique<Ui::GammaPowerPage>()) {
    ui_->setupUi(this);
    setFont(ordinaryFont());
    // The controls sit at fixed places: the sheet must leave the page its size.
    setMinimumSize(size());
    ui_->editImage->setPixmap(EditorPicture(QStringLiteral("EditImage")));
    SetCaptionFont({ui_->generalGroup, ui_->gammaGroup, ui_->powerGroup});
    SetCaptionFont({ui_->updateButton, ui_->onLabel, ui_->offLabel});
    ui_->listHeader->setFont(headingFont());
    // A list takes no name from its label: it is announced by its columns.
    ui_->gammaList->setAccessibleName(ui_->listHeader->text().simplified());

    ui_->valueEdit->setMaxLength(3);
    for (const DelayField& field : delayFields()) field.edit->setMaxLength(4);

    fillList();

    // The curve beside the list lies in the gamma group: it is greyed with it.
    curve_ = new GammaCurve(ui_->gammaGroup);
    curve_->setObjectName(QStringLiteral("gammaCurve"));
    curve_->setGeometry(176, 20, 148, 176);
    curve_->setTable(&state_.editPanel.gammaTable);

    const PanelRecord& record = state_.editPanel;
    const bool useGamma = HasPanelFlag(record, kUseGamma);
    ui_->useGammaCheck->setChecked(useGamma);
    setGammaControlsEnabled(useGamma);
    if (useGamma) ui_->valueEdit->setText(QString::number(record.gammaTable.level[0]));

    for (const DelayField& field : delayFields())
        field.edit->setText(QString::number(int(record.*field.byte) * kDelayUnitMs));

    connect(ui_->gammaList, &QListWidget::itemSelectionChanged, this, &GammaPowerPage::showSelectedEntry);
    connect(ui_->gammaList, &QListWidget::itemSelectionChanged, curve_,
            [this] { curve_->setMarkedEntry(selectedRow()); });
    connect(ui_->updateButton, &QAbstractButton::clicked, this, &GammaPowerPage::UpdateGammaEntry);
    // Connected after the box was set from the record: that is no change by the user.
    connect(ui_->useGammaCheck, &QAbstractButton::toggled, this, &GammaPowerPage::useGammaToggled);
    connect(ui_->helpButton, &QAbstractButton::clicked, this, &GammaPowerPage::showHelp);
}

GammaPowerPage::~GammaPowerPage() = default;

QString GammaPowerPage::GammaRowText(int index, int value) { return QStringLiteral("\t%1\t%2").arg(index).arg(value); }

std::array<GammaPowerPage::DelayField, 4> GammaPowerPage::delayFields() const {
    return {{{ui_->t1Edit, &PanelRecord::powerOnT1},
             {ui_->t2Edit, &PanelRecord::powerOnT2},
             {ui_->t3Edit, &PanelRecord::powerOffT3},
             {ui_->t4Edit, &PanelRecord::powerOffT4}}};
}

void GammaPowerPage::fillList() {
    QListWidget* list = ui_->gammaList;
    list->setUpdatesEnabled(false);
    SetListTabStops(list, {5, 35});
    list->clear();
    for (int i = 0; i < kGammaEntries; ++i) list->addItem(GammaRowText(i, state_.editPanel.gammaTable.level[i]));
    list->setUpdatesEnabled(true);
    list->clearSelection();
}

void GammaPowerPage::setGammaControlsEnabled(bool enabled) {
    // The group first: its contents follow it unless set on their own.
    for (QWidget* control : {static_cast<QWidget*>(ui_->gammaGroup), static_cast<QWidget*>(ui_->listHeader),
                             static_cast<QWidget*>(ui_->gammaList), static_cast<QWidget*>(ui_->valueLabel),
                             static_cast<QWidget*>(ui_->valueEdit), static_cast<QWidget*>(ui_->updateButton)})
        control->setEnabled(enabled);
}

int GammaPowerPage::selectedRow() const {
    const QList<QListWidgetItem*> selected = ui_->gammaList->selectedItems();
    return selected.isEmpty() ? -1 : ui_->gammaList->row(selected.first());
}

void GammaPowerPage::showSelectedEntry() {
    const int row = selectedRow();
    if (row >= 0 && row < kGammaEntries)
        ui_->valueEdit->setText(QString::number(state_.editPanel.gammaTable.level[row]));
}

void GammaPowerPage::useGammaToggled(bool checked) {
    setGammaControlsEnabled(checked);
    if (!checked) {
        ui_->valueEdit->clear();
        return;
    }
    ui_->valueEdit->setText(QString::number(state_.editPanel.gammaTable.level[0]));
    ui_->gammaList->setCurrentRow(0, QItemSelectionModel::ClearAndSelect);
    ui_->gammaList->scrollToTop();
    ui_->gammaList->setFocus();
}

void GammaPowerPage::UpdateGammaEntry() {
    const int row = selectedRow();
    if (row < 0 || row >= kGammaEntries) return;
    const int64_t value = ReadField(ui_->valueEdit);
    if (value < 0 || value > kMaxGammaValue) {
        // The field is read unsigned: a negative number is as far out of
        // range as any other, and 255 goes back into the field. The entry
        // keeps its value until "&Update" is pressed again.
        ui_->valueEdit->setText(QString::number(kMaxGammaValue));
        ShowWarning(kGammaValueRangeText);
        ui_->valueEdit->setFocus();
        return;
    }
    state_.editPanel.gammaTable.level[row] = static_cast<uint8_t>(value);

    QListWidget* list = ui_->gammaList;
    list->setUpdatesEnabled(false);
    list->item(row)->setText(GammaRowText(row, int(value)));
    list->setUpdatesEnabled(true);
    list->setCurrentRow(row, QItemSelectionModel::ClearAndSelect);
    list->setFocus();
    curve_->setMarkedEntry(row);  // redraws with the new entry
}

QLineEdit* GammaPowerPage::firstWrongDelay() const {
    for (const DelayField& field : delayFields()) {
        if (!DelayFits(ReadField(field.edit)))  // an empty field reads 0
            return field.edit;
    }
    return nullptr;
}

bool GammaPowerPage::pageLeave() {
    if (QLineEdit* wrong = firstWrongDelay()) {
        ShowWarning(kPowerTimingRangeText);
        wrong->setFocus();
        return false;
    }
    return true;
}

void GammaPowerPage::storeUseGamma() { SetPanelFlag(state_.editPanel, kUseGamma, ui_->useGammaCheck->isChecked()); }

void GammaPowerPage::pageApply() {
    // The table is not stored here: "&Update" already wrote into the edit copy.
    storeUseGamma();
    for (const DelayField& field : delayFields()) {
        if (field.edit->text().isEmpty()) continue;  // an empty field keeps the stored delay
        const int64_t ms = ReadField(field.edit);
        // The leave check has passed every value that reaches here; one that
        // did not fit would wrap around in the byte, so it keeps the stored delay.
        if (DelayFits(ms)) state_.editPanel.*field.byte = DelayByte(ms);
    }
}

bool GammaPowerPage::storePageRequest() {
    // The check box is stored even when a delay is refused.
    storeUseGamma();
    if (firstWrongDelay()) {
        ShowWarning(kPowerTimingRangeText, kGammaPowerTitle);
        return false;
    }
    for (const DelayField& field : delayFields())
        state_.editPanel.*field.byte = DelayByte(ReadField(field.edit));  // empty stores 0
    return true;
}

void GammaPowerPage::showHelp() { ShowHelpBox(kHelpPowerTiming, this); }

SheetPage* CreateGammaPowerPage(EditorState& state, QWidget* parent) { return new GammaPowerPage(state, parent); }
