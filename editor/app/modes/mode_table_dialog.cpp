#include "mode_table_dialog.h"

#include "editor_strings.h"
#include "editor_style.h"
#include "help_box.h"
#include "messages.h"
#include "mode_map.h"
#include "pictures.h"
#include "selection_box.h"
#include "tab_stop_list.h"
#include "transfers.h"
#include "typed_fields.h"
#include "ui_ModeTableDialog.h"
#include "write_hotkey.h"

#include <tolvane/editor_state.h>
#include <tolvane/modes.h>
#include <tolvane/typed_numbers.h>

#include <QCheckBox>
#include <QComboBox>
#include <QListWidget>
#include <QSignalBlocker>

namespace {

// Only this many characters of a field are read.
constexpr int kFieldReadLength = 15;

QString FrequencyText(int64_t tenths) { return QString::fromStdString(FormatScaled(tenths, 1)); }

int64_t ReadFrequency(const QLineEdit* field) { return ReadTypedScaled(FieldText(field, kFieldReadLength), 1); }

int64_t ReadInteger(const QLineEdit* field) { return ReadTypedInteger(FieldText(field, kFieldReadLength)); }

// Redrawing is off while a list is filled.
class UpdatesOff {
public:
    explicit UpdatesOff(QWidget* widget) : widget_(widget) { widget_->setUpdatesEnabled(false); }
    ~UpdatesOff() { widget_->setUpdatesEnabled(true); }
    UpdatesOff(const UpdatesOff&) = delete;
    UpdatesOff& operator=(const UpdatesOff&) = delete;

private:
    QWidget* widget_;
};

}  // namespace

QString ModeRowText(const ModeEntry& entry, int slot) {
    return QStringLiteral("\t%1\t%2 x %3\t%4")
        .arg(slot)
        .arg(entry.activeWidth)
        .arg(entry.activeHeight)
        .arg(FrequencyText(entry.vFreq));
}

void FillModeList(QListWidget* list, const ModeTable& table, int row) {
    const QSignalBlocker blocker(list);
    const UpdatesOff updatesOff(list);
    list->clear();
    const int count = static_cast<int>(UsedModeCount(table));
    for (int slot = 0; slot < count; ++slot) list->addItem(ModeRowText(table.entries[slot], slot));
    if (row >= 0 && row < count) {
        list->setCurrentRow(row);
    } else {
        list->setCurrentRow(-1);
        list->clearSelection();
    }
}

void FillScanTypeList(QComboBox* list, int index) {
    const QSignalBlocker blocker(list);
    const UpdatesOff updatesOff(list);
    list->addItems(EditorTextList(kModeTypeTextBase, kModeTypeCount));
    list->setCurrentIndex(index < list->count() ? index : -1);
}

QString ModeEntryFaultText(ModeEntryFault fault) { return QString::fromLatin1(ModeEntryFaultMessage(fault)); }

