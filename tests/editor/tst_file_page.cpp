// The File page and the file dialogs: every button, its messages and flags,
// with the file choices made through the replaceable chooser; EDID files
// loaded as panel data and shown on the panel pages.
#include "editor_strings.h"
#include "file_dialogs.h"
#include "file_page.h"
#include "messages.h"
#include "panel_data_sheet.h"
#include "panel_pages.h"
#include "transfer_sheet.h"

#include <tolvane/edid.h>
#include <tolvane/editor_state.h>
#include <tolvane/files.h>
#include <tolvane/modes.h>
#include <tolvane/panel.h>
#include <vantrel_board/board.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QtTest>

#include "editor_test_support.h"

#include <sys/stat.h>

#include <cstring>

namespace {

template <typename T>
bool SameBytes(const T& a, const T& b) {
    return std::memcmp(&a, &b, sizeof(T)) == 0;
}

uint16_t Le16(const QByteArray& bytes, int offset) {
    return static_cast<uint16_t>(uint8_t(bytes[offset]) | uint8_t(bytes[offset + 1]) << 8);
}

bool WriteBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// The EDID of a panel with one detailed timing and no range limits.
QByteArray BuildEdid(const DetailedTiming& timing, uint8_t bitsPerColor, const std::string& name) {
    EdidDescription d;
    d.bitsPerColor = bitsPerColor;
    d.name = name;
    d.timings = {timing};
    const std::vector<uint8_t> bytes = EncodeEdid(d).value();
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
}

// WXGA 1280x800 at 60 Hz with positive syncs: no standard resolution class.
DetailedTiming Wxga(uint32_t clockKHz = 71000, uint16_t hSync = 32) {
    return {clockKHz, 1280, 48, hSync, 80, 800, 3, 6, 14, true, true, false};
}

void FixChecksum(QByteArray& block) {
    uint8_t sum = 0;
    for (int i = 0; i < 127; ++i) sum = uint8_t(sum + uint8_t(block[i]));
    block[127] = char(uint8_t(0x100 - sum));
}

// The base block of the EDID the emulated board's monitor answers with.
QByteArray FactoryEdidBlock() {
    const auto edid = vantrel_board::FactoryEdid();
    return QByteArray(reinterpret_cast<const char*>(edid.data()), qsizetype(kEdidBlockSize));
}

// What the panel pages show: Interface I's name and sync inversions, Timing
// I's checked resolution, typed size, rates and clock, Timing II's periods.
QStringList ShownOnPanelPages(EditorState& state) {
    PanelDataSheet sheet(state, nullptr);
    sheet.show();
    QWidget* page = sheet.page(kInterface1Page);
    QStringList shown{Child<QLineEdit>(page, "nameEdit")->text()};
    for (const char* check : {"hsyncCheck", "vsyncCheck"})
        shown << (Child<QCheckBox>(page, check)->isChecked() ? QStringLiteral("inverted") : QStringLiteral("-"));
    if (!sheet.turnToPage(kTiming1Page)) return shown << QStringLiteral("Interface pages refused");
    page = sheet.page(kTiming1Page);
    for (QRadioButton* radio : page->findChildren<QRadioButton*>())
        if (radio->isChecked()) shown << radio->objectName();
    for (const char* field : {"hResEdit", "vResEdit", "vFreqMinEdit", "vFreqTypEdit", "vFreqMaxEdit", "clockEdit"})
        shown << Child<QLineEdit>(page, field)->text();
    if (!sheet.turnToPage(kTiming2Page)) return shown << QStringLiteral("Timing I refused");
    for (const char* field :
         {"hPulseEdit", "hBackPorchEdit", "hTotalEdit", "vPulseEdit", "vBackPorchEdit", "vTotalEdit"})
        shown << Child<QLineEdit>(sheet.page(kTiming2Page), field)->text();
    return shown;
}

}  // namespace

class FilePageTest : public QObject {
    Q_OBJECT

private:
    void click(const char* button) {
        auto* widget = page_->findChild<QAbstractButton*>(QLatin1String(button));
        QVERIFY2(widget, button);
        widget->click();
    }

    // The next dialog answers with path (empty: cancelled) and records the request.
    void choose(const QString& path) {
        SetFileChooser([this, path](const FileDialogRequest& request) {
            requests_ << request;
            return path;
        });
    }

    QString filePath(const QString& name) const { return dir_->filePath(name); }

