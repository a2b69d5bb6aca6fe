// The pictures beside the described controls, through the real pages: the
// gamma curve follows the table and "&Update", the timing diagrams follow the
// fields as typed and show an overrun exactly when the total is short, the
// mode map marks modes that could be mistaken for each other and selects a
// row on a click. None of them takes the focus or changes a stored value.
#include "bitmap_button.h"
#include "gamma_curve.h"
#include "gamma_power_page.h"
#include "messages.h"
#include "mode_map.h"
#include "mode_table_dialog.h"
#include "platform_page.h"
#include "timing2_page.h"
#include "timing_diagram.h"
#include "ui_ModeTableDialog.h"

#include <tolvane/editor_state.h>
#include <tolvane/modes.h>
#include <tolvane/panel.h>

#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QtTest>

#include "editor_test_support.h"

#include <cstring>
#include <memory>

namespace {

template <typename W>
void Show(W& widget) {
    widget.show();
    if (!QTest::qWaitForWindowExposed(&widget)) qFatal("window not shown");
}

ModeEntry Mode(uint16_t hFreq, uint16_t vFreq, uint8_t inputs) {
    ModeEntry e{};
    e.hFreq = hFreq;
    e.hFreqTol = 10;
    e.vFreq = vFreq;
    e.vFreqTol = 10;
    e.vTotal = 525;
    e.vTotalTol = 4;
    e.hTotal = 800;
    e.activeWidth = 640;
    e.activeHeight = 480;
    e.hStart = 141;
    e.vStart = 25;
    e.modeFlags = inputs;
    return e;
}

}  // namespace

class PicturesTest : public QObject {
    Q_OBJECT

    EditorState state_;

private slots:
    void init() {
        state_ = EditorState{};
        SetPanelDefaults(state_.editPanel);
        SetModeTableDefaults(state_.editModeTable);
        SetWarningSink([](const QString&, const QString&) {});
    }

    void cleanup() { SetWarningSink({}); }

