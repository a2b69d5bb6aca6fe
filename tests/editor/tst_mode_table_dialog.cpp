// The mode table dialog: the list and the fields, the checks of Update and
// Add Mode, the moves of entries and the dialog's ends, through its widgets.
#include "editor_style.h"
#include "help_box.h"
#include "messages.h"
#include "mode_table_dialog.h"
#include "tab_stop_list.h"
#include "ui_ModeTableDialog.h"
#include "write_hotkey.h"

#include <tolvane/editor_state.h>
#include <tolvane/modes.h>

#include <QApplication>
#include <QTimer>
#include <QtTest>

#include <cstring>
#include <memory>

namespace {

template <typename T>
bool SameBytes(const T& a, const T& b) {
    return std::memcmp(&a, &b, sizeof(T)) == 0;
}

// An entry that passes every check, told apart from its neighbours by its
// width (and the row text it gives).
ModeEntry Entry(uint16_t width) {
    ModeEntry e{};
    e.hFreq = 480;
    e.hFreqTol = 10;
    e.vFreq = 720;
    e.vFreqTol = 10;
    e.vTotal = 666;
    e.vTotalTol = 4;
    e.hTotal = 1040;
    e.activeWidth = width;
    e.activeHeight = 600;
    e.hStart = 200;
    e.vStart = 30;
    e.modeFlags = kEnableAnalog;
    return e;
}

QStringList Rows(const ModeTableDialog& dialog) {
    QStringList rows;
    for (int i = 0; i < dialog.ui()->modeList->count(); ++i) rows << dialog.ui()->modeList->item(i)->text();
    return rows;
}

}  // namespace

class ModeTableDialogTest : public QObject {
    Q_OBJECT

private:
    EditorState state_;
    QStringList warnings_;

    // A table of `count` entries of widths 700, 701, ...
    void useTable(unsigned count) {
        ModeTable& t = state_.editModeTable;
        t = ModeTable{};
        SetModeTableDefaults(t);
        t.modeCount = static_cast<uint16_t>(count);
        for (unsigned i = 0; i < count; ++i) t.entries[i] = Entry(static_cast<uint16_t>(700 + i));
    }

    std::unique_ptr<ModeTableDialog> open() {
        auto dialog = std::make_unique<ModeTableDialog>(state_);
        dialog->show();
        return dialog;
    }

    static void select(ModeTableDialog& dialog, int row) {
        // As a click does: the fields follow the new selection.
        dialog.ui()->modeList->setCurrentRow(row);
    }

    // A single message, then none left over.
    QString takeWarning() {
        if (warnings_.size() != 1)
            return QStringLiteral("<%1 messages: %2>").arg(warnings_.size()).arg(warnings_.join(QStringLiteral(" | ")));
        return warnings_.takeFirst();
    }

private slots:
    void init() {
        state_ = EditorState{};
        SetModeTableDefaults(state_.modeTable);
        state_.editModeTable = state_.modeTable;
        warnings_.clear();
        SetWarningSink([this](const QString& title, const QString& text) {
            QCOMPARE(title, QStringLiteral(" PANEL EDITOR"));
            warnings_ << text;
        });
    }

    void cleanup() { SetWarningSink({}); }