ModeTableDialog::ModeTableDialog(EditorState& state, QWidget* parent)
    : QDialog(parent), state_(state), ui_(std::make_unique<Ui::ModeTableDialog>()) {
    ui_->setupUi(this);
    setFont(ordinaryFont());
    setFixedSize(size());  // the controls sit at fixed places
    ui_->modeImage->setPixmap(EditorPicture(QStringLiteral("ModeImage")));

    SetCaptionFont({ui_->addButton, ui_->delButton, ui_->upButton, ui_->downButton, ui_->updateButton, ui_->modeFrame,
                    ui_->okButton, ui_->cancelButton});
    ui_->columnHeading->setFont(headingFont());
    // A list takes no name from its label: it is announced by its columns.
    ui_->modeList->setAccessibleName(ui_->columnHeading->text().simplified());

    for (const FieldLimit& limit : fieldLimits()) limit.field->setMaxLength(limit.length);

    SetListTabStops(ui_->modeList, kModeListTabStops);
    FillModeList(ui_->modeList, state_.editModeTable, 0);
    FillScanTypeList(ui_->modeTypeCombo, static_cast<int>(ScanType(state_.editModeTable.entries[0])));
    ShowModeEntry(0);
    // There is no tolerance of the horizontal total: its label is greyed.
    ui_->hTotalTolLabel->setEnabled(false);

    connect(ui_->modeList, &QListWidget::itemSelectionChanged, this, &ModeTableDialog::selectionChanged);

    // The map right of the described controls. It follows the list: every
    // change of the table refills or rewrites rows, and the selection model
    // reports even the changes the list's own signals keep quiet about.
    modeMap_ = new ModeMap(this);
    modeMap_->setObjectName(QStringLiteral("modeMap"));
    modeMap_->setGeometry(582, 48, 240, 386);
    modeMap_->setTable(&state_.editModeTable);
    const auto followList = [this] { modeMap_->setSelectedSlot(selectedRow()); };
    QAbstractItemModel* rows = ui_->modeList->model();
    connect(rows, &QAbstractItemModel::dataChanged, modeMap_, followList);
    connect(rows, &QAbstractItemModel::rowsInserted, modeMap_, followList);
    connect(rows, &QAbstractItemModel::rowsRemoved, modeMap_, followList);
    connect(rows, &QAbstractItemModel::modelReset, modeMap_, followList);
    connect(ui_->modeList->selectionModel(), &QItemSelectionModel::selectionChanged, modeMap_, followList);
    // A click on a box selects its row as a click in the list would.
    connect(modeMap_, &ModeMap::modeClicked, this, [this](int slot) {
        ui_->modeList->setCurrentRow(slot, QItemSelectionModel::ClearAndSelect);
        ui_->modeList->scrollToItem(ui_->modeList->item(slot));
    });
    followList();
    connect(ui_->addButton, &QPushButton::clicked, this, &ModeTableDialog::addMode);
    connect(ui_->delButton, &QPushButton::clicked, this, &ModeTableDialog::deleteMode);
    connect(ui_->upButton, &QPushButton::clicked, this, &ModeTableDialog::moveUp);
    connect(ui_->downButton, &QPushButton::clicked, this, &ModeTableDialog::moveDown);
    connect(ui_->helpButton, &QPushButton::clicked, this, &ModeTableDialog::showHelp);
    connect(ui_->updateButton, &QPushButton::clicked, this, &ModeTableDialog::updateEntry);
    connect(ui_->okButton, &QPushButton::clicked, this, [this] { done(1); });
    connect(ui_->cancelButton, &QPushButton::clicked, this, [this] { done(0); });

    // A key that cannot be registered does nothing; that is not reported.
    RegisterWriteHotkey(this, state_.config.writeHotkey);
}

ModeTableDialog::~ModeTableDialog() {
    // The map follows the list's rows, which go away after this dialog part.
    delete modeMap_;
    UnregisterWriteHotkey(this);
}

std::array<ModeTableDialog::FieldLimit, 11> ModeTableDialog::fieldLimits() const {
    return {{
        {ui_->hFreqEdit, 5},
        {ui_->vFreqEdit, 5},
        {ui_->hFreqTolEdit, 4},
        {ui_->vFreqTolEdit, 4},
        {ui_->hTotalEdit, 4},
        {ui_->vTotalEdit, 4},
        {ui_->vTotalTolEdit, 3},
        {ui_->widthEdit, 4},
        {ui_->heightEdit, 4},
        {ui_->hStartEdit, 4},
        {ui_->vStartEdit, 4},
    }};
}

int ModeTableDialog::selectedRow() const {
    const QList<QListWidgetItem*> selected = ui_->modeList->selectedItems();
    return selected.isEmpty() ? -1 : ui_->modeList->row(selected.first());
}

void ModeTableDialog::setFrameTitle(int slot) { ui_->modeFrame->setTitle(QStringLiteral(" Mode %1 ").arg(slot)); }