    EditorState state_;
    QStringList warnings_;
    QList<FileDialogRequest> requests_;
    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<FilePage> page_;

private slots:
    void init() {
        // The state right after start-up.
        state_ = EditorState{};
        SetPanelDefaults(state_.panel);
        SetModeTableDefaults(state_.modeTable);
        state_.editPanel = state_.panel;
        state_.editModeTable = state_.modeTable;
        warnings_.clear();
        requests_.clear();
        SetWarningSink([this](const QString& title, const QString& text) {
            QCOMPARE(title, QStringLiteral(" PANEL EDITOR"));
            warnings_ << text;
        });
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(dir_->isValid());
        page_ = std::make_unique<FilePage>(state_);
        choose(QString());
    }

    void cleanup() {
        page_.reset();
        SetWarningSink({});
        SetFileChooser({});
    }

    void savesRefusedWithoutData() {
        click("savePanelButton");
        click("saveModeButton");
        QCOMPARE(warnings_, (QStringList{QStringLiteral("ERROR: No panel data available !"),
                                         QStringLiteral("ERROR: No mode table available !")}));
        QVERIFY(requests_.isEmpty());  // no dialog shown
    }

    void newClearsPanelDataOnly() {
        state_.panelDataAvailable = true;
        state_.modeTableAvailable = true;
        std::memcpy(state_.editPanel.displayName, "SOMETHING ELSE", 14);
        state_.editPanel.hResolution = 1600;
        state_.editModeTable.modeCount = 0;
        const ModeTable modes = state_.editModeTable;
        click("newPanelButton");
        QVERIFY(warnings_.isEmpty());
        QVERIFY(!state_.panelDataAvailable);
        QVERIFY(state_.modeTableAvailable);
        PanelRecord defaults = state_.editPanel;
        SetPanelDefaults(defaults);
        QVERIFY(SameBytes(state_.editPanel, defaults));
        QCOMPARE(state_.editPanel.hResolution, uint16_t(1024));
        QVERIFY(SameBytes(state_.editModeTable, modes));
        click("savePanelButton");
        QCOMPARE(warnings_, QStringList{QStringLiteral("ERROR: No panel data available !")});
    }

    void saveAppliesResolutionClassAndDefaultExtension() {
        state_.panelDataAvailable = true;
        SetResolutionClass(state_.editPanel, kClassSXGA);
        state_.editPanel.resolutionFlags = 0;
        state_.editPanel.hResolution = 800;
        state_.editPanel.vResolution = 600;
        choose(filePath(QStringLiteral("sxga")));
        click("savePanelButton");

        QVERIFY(warnings_.isEmpty());
        QCOMPARE(requests_.size(), 1);
        QVERIFY(requests_[0].save);
        QCOMPARE(requests_[0].title, QStringLiteral("  SAVE PANEL DATA"));
        QCOMPARE(requests_[0].defaultSuffix, QStringLiteral("PNL"));
        QCOMPARE(requests_[0].owner, page_.get());
        QFile file(filePath(QStringLiteral("sxga.PNL")));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        QCOMPARE(bytes.size(), 512);
        QCOMPARE(Le16(bytes, 36), uint16_t(1280));
        QCOMPARE(Le16(bytes, 38), uint16_t(1024));
        QCOMPARE(Le16(bytes, 62), uint16_t(204));
        QCOMPARE(Le16(bytes, 64), uint16_t(9));
        QCOMPARE(state_.editPanel.hResolution, uint16_t(1280));
        QCOMPARE(state_.editPanel.vResolution, uint16_t(1024));
        QCOMPARE(state_.editPanel.resolutionCodeA, uint16_t(204));
        QCOMPARE(state_.editPanel.resolutionCodeB, uint16_t(9));
        QCOMPARE(QString::fromStdString(state_.currentFilePath), filePath(QStringLiteral("sxga.PNL")));
    }