    void opensOnTheStartupTable() {
        auto dialog = open();
        Ui::ModeTableDialog* ui = dialog->ui();
        QCOMPARE(dialog->windowTitle(), QStringLiteral("  MODE TABLE"));
        QCOMPARE(ui->headingLabel1->text(),
                 QStringLiteral("Only if you want to realize special display formats use this service and edit"));
        QCOMPARE(ui->headingLabel2->text(), QStringLiteral("the mode table."));
        QCOMPARE(ui->columnHeading->text(), QStringLiteral("  Mode      Resolution       V-Frequ.[Hz]"));
        QCOMPARE(ui->columnHeading->font(), headingFont());
        for (QWidget* w :
             std::initializer_list<QWidget*>{ui->addButton, ui->delButton, ui->upButton, ui->downButton, ui->modeFrame,
                                             ui->updateButton, ui->okButton, ui->cancelButton})
            QCOMPARE(w->font(), captionFont());
        QCOMPARE(ui->hFreqEdit->font(), ordinaryFont());  // the frame's caption font stays on the frame
        QCOMPARE(ListTabStopPixels(ui->modeList).size(), 3);

        QCOMPARE(Rows(*dialog), QStringList{QStringLiteral("\t0\t640 x 480\t59.9")});
        QCOMPARE(dialog->selectedRow(), 0);
        QCOMPARE(ui->modeFrame->title(), QStringLiteral(" Mode 0 "));
        const QList<std::pair<QLineEdit*, QString>> fields = {
            {ui->hFreqEdit, "31.5"}, {ui->vFreqEdit, "59.9"}, {ui->hFreqTolEdit, "1.0"}, {ui->vFreqTolEdit, "1.0"},
            {ui->hTotalEdit, "800"}, {ui->vTotalEdit, "525"}, {ui->vTotalTolEdit, "4"},  {ui->widthEdit, "640"},
            {ui->heightEdit, "480"}, {ui->hStartEdit, "141"}, {ui->vStartEdit, "25"},
        };
        const int lengths[] = {5, 5, 4, 4, 4, 4, 3, 4, 4, 4, 4};
        for (int i = 0; i < fields.size(); ++i) {
            QCOMPARE(fields[i].first->text(), fields[i].second);
            QCOMPARE(fields[i].first->maxLength(), lengths[i]);
        }
        QCOMPARE(ui->modeTypeCombo->count(), 4);
        QCOMPARE(ui->modeTypeCombo->itemText(1), QStringLiteral("Overlapped 720x400"));
        QCOMPARE(ui->modeTypeCombo->itemText(3), QStringLiteral("Interlaced"));
        QCOMPARE(ui->modeTypeCombo->currentText(), QStringLiteral("Normal"));
        QVERIFY(ui->analogCheck->isChecked());
        QVERIFY(ui->digitalCheck->isChecked());
        QVERIFY(!ui->videoCheck->isChecked());
        const QList<std::pair<QAbstractButton*, QString>> buttons = {
            {ui->addButton, "&Add Mode"},   {ui->delButton, "&Del Mode"},  {ui->upButton, "Mode U&p"},
            {ui->downButton, "Mode D&wn"},  {ui->helpButton, "&Help"},     {ui->updateButton, "&Update"},
            {ui->okButton, "&OK"},          {ui->cancelButton, "&Cancel"}, {ui->analogCheck, "Analog "},
            {ui->digitalCheck, "Digital "}, {ui->videoCheck, "Video "},
        };
        for (const auto& [button, text] : buttons) QCOMPARE(button->text(), text);
        QVERIFY(!ui->hTotalTolLabel->isEnabled());
        QCOMPARE(ui->hTotalTolLabel->text(), QStringLiteral("Toleran. [pixel]"));
        QVERIFY(!ui->modeImage->pixmap().isNull());
    }

    void endsReleaseTheHotkeyAndCloseBoxIsCancel() {
        for (int way = 0; way < 3; ++way) {
            auto dialog = open();
            QCOMPARE(CurrentWriteHotkey().window.data(), dialog.get());
            QCOMPARE(CurrentWriteHotkey().virtualKey, 0x71);  // F2, the configured key
            if (way == 0) dialog->ui()->okButton->click();
            else if (way == 1) dialog->ui()->cancelButton->click();
            else dialog->close();
            QCOMPARE(dialog->result(), way == 0 ? 1 : 0);
            QVERIFY(!CurrentWriteHotkey().window);
        }
    }

    void helpOpensTheModeTableHelpBox() {
        auto dialog = open();
        int shown = 0;
        QTimer::singleShot(0, this, [&] {
            auto* box = qobject_cast<HelpBox*>(QApplication::activeModalWidget());
            if (box) {
                shown = box->boxId();
                box->reject();
            }
        });
        const ModeTable before = state_.editModeTable;
        dialog->ui()->helpButton->click();
        QCOMPARE(shown, int(kHelpModeTable));
        QVERIFY(SameBytes(state_.editModeTable, before));
    }