void ModeTableDialog::ShowModeEntry(int slot) {
    if (state_.editModeTable.modeCount == 0 || slot < 0 || slot >= static_cast<int>(kMaxModes)) return;
    const ModeEntry& entry = state_.editModeTable.entries[slot];
    setFrameTitle(slot);
    // Stored values are shown whole, even past a field's limit (a table from a
    // board or a file): a cut value would be stored cut by the next Update.
    const QString texts[] = {
        FrequencyText(entry.hFreq),       FrequencyText(entry.vFreq),         FrequencyText(entry.hFreqTol),
        FrequencyText(entry.vFreqTol),    QString::number(entry.hTotal),      QString::number(entry.vTotal),
        QString::number(entry.vTotalTol), QString::number(entry.activeWidth), QString::number(entry.activeHeight),
        QString::number(entry.hStart),    QString::number(entry.vStart),
    };
    const std::array<FieldLimit, 11> limits = fieldLimits();
    for (std::size_t i = 0; i < limits.size(); ++i) ShowInField(limits[i].field, texts[i], limits[i].length);
    // A scan type beyond the four of the list (a table made elsewhere) shows
    // no selection and is kept as it is when the entry is stored again.
    shownScanType_ = ScanType(entry);
    ui_->modeTypeCombo->setCurrentIndex(
        shownScanType_ < static_cast<unsigned>(ui_->modeTypeCombo->count()) ? static_cast<int>(shownScanType_) : -1);
    ui_->analogCheck->setChecked(HasModeFlag(entry, kEnableAnalog));
    ui_->digitalCheck->setChecked(HasModeFlag(entry, kEnableDigital));
    ui_->videoCheck->setChecked(HasModeFlag(entry, kEnableVideo));
}

void ModeTableDialog::clearFields() {
    ui_->modeFrame->setTitle(QString());
    for (const FieldLimit& limit : fieldLimits()) {
        limit.field->setMaxLength(limit.length);
        limit.field->clear();
    }
    for (QCheckBox* check : {ui_->analogCheck, ui_->digitalCheck, ui_->videoCheck}) check->setChecked(false);
}

TypedModeEntry ModeTableDialog::readFields() const {
    TypedModeEntry typed;
    typed.hFreq = ReadFrequency(ui_->hFreqEdit);
    typed.vFreq = ReadFrequency(ui_->vFreqEdit);
    typed.hFreqTol = ReadFrequency(ui_->hFreqTolEdit);
    typed.vFreqTol = ReadFrequency(ui_->vFreqTolEdit);
    typed.hTotal = ReadInteger(ui_->hTotalEdit);
    typed.vTotal = ReadInteger(ui_->vTotalEdit);
    typed.vTotalTol = ReadInteger(ui_->vTotalTolEdit);
    typed.activeWidth = ReadInteger(ui_->widthEdit);
    typed.activeHeight = ReadInteger(ui_->heightEdit);
    typed.hStart = ReadInteger(ui_->hStartEdit);
    typed.vStart = ReadInteger(ui_->vStartEdit);
    const int scanIndex = ui_->modeTypeCombo->currentIndex();
    typed.scanType = scanIndex >= 0 ? static_cast<unsigned>(scanIndex) : shownScanType_;
    typed.enables = static_cast<uint8_t>((ui_->analogCheck->isChecked() ? kEnableAnalog : 0) |
                                         (ui_->digitalCheck->isChecked() ? kEnableDigital : 0) |
                                         (ui_->videoCheck->isChecked() ? kEnableVideo : 0));
    return typed;
}

QWidget* ModeTableDialog::focusOfFault(ModeEntryFault fault) const {
    switch (fault) {
        case ModeEntryFault::None:
            return nullptr;
        case ModeEntryFault::HFreq:
            return ui_->hFreqEdit;
        case ModeEntryFault::VFreq:
            return ui_->vFreqEdit;
        case ModeEntryFault::HFreqTol:
            return ui_->hFreqTolEdit;
        case ModeEntryFault::VFreqTol:
            return ui_->vFreqTolEdit;
        case ModeEntryFault::HTotal:
            return ui_->hTotalEdit;
        case ModeEntryFault::VTotal:
            return ui_->vTotalEdit;
        case ModeEntryFault::VTotalTol:
            return ui_->vTotalTolEdit;
        case ModeEntryFault::Width:
            return ui_->widthEdit;
        case ModeEntryFault::Height:
            return ui_->heightEdit;
        case ModeEntryFault::HStart:
            return ui_->hStartEdit;
        case ModeEntryFault::VStart:
            return ui_->vStartEdit;
        case ModeEntryFault::NoInput:
            return ui_->analogCheck;
        // The sums are faults of the total period.
        case ModeEntryFault::HorizontalSum:
            return ui_->hTotalEdit;
        case ModeEntryFault::VerticalSum:
            return ui_->vTotalEdit;
    }
    return nullptr;
}