    void loadPanelFile() {
        PanelRecord record{};
        SetPanelDefaults(record);
        std::memcpy(record.displayName, "LOWER CASE EXT", 14);
        QVERIFY(WritePanelFile(filePath(QStringLiteral("other.pnl")).toStdString(), record));
        choose(filePath(QStringLiteral("other.pnl")));
        click("loadPanelButton");
        QVERIFY(warnings_.isEmpty());
        QVERIFY(state_.panelDataAvailable);
        QVERIFY(SameBytes(state_.editPanel, record));
        QVERIFY(!requests_[0].save);
        QCOMPARE(requests_[0].title, QStringLiteral("  LOAD PANEL DATA"));
        QCOMPARE(state_.currentFilePath.substr(state_.fileNameOffset), std::string("other.pnl"));

        // A name typed without extension finds the file with the default one.
        QVERIFY(WritePanelFile(filePath(QStringLiteral("typed.PNL")).toStdString(), record));
        choose(filePath(QStringLiteral("typed")));
        click("loadPanelButton");
        QVERIFY(warnings_.isEmpty());
        QCOMPARE(QString::fromStdString(state_.currentFilePath), filePath(QStringLiteral("typed.PNL")));
#if !defined(_WIN32)
        QVERIFY(WritePanelFile(filePath(QStringLiteral("lower.pnl")).toStdString(), record));
        choose(filePath(QStringLiteral("lower")));
        click("loadPanelButton");
        QVERIFY(warnings_.isEmpty());
        QCOMPARE(QString::fromStdString(state_.currentFilePath), filePath(QStringLiteral("lower.pnl")));
#endif
    }

    void loadFailuresKeepDataAndFlags_data() {
        QTest::addColumn<bool>("modeKind");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("message");
        QByteArray panel(512, '\0');
        std::memcpy(panel.data(), "VANTRL2", 8);
        QByteArray mode(2116, '\0');
        std::memcpy(mode.data(), "VANTRL2", 8);
        QByteArray badMagic = panel;
        badMagic[6] = '3';
        QByteArray badModeMagic = mode;
        badModeMagic[7] = 'X';
        QTest::newRow("panel 511 bytes") << false << panel.left(511) << "ERROR: Can't load panel data !";
        QTest::newRow("panel wrong magic") << false << badMagic << "ERROR: Wrong format of panel file !";
        QTest::newRow("panel missing") << false << QByteArray() << "ERROR: Can't load panel data !";
        QTest::newRow("panel from a mode file") << false << mode << "ERROR: Wrong format of panel file !";
        QTest::newRow("mode from a panel file") << true << panel << "ERROR: Can't load mode table !";
        QTest::newRow("mode wrong magic") << true << badModeMagic << "ERROR: Wrong format of mode file !";
    }

    void loadFailuresKeepDataAndFlags() {
        QFETCH(bool, modeKind);
        QFETCH(QByteArray, content);
        QFETCH(QString, message);
        const QString path = filePath(QStringLiteral("input.bin"));
        if (!content.isNull()) QVERIFY(WriteBytes(path, content));
        std::memcpy(state_.editPanel.displayName, "UNCHANGED", 9);
        state_.panelDataAvailable = true;
        const PanelRecord panelBefore = state_.editPanel;
        const ModeTable modesBefore = state_.editModeTable;
        choose(path);
        click(modeKind ? "loadModeButton" : "loadPanelButton");
        QCOMPARE(warnings_, QStringList{message});
        QVERIFY(SameBytes(state_.editPanel, panelBefore));
        QVERIFY(SameBytes(state_.editModeTable, modesBefore));
        QVERIFY(state_.panelDataAvailable);
        QVERIFY(!state_.modeTableAvailable);
        // The page stays usable.
        click("savePanelButton");
        QCOMPARE(warnings_.size(), 1);
    }

    void fifoChosenAsPanelFileIsRefusedAtOnce() {
        const QString path = filePath(QStringLiteral("pipe.PNL"));
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        choose(path);
        click("loadPanelButton");  // would wait for a writer forever
        QCOMPARE(warnings_, QStringList{QStringLiteral("ERROR: Can't load panel data !")});
        QVERIFY(!state_.panelDataAvailable);
    }

    void writeFailures() {
        state_.panelDataAvailable = true;
        state_.modeTableAvailable = true;
        choose(filePath(QStringLiteral("no-such-folder/file.PNL")));
        click("savePanelButton");
        choose(filePath(QStringLiteral("no-such-folder/file.MOD")));
        click("saveModeButton");
        QCOMPARE(warnings_, (QStringList{QStringLiteral("ERROR: Can't write panel data !"),
                                         QStringLiteral("ERROR: Can't write mode table !")}));
        QVERIFY(state_.panelDataAvailable);
        QVERIFY(state_.modeTableAvailable);
    }

    void cancelledDialogsChangeNothing() {
        state_.panelDataAvailable = true;
        state_.modeTableAvailable = true;
        state_.currentFilePath = "/kept/path.PNL";
        state_.fileNameOffset = 6;
        const PanelRecord panelBefore = state_.editPanel;
        choose(QString());
        for (const char* button : {"loadPanelButton", "savePanelButton", "loadModeButton", "saveModeButton"})
            click(button);
        QCOMPARE(requests_.size(), 4);
        QVERIFY(warnings_.isEmpty());
        QCOMPARE(state_.currentFilePath, std::string("/kept/path.PNL"));
        QCOMPARE(state_.fileNameOffset, std::size_t(6));
        QVERIFY(SameBytes(state_.editPanel, panelBefore));
        QCOMPARE(state_.editPanel.hResolution, panelBefore.hResolution);  // no resolution fix-up either
    }