    void horizontalFrequencyBounds() {
        auto dialog = open();
        Ui::ModeTableDialog* ui = dialog->ui();
        for (const char* good : {"10.0", "200.0", "2.5e1", "31.56"}) {
            ui->hFreqEdit->setText(QLatin1String(good));
            ui->updateButton->click();
            QVERIFY2(warnings_.isEmpty(), good);
        }
        QCOMPARE(+state_.editModeTable.entries[0].hFreq, 315);     // 31.56 truncates to 31.5
        QCOMPARE(ui->hFreqEdit->text(), QStringLiteral("31.56"));  // the field keeps what was typed

        for (const char* bad : {"9.9", "200.1", "6600", "", "-10"}) {
            ui->hTotalEdit->setFocus();
            ui->hFreqEdit->setText(QLatin1String(bad));
            ui->updateButton->click();
            QCOMPARE(takeWarning(), QStringLiteral("ERROR: Unvalid horizontal frequency !"));
            QCOMPARE(dialog->focusWidget(), ui->hFreqEdit);
            QCOMPARE(+state_.editModeTable.entries[0].hFreq, 315);
        }
    }

    void fieldsAreReadFromTheirFirstCharacters() {
        auto dialog = open();
        Ui::ModeTableDialog* ui = dialog->ui();
        ui->hFreqTolEdit->setText(QStringLiteral("-0.05"));  // truncates to 0, which is allowed
        ui->vFreqTolEdit->setText(QStringLiteral("2.09"));
        ui->widthEdit->setText(QStringLiteral("+600"));
        ui->heightEdit->setText(QStringLiteral("480x"));
        ui->vStartEdit->setText(QStringLiteral("1"));
        ui->updateButton->click();
        QVERIFY2(warnings_.isEmpty(), qPrintable(warnings_.join('\n')));
        const ModeEntry& e = state_.editModeTable.entries[0];
        QCOMPARE(+e.hFreqTol, 0);
        QCOMPARE(+e.vFreqTol, 20);
        QCOMPARE(+e.activeWidth, 600);
        QCOMPARE(+e.vStart, 1);
        QCOMPARE(dialog->ui()->modeList->item(0)->text(), QStringLiteral("\t0\t600 x 480\t59.9"));
        QCOMPARE(dialog->selectedRow(), 0);
        QCOMPARE(dialog->focusWidget(), ui->modeList);

        for (const char* start : {"0", ""}) {  // an empty field counts as 0
            ui->vStartEdit->setText(QLatin1String(start));
            ui->updateButton->click();
            QCOMPARE(takeWarning(), QStringLiteral("ERROR: Unvalid vert. start of active window !"));
            QCOMPARE(dialog->focusWidget(), ui->vStartEdit);
        }
        QCOMPARE(+state_.editModeTable.entries[0].vStart, 1);
    }

    void startAndWidthMayFillTheTotal() {
        auto dialog = open();  // H-Total 800, H-Start 141
        Ui::ModeTableDialog* ui = dialog->ui();
        ui->widthEdit->setText(QStringLiteral("659"));
        ui->updateButton->click();
        QVERIFY(warnings_.isEmpty());
        QCOMPARE(+state_.editModeTable.entries[0].activeWidth, 659);

        const ModeTable before = state_.editModeTable;
        ui->widthEdit->setText(QStringLiteral("660"));
        ui->updateButton->click();
        QCOMPARE(takeWarning(), QStringLiteral("ERROR: Width and horiz. start exceed total period !"));
        QCOMPARE(dialog->focusWidget(), ui->hTotalEdit);
        QVERIFY(SameBytes(state_.editModeTable, before));

        ui->widthEdit->setText(QStringLiteral("640"));
        ui->heightEdit->setText(QStringLiteral("501"));  // V-Start 25, V-Total 525
        ui->updateButton->click();
        QCOMPARE(takeWarning(), QStringLiteral("ERROR: Height and vert. start exceed total period !"));
        QCOMPARE(dialog->focusWidget(), ui->vTotalEdit);
    }