int ModeTableDialog::StoreModeEntry(int slot, bool insert) {
    ModeTable& table = state_.editModeTable;
    if (table.modeCount == 0 || slot < 0 || slot >= static_cast<int>(kMaxModes)) return 0;
    const TypedModeEntry typed = readFields();
    const ModeEntryFault fault = CheckModeEntry(typed);
    if (fault != ModeEntryFault::None) {
        ShowWarning(ModeEntryFaultText(fault));
        focusOfFault(fault)->setFocus();
        return 0;
    }
    if (insert && !OpenModeGap(table, static_cast<unsigned>(slot)))
        return 0;  // no room: the callers refuse a full table before
    StoreTypedModeEntry(typed, table.entries[slot]);
    return 1;
}

void ModeTableDialog::selectionChanged() {
    const int row = selectedRow();
    if (row >= 0) ShowModeEntry(row);
}

void ModeTableDialog::updateEntry() {
    const int row = selectedRow();
    if (row < 0 || !StoreModeEntry(row, false)) return;
    {
        const QSignalBlocker blocker(ui_->modeList);
        ui_->modeList->item(row)->setText(ModeRowText(state_.editModeTable.entries[row], row));
        ui_->modeList->setCurrentRow(row);
    }
    ui_->modeList->setFocus();
}

void ModeTableDialog::addMode() {
    ModeTable& table = state_.editModeTable;
    if (table.modeCount >= kMaxModes) {
        ShowWarning(kModeTableLimitText);
        return;
    }
    const int row = selectedRow();
    if (row < 0 || !StoreModeEntry(row, true)) return;
    table.modeCount = static_cast<uint16_t>(table.modeCount + 1);
    FillModeList(ui_->modeList, table, row);
    ui_->modeList->setFocus();
}

void ModeTableDialog::deleteMode() {
    ModeTable& table = state_.editModeTable;
    if (table.modeCount <= 1) {
        ShowWarning(kOneModeNeededText);
        return;
    }
    const int row = selectedRow();
    if (row < 0 || !DeleteModeEntry(table, static_cast<unsigned>(row))) return;
    FillModeList(ui_->modeList, table, row - 1);
    // The fields follow the selection: left on the deleted entry, they would
    // let "&Update" copy it over the entry now selected.
    if (selectedRow() >= 0) ShowModeEntry(selectedRow());
    else clearFields();
    ui_->modeList->setFocus();
}

void ModeTableDialog::moveUp() {
    const int row = selectedRow();
    if (row <= 0 || !SwapModeEntries(state_.editModeTable, static_cast<unsigned>(row - 1), static_cast<unsigned>(row)))
        return;
    FillModeList(ui_->modeList, state_.editModeTable, row - 1);
    setFrameTitle(row - 1);
    ui_->modeList->setFocus();
}

void ModeTableDialog::moveDown() {
    const int row = selectedRow();
    if (row < 0 || !SwapModeEntries(state_.editModeTable, static_cast<unsigned>(row), static_cast<unsigned>(row + 1)))
        return;
    FillModeList(ui_->modeList, state_.editModeTable, row + 1);
    setFrameTitle(row + 1);
    ui_->modeList->setFocus();
}

void ModeTableDialog::showHelp() { ShowHelpBox(kHelpModeTable, this); }

void ModeTableDialog::writeModeTable() {
    // A press during the selection box or the transfer starts no second write.
    if (writeRunning_) return;
    writeRunning_ = true;
    struct Finished {
        bool& running;
        ~Finished() { running = false; }
    } finished{writeRunning_};

    if (!state_.hideSelectionBox && ShowSelectionBox(state_, SelectionBox::Layout::WithoutPanelChoice, this) <= 0)
        return;
    // The edit copy as it stands: what Update, Add, Del, Up and Down stored.
    ModeTableToImage(state_.editModeTable, state_.modeTableImage);
    RunTransfer(state_.config, [this] { return WriteModeTableToBoard(this, state_); });
}

void ModeTableDialog::customEvent(QEvent* event) {
    if (event->type() == WriteHotkeyEvent::eventType()) {
        // A press still queued when the dialog ended writes nothing, nor one
        // that comes while a message or another dialog is open over it.
        if (isVisible() && WriteHotkeyMayAct(this)) writeModeTable();
        return;
    }
    QDialog::customEvent(event);
}

void ModeTableDialog::done(int result) {
    UnregisterWriteHotkey(this);
    QDialog::done(result);
}

int ShowModeTableDialog(EditorState& state, QWidget* owner) {
    ModeTableDialog dialog(state, owner);
    return dialog.exec();
}