    void modeFileRoundTrip() {
        state_.modeTableAvailable = true;
        state_.editModeTable.entries[0].hTotal = 1234;
        choose(filePath(QStringLiteral("modes")));
        click("saveModeButton");
        QCOMPARE(requests_[0].title, QStringLiteral("  SAVE MODE TABLE"));
        QCOMPARE(requests_[0].defaultSuffix, QStringLiteral("MOD"));
        QVERIFY(QFileInfo(filePath(QStringLiteral("modes.MOD"))).size() == 2116);
        const ModeTable saved = state_.editModeTable;
        SetModeTableDefaults(state_.editModeTable);
        state_.modeTableAvailable = false;
        choose(filePath(QStringLiteral("modes.MOD")));
        click("loadModeButton");
        QCOMPARE(requests_[1].title, QStringLiteral("  LOAD MODE TABLE"));
        QVERIFY(!requests_[1].nameFilter.contains(QStringLiteral("EDID")));  // only panel loads take EDIDs
        QVERIFY(warnings_.isEmpty());
        QVERIFY(state_.modeTableAvailable);
        QVERIFY(SameBytes(state_.editModeTable, saved));
    }

    // What the page loads lives in the sheet's edit copy: cancelling the sheet
    // drops it, but the flag set by the page stays set.
    void loadThenCancelTheSheet() {
        ModeTable other = state_.modeTable;
        other.entries[0].hTotal = 999;
        QVERIFY(WriteModeFile(filePath(QStringLiteral("other.MOD")).toStdString(), other));
        const ModeTable committed = state_.modeTable;
        {
            TransferSheet sheet(state_, nullptr);
            sheet.show();
            auto* load = sheet.findChild<QAbstractButton*>(QStringLiteral("loadModeButton"));
            QVERIFY(load);
            choose(filePath(QStringLiteral("other.MOD")));
            load->click();
            QVERIFY(SameBytes(state_.editModeTable, other));
            sheet.reject();
        }
        QVERIFY(SameBytes(state_.modeTable, committed));
        QVERIFY(state_.modeTableAvailable);
        QVERIFY(warnings_.isEmpty());
    }

    // --- EDID files loaded as panel data ----------------------------------

    void edidLoadedAsPanel_data() {
        QTest::addColumn<QByteArray>("edid");
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<QStringList>("messageParts");
        const QStringList factoryPanel{"VANTREL LCD", "inverted", "inverted", "xgaRadio", "",     "",  "56", "60",
                                       "75",          "65.00",    "136",      "160",      "1344", "6", "29", "806"};
        QTest::newRow("factory EDID as .dat")
            << FactoryEdidBlock() << "monitor.dat" << factoryPanel
            << QStringList{"EDID imported: the preferred timing 1024x768 60.004 Hz",
                           "\n\nLeft at their defaults: manufacturer, ", "powerOnT1, "};
        QTest::newRow("factory EDID without extension")
            << FactoryEdidBlock() << "monitor" << factoryPanel << QStringList{"preferred timing 1024x768"};
        // No range limits, no name and 10 bits per colour: the rate window,
        // the name and the colour depth are chosen, and the message says so.
        QTest::newRow("built EDID, nothing but the timing")
            << BuildEdid(Wxga(), 10, "") << "wxga.edid"
            << QStringList{"1280x800@60", "-",     "-",  "otherRadio", "1280", "800", "59", "60",
                           "61",          "71.00", "32", "80",         "1440", "6",   "14", "823"}
            << QStringList{"Left at their defaults: colorDepth, ", "\nNotes:\n",
                           "vFreqMin: no range limits: vFreqMin and vFreqMax are set to 59 and 61 Hz",
                           "displayName: no monitor name", "colorDepth: the EDID gives 10 bits per colour"};
    }