    void onlyTheFirstFailingCheckIsReported() {
        auto dialog = open();
        Ui::ModeTableDialog* ui = dialog->ui();
        ui->analogCheck->setChecked(false);
        ui->digitalCheck->setChecked(false);
        ui->widthEdit->setText(QStringLiteral("4000"));  // also past the total
        ui->vTotalTolEdit->setText(QStringLiteral("101"));
        ui->vStartEdit->setText(QStringLiteral("0"));
        ui->updateButton->click();
        QCOMPARE(takeWarning(), QStringLiteral("ERROR: Unvalid vert. total period tolerance !"));
        QCOMPARE(dialog->focusWidget(), ui->vTotalTolEdit);

        ui->vTotalTolEdit->setText(QStringLiteral("100"));
        ui->updateButton->click();
        QCOMPARE(takeWarning(), QStringLiteral("ERROR: Unvalid vert. start of active window !"));
        ui->vStartEdit->setText(QStringLiteral("200"));
        ui->updateButton->click();
        QCOMPARE(takeWarning(), QStringLiteral("ERROR: No input signal enabled !"));
        QCOMPARE(dialog->focusWidget(), ui->analogCheck);
        ui->videoCheck->setChecked(true);
        ui->updateButton->click();
        QCOMPARE(takeWarning(), QStringLiteral("ERROR: Width and horiz. start exceed total period !"));
    }

    void addInFrontOfTheSelectedEntry() {
        useTable(5);
        auto dialog = open();
        Ui::ModeTableDialog* ui = dialog->ui();
        QCOMPARE(ui->widthEdit->text(), QStringLiteral("700"));
        ui->widthEdit->setText(QStringLiteral("800"));
        ui->videoCheck->setChecked(true);
        ui->modeTypeCombo->setCurrentIndex(3);
        ui->addButton->click();
        QVERIFY(warnings_.isEmpty());
        QCOMPARE(+state_.editModeTable.modeCount, 6);
        QCOMPARE(Rows(*dialog), (QStringList{"\t0\t800 x 600\t72.0", "\t1\t700 x 600\t72.0", "\t2\t701 x 600\t72.0",
                                             "\t3\t702 x 600\t72.0", "\t4\t703 x 600\t72.0", "\t5\t704 x 600\t72.0"}));
        QCOMPARE(dialog->selectedRow(), 0);
        QCOMPARE(dialog->focusWidget(), ui->modeList);
        QCOMPARE(+state_.editModeTable.entries[0].modeFlags, 0x53);
        QVERIFY(SameBytes(state_.editModeTable.entries[1], Entry(700)));

        // In front of the last one, with the focus and message on a fault.
        select(*dialog, 5);
        QCOMPARE(ui->widthEdit->text(), QStringLiteral("704"));
        ui->hStartEdit->setText(QStringLiteral("9"));
        ui->addButton->click();
        QCOMPARE(takeWarning(), QStringLiteral("ERROR: Unvalid horiz. start of active window !"));
        QCOMPARE(+state_.editModeTable.modeCount, 6);
        QCOMPARE(Rows(*dialog).size(), 6);
    }

    void addStopsAtThirtyEightEntries() {
        useTable(37);
        auto dialog = open();
        Ui::ModeTableDialog* ui = dialog->ui();
        select(*dialog, 36);
        ui->addButton->click();
        QVERIFY(warnings_.isEmpty());
        QCOMPARE(+state_.editModeTable.modeCount, 38);
        QCOMPARE(Rows(*dialog).size(), 38);
        QCOMPARE(dialog->selectedRow(), 36);

        const ModeTable full = state_.editModeTable;
        ui->hFreqEdit->setText(QStringLiteral("1"));  // faulty too: the limit comes first
        ui->addButton->click();
        QCOMPARE(takeWarning(), QStringLiteral("ERROR: Request exceed mode table limit !"));
        QVERIFY(SameBytes(state_.editModeTable, full));
        QCOMPARE(Rows(*dialog).size(), 38);
    }