    void gammaCurveFollowsTheTableAndUpdate() {
        SetPanelFlag(state_.editPanel, kUseGamma, true);
        GammaPowerPage page(state_);
        Show(page);
        GammaCurve* curve = page.gammaCurve();
        QCOMPARE(curve->focusPolicy(), Qt::NoFocus);
        QCOMPARE(curve->markedEntry(), -1);

        // Identity table: every point on the diagonal of the plot.
        const picture::Box plot = curve->plotBox();
        for (int i : {0, 64, 255}) {
            const QPointF p = curve->entryPoint(i);
            QCOMPARE(p.x(), plot.x + plot.w * i / 255);
            QCOMPARE(p.y(), plot.y + plot.h - plot.h * i / 255);
        }
        QVERIFY(picture::FallingSteps(state_.editPanel.gammaTable).empty());

        // Entry 100 set to 40 with "&Update": its point drops at once and is
        // marked; the step from 99 down to 40 is a falling step, 100 to 101 not.
        auto* list = Child<QListWidget>(&page, "gammaList");
        list->scrollToItem(list->item(100));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(100)).center());
        QCOMPARE(curve->markedEntry(), 100);
        auto* value = Child<QLineEdit>(&page, "valueEdit");
        value->clear();
        QTest::keyClicks(value, QStringLiteral("40"));
        QTest::mouseClick(Child<QPushButton>(&page, "updateButton"), Qt::LeftButton);
        QCOMPARE(int(state_.editPanel.gammaTable.level[100]), 40);
        QCOMPARE(curve->entryPoint(100).y(), plot.y + plot.h - plot.h * 40 / 255);
        QCOMPARE(curve->markedEntry(), 100);
        QCOMPARE(picture::FallingSteps(state_.editPanel.gammaTable), std::vector<int>{100});
        QCOMPARE(list->item(100)->text(), GammaPowerPage::GammaRowText(100, 40));
        QVERIFY(list->hasFocus());

        // Greyed with the gamma controls, and the table left alone.
        const GammaTable before = state_.editPanel.gammaTable;
        QTest::mouseClick(Child<QCheckBox>(&page, "useGammaCheck"), Qt::LeftButton);
        QVERIFY(!curve->isEnabled());
        QTest::mouseClick(Child<QCheckBox>(&page, "useGammaCheck"), Qt::LeftButton);
        QVERIFY(curve->isEnabled());
        QCOMPARE(std::memcmp(&before, &state_.editPanel.gammaTable, sizeof before), 0);
    }

    void timingDiagramShowsOverrunExactlyWhenTheTotalIsShort() {
        PanelRecord& r = state_.editPanel;
        SetResolutionClass(r, kClassVGA);
        r.hResolution = 640;
        r.vResolution = 480;
        r.hPulseWidth = 96;
        r.hBackPorch = 48;
        r.hMinTotal = 784;
        const PanelRecord stored = r;
        Timing2Page page(state_);
        Show(page);
        page.pageActivated();
        TimingDiagram* line = page.hDiagram();
        QCOMPARE(line->focusPolicy(), Qt::NoFocus);

        const auto overrun = [line] { return line->spanRect(picture::SpanKind::Overrun); };
        QVERIFY(!page.hTotalShort());
        QVERIFY(overrun().isEmpty());
        // To scale: the pulse takes 96 of the 784 clocks of the bar.
        const picture::Box bar = line->barBox();
        QCOMPARE(line->spanRect(picture::SpanKind::Pulse).width(), bar.w * 96 / 784);
        QCOMPARE(line->spanRect(picture::SpanKind::Display).right(), bar.x + bar.w);

        auto* total = Child<QLineEdit>(&page, "hTotalEdit");
        total->clear();
        QTest::keyClicks(total, QStringLiteral("783"));
        QVERIFY(page.hTotalShort());
        QVERIFY(line->layout().totalShort);
        // One clock over: from 783 to 784 of a 784-clock bar, and no rest.
        QCOMPARE(overrun().left(), bar.x + bar.w * 783 / 784);
        QCOMPARE(overrun().right(), bar.x + bar.w);
        QVERIFY(line->spanRect(picture::SpanKind::Rest).isEmpty());

        auto* pulse = Child<QLineEdit>(&page, "hPulseEdit");
        pulse->clear();  // empty reads 0: 640 + 48 is well inside
        QVERIFY(!page.hTotalShort());
        QVERIFY(overrun().isEmpty());
        QCOMPARE(line->spanRect(picture::SpanKind::Rest).width(), bar.w * (783 - 688) / 783);

        // Nothing was stored by typing.
        QCOMPARE(std::memcmp(&stored, &state_.editPanel, sizeof stored), 0);
    }

    void modeMapMarksOverlapsAndSelectsOnClick() {
        ModeTable& t = state_.editModeTable;
        t.entries[0] = Mode(315, 600, kEnableAnalog);
        t.entries[1] = Mode(320, 605, kEnableAnalog | kEnableVideo);  // overlaps 0 on Analog
        t.entries[2] = Mode(480, 750, kEnableAnalog);                 // apart
        t.entries[3] = Mode(315, 600, kEnableDigital);                // same place, no shared input
        t.modeCount = 4;
        const ModeTable stored = t;

        ModeTableDialog dialog(state_);
        Show(dialog);
        ModeMap* map = dialog.modeMap();
        QCOMPARE(map->focusPolicy(), Qt::NoFocus);
        QCOMPARE(map->markedModes(), (std::vector<bool>{true, true, false, false}));
        QCOMPARE(map->selectedSlot(), 0);

        // A click on the box of entry 2 selects its row; the fields follow.
        dialog.ui()->modeList->setFocus();
        QTest::mouseClick(map, Qt::LeftButton, {}, map->modeRect(2).center().toPoint());
        QCOMPARE(dialog.selectedRow(), 2);
        QCOMPARE(map->selectedSlot(), 2);
        QCOMPARE(dialog.ui()->modeFrame->title(), QStringLiteral(" Mode 2 "));
        QCOMPARE(dialog.ui()->hFreqEdit->text(), QStringLiteral("48.0"));
        QVERIFY(dialog.ui()->modeList->hasFocus());
        // Outside every box: nothing changes.
        QTest::mouseClick(map, Qt::LeftButton, {}, QPoint(1, 1));
        QCOMPARE(dialog.selectedRow(), 2);
        QCOMPARE(std::memcmp(&stored, &state_.editModeTable, sizeof stored), 0);

        // The map follows the table's own operations: "Mode U&p" moves the
        // entry and its selection, "&Update" moves its box.
        QTest::mouseClick(dialog.ui()->upButton, Qt::LeftButton);
        QCOMPARE(map->selectedSlot(), 1);
        QCOMPARE(map->markedModes(), (std::vector<bool>{true, false, true, false}));
        dialog.ui()->hFreqEdit->setText(QStringLiteral("31.7"));
        dialog.ui()->vFreqEdit->setText(QStringLiteral("60.2"));
        QTest::mouseClick(dialog.ui()->updateButton, Qt::LeftButton);
        QCOMPARE(map->markedModes(), (std::vector<bool>{true, true, true, false}));
        QCOMPARE(map->selectedSlot(), 1);
    }

    // Windows that only touch (310-320 and 320-330 kHz) on a shared input
    // are marked, as the check of a table calls them overlapping; and a
    // click inside a small box that lies in a larger one picks the small
    // one, whichever comes first in the table.
    void modeMapTouchingWindowsAndNestedBoxes() {
        ModeTable& t = state_.editModeTable;
        ModeEntry touchLeft = Mode(315, 600, kEnableAnalog);
        ModeEntry touchRight = Mode(325, 600, kEnableAnalog | kEnableVideo);
        touchLeft.hFreqTol = touchRight.hFreqTol = 5;
        ModeEntry big = Mode(480, 750, kEnableDigital);
        big.hFreqTol = 60;
        big.vFreqTol = 60;
        ModeEntry small = Mode(480, 750, kEnableVideo);
        small.hFreqTol = 2;
        small.vFreqTol = 2;
        for (bool smallFirst : {true, false}) {
            t.entries[0] = touchLeft;
            t.entries[1] = touchRight;
            t.entries[2] = smallFirst ? small : big;
            t.entries[3] = smallFirst ? big : small;
            t.modeCount = 4;
            const int smallSlot = smallFirst ? 2 : 3;

            ModeTableDialog dialog(state_);
            Show(dialog);
            ModeMap* map = dialog.modeMap();
            QCOMPARE(map->markedModes(), (std::vector<bool>{true, true, false, false}));
            QVERIFY(map->modeRect(5 - smallSlot).contains(map->modeRect(smallSlot)));
            QTest::mouseClick(map, Qt::LeftButton, {}, map->modeRect(smallSlot).center().toPoint());
            QCOMPARE(dialog.selectedRow(), smallSlot);
        }
    }

    void pictureButtonsAreNamedFromTheirLabels() {
        PlatformPage page(state_);
        auto* read = Child<BitmapButton>(&page, "readPanelButton");
        QCOMPARE(read->accessibleName(), QStringLiteral("Read panel data from Vantrel-2"));
        QCOMPARE(read->toolTip(), read->accessibleName());
        QCOMPARE(read->text(), QStringLiteral("&R"));
        QCOMPARE(Child<BitmapButton>(&page, "writeModeButton")->accessibleName(),
                 QStringLiteral("Write mode table to Vantrel-2"));
    }
};

QTEST_MAIN(PicturesTest)
#include "tst_pictures.moc"