    void edidLoadedAsPanel() {
        QFETCH(QByteArray, edid);
        QFETCH(QString, fileName);
        QFETCH(QStringList, shown);
        QFETCH(QStringList, messageParts);
        QVERIFY(WriteBytes(filePath(fileName), edid));
        choose(filePath(fileName));
        click("loadPanelButton");

        // The panel kind's dialog, with the EDID filter after its own.
        QCOMPARE(requests_[0].title, QStringLiteral("  LOAD PANEL DATA"));
        QCOMPARE(requests_[0].nameFilter, NameFilterFromStoredText(QStringLiteral("Panel files (*.PNL)#*.PNL#")) +
                                              QStringLiteral(";;EDID (*.bin *.edid *.dat)"));
        QCOMPARE(warnings_.size(), 1);
        for (const QString& part : messageParts) QVERIFY2(warnings_[0].contains(part), qPrintable(warnings_[0]));
        QVERIFY(state_.panelDataAvailable);
        QCOMPARE(ShownOnPanelPages(state_), shown);
        QCOMPARE(warnings_.size(), 1);  // every page took the imported values
    }

    void brokenEdidLeavesPanelAsItWas_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("reason");

        const QByteArray good = BuildEdid(Wxga(), 8, "GOOD");
        QByteArray badSum = good;
        badSum[0x7F] = char(badSum[0x7F] ^ 0x01);
        QByteArray badHeader = good;
        badHeader[6] = char(0xFE);
        QTest::newRow("short") << good.left(100) << "block 0: only 100 bytes; a block has 128";
        QTest::newRow("header with a wrong byte") << badHeader << "header 00 FF FF FF FF FF FE 00 is not";
        QTest::newRow("wrong checksum") << badSum << kEdidWrongChecksumText;
        // An EDID 1.2 may hold no detailed timing: its first descriptor is a dummy one.
        QByteArray noTiming = good;
        noTiming[0x13] = 2;
        noTiming.replace(0x36, 18, QByteArray::fromHex("000000100000000000000000000000000000"));
        FixChecksum(noTiming);
        QTest::newRow("no detailed timing") << noTiming << kEdidNoTimingText;
        // 256 pixels: more than the board's byte holds, though the page's check lets it pass.
        QTest::newRow("sync of 256 pixels")
            << BuildEdid(Wxga(71000, 256), 8, "WIDE") << "hPulseWidth: ERROR: Do not use values over 256 !";
        QTest::newRow("clock over 150 MHz")
            << BuildEdid(Wxga(160000), 8, "FAST") << "maxDisplayClock: ERROR: Use values between 15 to 150 MHz !";
    }

    // Nothing is taken from an EDID that is broken or holds values the board
    // cannot hold: the message names the reason, the panel and its flag stay.
    void brokenEdidLeavesPanelAsItWas() {
        QFETCH(QByteArray, content);
        QFETCH(QString, reason);
        const QString path = filePath(QStringLiteral("broken.bin"));
        QVERIFY(WriteBytes(path, content));
        std::memcpy(state_.editPanel.displayName, "UNCHANGED", 9);
        const PanelRecord before = state_.editPanel;
        for (bool available : {false, true}) {
            state_.panelDataAvailable = available;
            warnings_.clear();
            choose(path);
            click("loadPanelButton");
            QCOMPARE(warnings_.size(), 1);
            QVERIFY2(warnings_[0].startsWith(QStringLiteral("ERROR: Can't import EDID !\n")), qPrintable(warnings_[0]));
            QVERIFY2(warnings_[0].contains(reason), qPrintable(warnings_[0]));
            QVERIFY(warnings_[0].endsWith(QStringLiteral("\nThe panel data in memory is unchanged.")));
            QVERIFY(SameBytes(state_.editPanel, before));
            QCOMPARE(state_.panelDataAvailable, available);
        }
    }

    void nameFilters() {
#if defined(_WIN32)
        QCOMPARE(NameFilterFromStoredText(QStringLiteral("Panel files (*.PNL)#*.PNL#")),
                 QStringLiteral("Panel files (*.PNL)"));
#else
        // File names are case-sensitive here: lower-case extensions are listed too.
        QCOMPARE(NameFilterFromStoredText(QStringLiteral("Panel files (*.PNL)#*.PNL#")),
                 QStringLiteral("Panel files (*.PNL *.pnl)"));
        QCOMPARE(NameFilterFromStoredText(QStringLiteral("Gamma table files (*.GAM)#*.GAM#")),
                 QStringLiteral("Gamma table files (*.GAM *.gam)"));
#endif
        QCOMPARE(NameFilterFromStoredText(QString()), QString());
        QCOMPARE(PickFileToSave(state_, nullptr, FileKind::Gamma), 0);  // gamma tables are never written
    }
};

QTEST_MAIN(FilePageTest)
#include "tst_file_page.moc"