    void deleteTheFirstOfThree() {
        useTable(3);
        auto dialog = open();
        Ui::ModeTableDialog* ui = dialog->ui();
        ui->delButton->click();
        QVERIFY(warnings_.isEmpty());
        QCOMPARE(+state_.editModeTable.modeCount, 2);
        QCOMPARE(Rows(*dialog), (QStringList{"\t0\t701 x 600\t72.0", "\t1\t702 x 600\t72.0"}));
        QCOMPARE(dialog->selectedRow(), -1);
        QVERIFY(SameBytes(state_.editModeTable.entries[2], ModeEntry{}));
        // No row is selected: no entry is shown.
        QVERIFY(ui->widthEdit->text().isEmpty());
        QVERIFY(ui->hFreqEdit->text().isEmpty());
        QVERIFY(ui->modeFrame->title().isEmpty());

        // No row selected: Update, Add, Up, Down and Del do nothing.
        const ModeTable two = state_.editModeTable;
        for (QPushButton* b : {ui->updateButton, ui->addButton, ui->upButton, ui->downButton, ui->delButton})
            b->click();
        QVERIFY(warnings_.isEmpty());
        QVERIFY(SameBytes(state_.editModeTable, two));

        select(*dialog, 1);
        ui->delButton->click();
        QCOMPARE(dialog->selectedRow(), 0);
        const ModeTable one = state_.editModeTable;
        QCOMPARE(+one.modeCount, 1);
        ui->delButton->click();
        QCOMPARE(takeWarning(), QStringLiteral("ERROR: It's necessary to implement one entry !"));
        QVERIFY(SameBytes(state_.editModeTable, one));
    }

    // After a delete the fields show the entry now selected, so "&Update"
    // stores that entry's own values, never the deleted one's over it.
    void deleteThenUpdateKeepsTheNeighbour() {
        useTable(3);
        auto dialog = open();
        Ui::ModeTableDialog* ui = dialog->ui();
        select(*dialog, 2);
        ui->delButton->click();
        QCOMPARE(dialog->selectedRow(), 1);
        QCOMPARE(ui->modeFrame->title(), QStringLiteral(" Mode 1 "));
        QCOMPARE(ui->widthEdit->text(), QStringLiteral("701"));
        ui->updateButton->click();
        QVERIFY(warnings_.isEmpty());
        QVERIFY(SameBytes(state_.editModeTable.entries[1], Entry(701)));
        QCOMPARE(Rows(*dialog), (QStringList{"\t0\t700 x 600\t72.0", "\t1\t701 x 600\t72.0"}));
    }

    // Values past a field's limit (from a board or a file) are shown whole and
    // refused by their check, not cut into a value that passes it.
    void storedValuesLongerThanTheLimitAreShownWhole() {
        useTable(2);
        ModeEntry& wide = state_.editModeTable.entries[0];
        wide.activeWidth = 16000;
        wide.hFreq = 65535;
        auto dialog = open();
        Ui::ModeTableDialog* ui = dialog->ui();
        QCOMPARE(ui->widthEdit->text(), QStringLiteral("16000"));
        QCOMPARE(ui->hFreqEdit->text(), QStringLiteral("6553.5"));
        const ModeTable before = state_.editModeTable;
        ui->updateButton->click();
        QCOMPARE(takeWarning(), QStringLiteral("ERROR: Unvalid horizontal frequency !"));
        ui->hFreqEdit->setText(QStringLiteral("48.0"));
        ui->updateButton->click();
        QCOMPARE(takeWarning(), QStringLiteral("ERROR: Unvalid horizontal active window !"));
        QVERIFY(SameBytes(state_.editModeTable, before));

        // The next entry fits: the field takes its own limit again.
        select(*dialog, 1);
        QCOMPARE(ui->widthEdit->text(), QStringLiteral("701"));
        QCOMPARE(ui->widthEdit->maxLength(), 4);
        QCOMPARE(ui->hFreqEdit->maxLength(), 5);
    }

    void upAndDownAtTheEndsDoNothing() {
        useTable(3);
        auto dialog = open();
        Ui::ModeTableDialog* ui = dialog->ui();
        const ModeTable before = state_.editModeTable;
        ui->upButton->click();
        select(*dialog, 2);
        ui->downButton->click();
        QVERIFY(SameBytes(state_.editModeTable, before));
        QCOMPARE(dialog->selectedRow(), 2);

        ui->upButton->click();
        QCOMPARE(Rows(*dialog), (QStringList{"\t0\t700 x 600\t72.0", "\t1\t702 x 600\t72.0", "\t2\t701 x 600\t72.0"}));
        QCOMPARE(dialog->selectedRow(), 1);
        QCOMPARE(ui->modeFrame->title(), QStringLiteral(" Mode 1 "));
        QCOMPARE(ui->widthEdit->text(), QStringLiteral("702"));
        select(*dialog, 0);
        ui->downButton->click();
        QCOMPARE(dialog->selectedRow(), 1);
        QCOMPARE(ui->modeFrame->title(), QStringLiteral(" Mode 1 "));
        QCOMPARE(+state_.editModeTable.entries[1].activeWidth, 700);
        QCOMPARE(dialog->focusWidget(), ui->modeList);
    }

