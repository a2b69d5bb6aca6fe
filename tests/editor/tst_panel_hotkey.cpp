// The panel write hotkey from the key to the board's flash: the panel data
// sheet open on its real pages, the configured key pressed, the selection box
// confirmed, and the packed panel read back from the emulated board. Offscreen
// the key goes through the application-wide shortcut; the same program run
// under Xvfb (ctest: tst_panel_hotkey_xvfb) presses it with xdotool on the
// X server, where the editor holds a real key grab.
#include "help_box.h"
#include "interface1_page.h"
#include "interface2_page.h"
#include "messages.h"
#include "panel_data_sheet.h"
#include "selection_box.h"
#include "ui_Interface1Page.h"
#include "ui_Interface2Page.h"
#include "write_hotkey.h"

#include <tolvane/editor_state.h>
#include <tolvane/modes.h>
#include <tolvane/panel.h>
#include <vantrel.h>
#include <vantrel_board/board.h>

#include <QApplication>
#include <QGuiApplication>
#include <QProcess>
#include <QLineEdit>
#include <QRadioButton>
#include <QStandardPaths>
#include <QTimer>
#include <QtTest>

#include <cstring>

namespace {

bool OnX11() { return QGuiApplication::platformName() == QLatin1String("xcb"); }

bool PressWithXdotool(const QString& key) {
    QProcess process;
    process.start(QStandardPaths::findExecutable(QStringLiteral("xdotool")), {QStringLiteral("key"), key});
    return process.waitForFinished(5000) && process.exitCode() == 0;
}

std::vector<uint8_t> PackedImage(PanelRecord record) {
    ApplyResolutionClass(record);
    PanelImage image{};
    GammaTable gamma{};
    PanelRecordToImage(record, image, gamma);
    return std::vector<uint8_t>(image.bytes, image.bytes + sizeof image.bytes);
}

}  // namespace

class PanelHotkeyTest : public QObject {
    Q_OBJECT

private slots:
    void configuredKeyWritesTheOpenSheet() {
        if (OnX11() && QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
            QSKIP("xdotool is not installed");
        QStringList warnings;
        SetWarningSink([&](const QString&, const QString& text) { warnings << text; });

        vantrel_board::Options options;
        options.baud = 0;
        vantrel_board::Board board(options);
        QVERIFY2(board.Start(), board.LastError().c_str());
        qputenv("VANTREL_COM1", QByteArray::fromStdString(board.SlavePath()));

        EditorState state;
        SetPanelDefaults(state.panel);
        SetModeTableDefaults(state.modeTable);
        state.editPanel = state.panel;
        state.config.writeHotkey = 3;  // F4
        const std::vector<uint8_t> slot3Before = board.Flash(0xFB00 + 64 * 2, 64);

        PanelDataSheet sheet(state, nullptr);
        sheet.show();
        QVERIFY(QTest::qWaitForWindowExposed(&sheet));
        sheet.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&sheet));
        auto* page1 = static_cast<Interface1Page*>(sheet.page(0));
        QCOMPARE(CurrentWriteHotkey().window.data(), static_cast<QWidget*>(page1));
        QCOMPARE(CurrentWriteHotkey().backend, OnX11() ? QStringLiteral("x11") : QStringLiteral("shortcut"));

        // Edit on both Interface pages as the engineer would.
        QTest::keyClicks(page1->ui()->nameEdit, QStringLiteral("LM181E1"));
        page1->ui()->width2x24Radio->click();
        page1->ui()->correctionList->setCurrentIndex(1);
        QVERIFY(sheet.turnToPage(1));
        auto* page2 = static_cast<Interface2Page*>(sheet.page(1));
        page2->ui()->dataLinesList->setCurrentIndex(4);
        page2->ui()->kesaIdList->setCurrentIndex(12);

        // The selection box: Panel 3.
        int boxes = 0;
        QTimer watcher;
        watcher.setInterval(10);
        connect(&watcher, &QTimer::timeout, [&] {
            auto* box = qobject_cast<SelectionBox*>(QApplication::activeModalWidget());
            if (!box || !box->isVisible()) return;
            ++boxes;
            box->findChild<QRadioButton*>(QStringLiteral("panel3Radio"))->setChecked(true);
            box->accept();
        });
        watcher.start();

        if (OnX11()) QVERIFY(PressWithXdotool(QStringLiteral("F4")));
        else QTest::keyClick(&sheet, Qt::Key_F4);

        PanelRecord expected = state.panel;
        std::memcpy(expected.displayName, "LM181E1", 7);
        expected.colorDepth = 8;
        SetPanelFlag(expected, kDualPixel, true);
        SetCorrection(expected, 1);
        SetPanelFlag(expected, kDriveSet, true);
        expected.outputDrive = 0x1105;
        expected.kesaId = 12;
        const std::vector<uint8_t> packed = PackedImage(expected);
        QVERIFY(packed != slot3Before);
        QTRY_COMPARE_WITH_TIMEOUT(board.Flash(0xFB00 + 64 * 2, 64), packed, 10000);
        QTRY_VERIFY(!QApplication::activeModalWidget() || QApplication::activeModalWidget() == &sheet);
        QCOMPARE(boxes, 1);
        QVERIFY2(warnings.isEmpty(), qPrintable(warnings.join('\n')));

        // The sheet is still open; Cancel releases the key and commits nothing.
        QVERIFY(sheet.isVisible());
        sheet.reject();
        QVERIFY(!CurrentWriteHotkey().window);
        QCOMPARE(state.panel.displayName[0], '\0');

        CloseSerialCommunication();
        board.Stop();
        SetWarningSink({});
    }

    // The real Timing I page holding a frequency under 45 Hz stops the write
    // after its own message: nothing reaches the board, the pages before it
    // have stored, and the pages never shown are not asked.
    void invalidTimingStopsTheWrite() {
        if (OnX11() && QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
            QSKIP("xdotool is not installed");
        QStringList warnings;
        SetWarningSink([&](const QString& title, const QString& text) { warnings << title + '|' + text; });

        vantrel_board::Options options;
        options.baud = 0;
        vantrel_board::Board board(options);
        QVERIFY2(board.Start(), board.LastError().c_str());
        qputenv("VANTREL_COM1", QByteArray::fromStdString(board.SlavePath()));

        EditorState state;
        SetPanelDefaults(state.panel);
        std::memcpy(state.panel.displayName, "TIMING", 6);
        state.panel.powerOnT1 = 7;
        state.editPanel = state.panel;
        state.hideSelectionBox = true;
        state.config.writeHotkey = 3;  // F4
        const std::vector<uint8_t> flashBefore = board.Flash(0xF700, 0x10000 - 0xF700);

        PanelDataSheet sheet(state, nullptr);
        sheet.show();
        QVERIFY(QTest::qWaitForWindowExposed(&sheet));
        sheet.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&sheet));
        QVERIFY(sheet.turnToPage(1));
        static_cast<Interface2Page*>(sheet.page(1))->ui()->kesaIdList->setCurrentIndex(9);
        QVERIFY(sheet.turnToPage(2));
        auto* minEdit = sheet.page(2)->findChild<QLineEdit*>(QStringLiteral("vFreqMinEdit"));
        QVERIFY(minEdit);
        minEdit->setText(QStringLiteral("30"));

        if (OnX11()) QVERIFY(PressWithXdotool(QStringLiteral("F4")));
        else QTest::keyClick(&sheet, Qt::Key_F4);

        QTRY_COMPARE(warnings, QStringList{QStringLiteral(" TIMING I|ERROR: Do not use values under 45 Hz !")});
        QTest::qWait(100);
        QCOMPARE(board.Flash(0xF700, 0x10000 - 0xF700), flashBefore);
        QCOMPARE(state.editPanel.kesaId, uint16_t{9});  // Interface II stored before Timing I refused
        QVERIFY(!sheet.page(3) && !sheet.page(4));
        QCOMPARE(state.editPanel.powerOnT1, uint8_t{7});

        sheet.reject();
        board.Stop();
        SetWarningSink({});
    }

    // A press that comes while a page's refusal message or a help box is
    // open over the sheet is ignored: no selection box on top, no write in
    // the middle of a failed check. The press is posted as the key layer
    // posts it, so this holds for every backend.
    void pressUnderAMessageOrDialogIsIgnored() {
        EditorState state;
        SetPanelDefaults(state.panel);  // no display name: Interface I refuses to be left
        state.editPanel = state.panel;
        PanelDataSheet sheet(state, nullptr);
        sheet.show();
        QVERIFY(QTest::qWaitForWindowExposed(&sheet));
        auto* page1 = static_cast<Interface1Page*>(sheet.page(0));

        int boxes = 0;  // selection boxes the press opened (each one cancelled)
        QTimer watcher;
        watcher.setInterval(10);
        connect(&watcher, &QTimer::timeout, [&] {
            if (auto* box = qobject_cast<SelectionBox*>(QApplication::activeModalWidget())) {
                ++boxes;
                box->reject();
            }
        });
        watcher.start();
        const auto press = [&] {
            QCoreApplication::postEvent(page1, new WriteHotkeyEvent());
            QTest::qWait(50);
        };

        QStringList warnings;
        SetWarningSink([&](const QString& title, const QString& text) {
            warnings << title + '|' + text;
            press();
        });
        QVERIFY(!sheet.turnToPage(1));
        QCOMPARE(warnings, QStringList{QStringLiteral(" PANEL EDITOR|ERROR: No display name defined !")});
        QCOMPARE(boxes, 0);

        bool helpWasOpen = false;
        QTimer::singleShot(0, this, [&] {
            auto* help = qobject_cast<HelpBox*>(QApplication::activeModalWidget());
            helpWasOpen = help != nullptr;
            press();
            if (help) help->reject();
        });
        page1->ui()->helpButton->click();
        QVERIFY(helpWasOpen);
        QCOMPARE(boxes, 0);

        // With nothing open over the sheet the same press acts.
        press();
        QTRY_COMPARE(boxes, 1);
        sheet.reject();
        SetWarningSink({});
    }
};

QTEST_MAIN(PanelHotkeyTest)
#include "tst_panel_hotkey.moc"