    void emptyTable() {
        state_.editModeTable.modeCount = 0;
        std::memset(state_.editModeTable.entries, 0, sizeof state_.editModeTable.entries);
        auto dialog = open();
        Ui::ModeTableDialog* ui = dialog->ui();
        QCOMPARE(ui->modeList->count(), 0);
        QVERIFY(ui->modeFrame->title().isEmpty());
        QVERIFY(ui->hFreqEdit->text().isEmpty());
        QVERIFY(ui->vStartEdit->text().isEmpty());
        QCOMPARE(ui->modeTypeCombo->currentText(), QStringLiteral("Normal"));

        const ModeTable empty = state_.editModeTable;
        ui->hFreqEdit->setText(QStringLiteral("31.5"));
        for (QPushButton* b : {ui->updateButton, ui->addButton, ui->upButton, ui->downButton}) b->click();
        QVERIFY(warnings_.isEmpty());
        ui->delButton->click();
        QCOMPARE(takeWarning(), QStringLiteral("ERROR: It's necessary to implement one entry !"));
        QVERIFY(SameBytes(state_.editModeTable, empty));
        ui->okButton->click();
        QCOMPARE(dialog->result(), 1);
    }

    void countBeyondTheSlotsIsNeverAddressed() {
        useTable(38);
        state_.editModeTable.modeCount = 0x4000;  // from a file made elsewhere
        auto dialog = open();
        Ui::ModeTableDialog* ui = dialog->ui();
        QCOMPARE(ui->modeList->count(), 38);
        select(*dialog, 37);
        ui->downButton->click();
        ui->addButton->click();
        QCOMPARE(takeWarning(), QStringLiteral("ERROR: Request exceed mode table limit !"));
        ui->delButton->click();
        QCOMPARE(+state_.editModeTable.modeCount, 37);
        QCOMPARE(ui->modeList->count(), 37);
    }

    void okWithoutUpdateDropsTypedValues() {
        const ModeTable before = state_.editModeTable;
        int result = -1;
        QTimer::singleShot(0, this, [&] {
            auto* dialog = qobject_cast<ModeTableDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            dialog->ui()->widthEdit->setText(QStringLiteral("320"));
            dialog->ui()->videoCheck->setChecked(true);
            dialog->ui()->okButton->click();
        });
        result = ShowModeTableDialog(state_, nullptr);
        QCOMPARE(result, 1);
        QVERIFY(SameBytes(state_.editModeTable, before));
    }

    void everyShownFrequencyReadsBackAsItself() {
        auto dialog = open();
        Ui::ModeTableDialog* ui = dialog->ui();
        ModeEntry& e = state_.editModeTable.entries[0];
        for (int tenths = 100; tenths <= 2000; ++tenths) {
            e.hFreq = static_cast<uint16_t>(tenths);
            e.vFreq = static_cast<uint16_t>(tenths < 450 ? 450 : tenths);
            e.hFreqTol = static_cast<uint8_t>(tenths % 101);
            e.vFreqTol = static_cast<uint8_t>(tenths % 201);
            const ModeEntry shown = e;
            dialog->ShowModeEntry(0);
            const QString text = ui->hFreqEdit->text();
            ui->updateButton->click();
            if (!warnings_.isEmpty()) QFAIL(qPrintable(QStringLiteral("%1: %2").arg(tenths).arg(warnings_.join(' '))));
            if (!SameBytes(e, shown) || ui->hFreqEdit->text() != text)
                QFAIL(qPrintable(QStringLiteral("%1 shown as %2 did not read back").arg(tenths).arg(text)));
        }
        QCOMPARE(ui->hFreqEdit->text(), QStringLiteral("200.0"));
        QCOMPARE(ui->hFreqTolEdit->text(), QStringLiteral("8.1"));  // 2000 % 101 = 81
    }
};

QTEST_MAIN(ModeTableDialogTest)
#include "tst_mode_table_dialog.moc"
