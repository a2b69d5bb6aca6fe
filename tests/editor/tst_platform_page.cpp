// The Platform page and the selection box, driving the real widgets against
// the emulated board on a pseudo-terminal reached through VANTREL_COM1.
#include "bitmap_button.h"
#include "file_dialogs.h"
#include "file_page.h"
#include "help_box.h"
#include "messages.h"
#include "platform_page.h"
#include "selection_box.h"
#include "transfers.h"

#include <tolvane/editor_state.h>
#include <tolvane/files.h>
#include <tolvane/modes.h>
#include <tolvane/panel.h>
#include <vantrel.h>
#include <vantrel_board/board.h>

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <cstring>
#include <memory>

using vantrel_board::Board;
using vantrel_board::Frame;

namespace {

constexpr uint8_t kCmdReset = 0;

std::vector<uint8_t> Bytes(const void* data, std::size_t count) {
    const auto* bytes = static_cast<const uint8_t*>(data);
    return std::vector<uint8_t>(bytes, bytes + count);
}

template <typename T>
bool SameBytes(const T& a, const T& b) {
    return std::memcmp(&a, &b, sizeof(T)) == 0;
}

}  // namespace

class PlatformPageTest : public QObject {
    Q_OBJECT

private:
    void startBoard(uint8_t address) {
        if (board_) board_->Stop();
        vantrel_board::Options options;
        options.address = address;
        options.baud = 0;
        board_ = std::make_unique<Board>(options);
        QVERIFY2(board_->Start(), board_->LastError().c_str());
        qputenv("VANTREL_COM1", QByteArray::fromStdString(board_->SlavePath()));
    }

    template <typename T>
    static T* child(QWidget* parent, const char* name) {
        T* widget = parent->findChild<T*>(QLatin1String(name));
        if (!widget) qFatal("missing child %s", name);
        return widget;
    }

    static QList<QRadioButton*> panelRadios(QWidget* parent) {
        return {child<QRadioButton>(parent, "panel1Radio"), child<QRadioButton>(parent, "panel2Radio"),
                child<QRadioButton>(parent, "panel3Radio"), child<QRadioButton>(parent, "panel4Radio")};
    }

    static int checkedRadio(QWidget* parent) {
        const QList<QRadioButton*> radios = panelRadios(parent);
        int checked = 0;
        for (int i = 0; i < radios.size(); ++i) {
            if (radios[i]->isChecked()) checked = checked ? -1 : i + 1;  // -1: more than one
        }
        return checked;
    }

    std::unique_ptr<PlatformPage> makePage() {
        auto page = std::make_unique<PlatformPage>(state_);
        page->show();
        return page;
    }

    static void click(QWidget* page, const char* button) { child<QAbstractButton>(page, button)->click(); }
    static void setAddress(QWidget* page, const QString& text) { child<QLineEdit>(page, "addressEdit")->setText(text); }

    std::unique_ptr<Board> board_;
    EditorState state_;
    QStringList warnings_;

private slots:
    void init() {
        state_ = EditorState{};
        SetPanelDefaults(state_.panel);
        SetModeTableDefaults(state_.modeTable);
        state_.editPanel = state_.panel;
        state_.editModeTable = state_.modeTable;
        warnings_.clear();
        SetWarningSink([this](const QString&, const QString& text) { warnings_ << text; });
        startBoard(0);
    }

    void cleanup() {
        SetWarningSink({});
        SetFileChooser({});
        CloseSerialCommunication();
        if (board_) board_->Stop();
        board_.reset();
    }

    void opensWithTheSettings() {
        state_.panelNumber = 3;
        state_.resetAfterWrite = false;
        state_.deviceAddress = 42;
        auto page = makePage();
        QCOMPARE(checkedRadio(page.get()), 3);
        QVERIFY(!child<QCheckBox>(page.get(), "resetCheck")->isChecked());
        QCOMPARE(child<QLineEdit>(page.get(), "addressEdit")->text(), QStringLiteral("42"));
        QCOMPARE(child<QLineEdit>(page.get(), "addressEdit")->maxLength(), 3);
        QCOMPARE(child<QGroupBox>(page.get(), "generalGroup")->title(), QStringLiteral(" General "));
        QCOMPARE(child<QGroupBox>(page.get(), "panelGroup")->title(), QStringLiteral(" Panel data "));
        QCOMPARE(child<QGroupBox>(page.get(), "modeGroup")->title(), QStringLiteral(" Mode table "));
        for (const char* name : {"readPanelButton", "writePanelButton", "readModeButton", "writeModeButton"}) {
            auto* button = child<BitmapButton>(page.get(), name);
            QCOMPARE(button->focusInset(), QMargins(2, 3, 3, 4));
            QCOMPARE(button->pressedOffset(), QPoint(1, 1));
            QVERIFY(!button->upFace().isNull());
            QVERIFY(!button->downFace().isNull());
        }

        state_.panelNumber = 0;
        auto none = makePage();
        QCOMPARE(checkedRadio(none.get()), 0);
    }

    void readPanelStoresSlotAndAddressButNotTheResetOption() {
        PanelRecord boardRecord{};
        SetPanelDefaults(boardRecord);
        std::memcpy(boardRecord.displayName, "FROM BOARD", 10);
        SetPanelFlag(boardRecord, kUseGamma, true);
        for (int i = 0; i < 256; ++i) boardRecord.gammaTable.level[i] = static_cast<uint8_t>(i / 2);
        PanelImage image{};
        GammaTable gamma{};
        PanelRecordToImage(boardRecord, image, gamma);
        board_->SetFlash(0xFB00 + 64 * 1, Bytes(image.bytes, 64));
        board_->SetFlash(0xF700 + 256 * 1, Bytes(gamma.level, 256));

        auto page = makePage();
        panelRadios(page.get())[1]->setChecked(true);
        child<QCheckBox>(page.get(), "resetCheck")->setChecked(false);
        setAddress(page.get(), QStringLiteral("abc"));  // no digits: address 0
        state_.deviceAddress = 9;
        click(page.get(), "readPanelButton");

        QVERIFY2(warnings_.isEmpty(), qPrintable(warnings_.join('\n')));
        QVERIFY(state_.panelDataAvailable);
        QCOMPARE(state_.panelNumber, 2);
        QCOMPARE(state_.deviceAddress, 0);
        QVERIFY(state_.resetAfterWrite);
        PanelRecord expected = state_.panel;
        ImageToPanelRecord(image, gamma, expected);
        QVERIFY(SameBytes(state_.editPanel, expected));
        QCOMPARE(std::string(state_.editPanel.displayName, 10), std::string("FROM BOARD"));
        QCOMPARE(state_.editPanel.gammaTable.level[200], uint8_t(100));
        QVERIFY(SameBytes(state_.panel, expected) == false);  // the committed copy is not touched
        QCOMPARE(Vantrel_Reset(0), 0);                        // the link was closed
    }

    void failedReadLeavesEditCopiesAndFlags() {
        vantrel_board::Faults faults;
        faults.dropAnswerFrame = 2;
        board_->SetFaults(faults);
        std::memcpy(state_.editPanel.displayName, "KEEP ME", 7);
        const PanelRecord panelBefore = state_.editPanel;
        const ModeTable modesBefore = state_.editModeTable;
        auto page = makePage();
        click(page.get(), "readPanelButton");
        QCOMPARE(warnings_, QStringList{kCommunicationFailureText});
        QVERIFY(SameBytes(state_.editPanel, panelBefore));
        QVERIFY(!state_.panelDataAvailable);

        warnings_.clear();
        faults.dropAnswerFrame = 10;  // counted across both transfers
        board_->SetFaults(faults);
        state_.modeTableAvailable = false;
        click(page.get(), "readModeButton");
        QCOMPARE(warnings_, QStringList{kCommunicationFailureText});
        QVERIFY(SameBytes(state_.editModeTable, modesBefore));
        QVERIFY(!state_.modeTableAvailable);
        QCOMPARE(Vantrel_Reset(0), 0);
    }

    void refusedAddressStoresNothingAndOpensNothing() {
        state_.deviceAddress = 7;
        state_.panelNumber = 1;
        state_.panelDataAvailable = true;
        state_.modeTableAvailable = true;
        auto page = makePage();
        panelRadios(page.get())[3]->setChecked(true);
        setAddress(page.get(), QStringLiteral("-1"));
        for (const char* button : {"readPanelButton", "writePanelButton", "readModeButton", "writeModeButton"})
            click(page.get(), button);
        QCOMPARE(warnings_, QStringList(4, kDeviceAddressText));
        QCOMPARE(state_.deviceAddress, 7);
        QCOMPARE(state_.panelNumber, 1);
        QTest::qWait(50);
        QVERIFY(board_->ReceivedBytes().empty());
    }

    void writesWithoutDataAreRefused() {
        auto page = makePage();
        click(page.get(), "writePanelButton");
        click(page.get(), "writeModeButton");
        QCOMPARE(warnings_, (QStringList{QStringLiteral("ERROR: No panel data available !"),
                                         QStringLiteral("ERROR: No mode table available !")}));
        QTest::qWait(50);
        QVERIFY(board_->ReceivedBytes().empty());
    }

    void writePanelAppliesResolutionAndResetsDeviceZero() {
        startBoard(5);
        state_.panelDataAvailable = true;
        SetResolutionClass(state_.editPanel, kClassSXGA);
        state_.editPanel.resolutionFlags = 0;
        state_.editPanel.hResolution = 640;
        state_.resetAfterWrite = false;
        auto page = makePage();
        panelRadios(page.get())[2]->setChecked(true);
        child<QCheckBox>(page.get(), "resetCheck")->setChecked(true);
        setAddress(page.get(), QStringLiteral("5"));
        click(page.get(), "writePanelButton");

        QVERIFY2(warnings_.isEmpty(), qPrintable(warnings_.join('\n')));
        QCOMPARE(state_.deviceAddress, 5);
        QCOMPARE(state_.panelNumber, 3);
        QVERIFY(state_.resetAfterWrite);
        QCOMPARE(state_.editPanel.hResolution, uint16_t(1280));
        QCOMPARE(state_.editPanel.vResolution, uint16_t(1024));
        PanelImage expected{};
        GammaTable gamma{};
        PanelRecordToImage(state_.editPanel, expected, gamma);
        QCOMPARE(board_->Flash(0xFB00 + 64 * 2, 64), Bytes(expected.bytes, 64));
        QVERIFY(board_->WaitForFrames(5, std::chrono::milliseconds(2000)));
        const Frame reset = board_->ReceivedFrames().back();
        QCOMPARE(reset.command, kCmdReset);
        QCOMPARE(reset.address, uint8_t(0));
    }

    void doubleClickOnWriteButtonWritesOnce() {
        state_.panelDataAvailable = true;
        auto page = makePage();
        QVERIFY(QTest::qWaitForWindowExposed(page.get()));
        QWidget* button = child<QWidget>(page.get(), "writePanelButton");
        const QPoint centre = button->mapTo(page.get(), button->rect().center());
        QTest::mouseDClick(page->windowHandle(), Qt::LeftButton, {}, centre);
        QTest::qWait(300);  // time for a second write to show up on the line

        QVERIFY2(warnings_.isEmpty(), qPrintable(warnings_.join('\n')));
        int writes = 0;
        int resets = 0;
        for (const Frame& frame : board_->ReceivedFrames()) {
            writes += frame.command == 7;
            resets += frame.command == kCmdReset;
        }
        QCOMPARE(writes, 4);  // 64 bytes in 16-byte chunks, once
        QCOMPARE(resets, 1);

        // Two single clicks are two actions.
        QTest::mouseClick(page->windowHandle(), Qt::LeftButton, {}, centre);
        QTRY_COMPARE(int(board_->ReceivedFrames().size()), 10);
    }

    void modeTableTransfersLeaveThePanelNumber() {
        state_.panelNumber = 1;
        auto page = makePage();
        panelRadios(page.get())[3]->setChecked(true);
        click(page.get(), "readModeButton");
        QVERIFY2(warnings_.isEmpty(), qPrintable(warnings_.join('\n')));
        QCOMPARE(state_.panelNumber, 1);
        QVERIFY(state_.modeTableAvailable);
        ModeTableImage boardImage{};
        std::vector<uint8_t> flash = board_->Flash(0xF400, 768);
        std::memcpy(boardImage.bytes, flash.data(), 768);
        ModeTable expected = state_.modeTable;
        ImageToModeTable(boardImage, expected);
        QVERIFY(SameBytes(state_.editModeTable, expected));

        // Write back one entry fewer, without the reset.
        QVERIFY(state_.editModeTable.modeCount > 1);
        state_.editModeTable.modeCount = static_cast<uint16_t>(state_.editModeTable.modeCount - 1);
        child<QCheckBox>(page.get(), "resetCheck")->setChecked(false);
        board_->ClearRecord();
        click(page.get(), "writeModeButton");
        QVERIFY(warnings_.isEmpty());
        QCOMPARE(state_.panelNumber, 1);
        QVERIFY(!state_.resetAfterWrite);
        ModeTableImage written{};
        ModeTableToImage(state_.editModeTable, written);
        QCOMPARE(board_->Flash(0xF400, 768), Bytes(written.bytes, 768));
        QTest::qWait(50);
        for (const Frame& frame : board_->ReceivedFrames()) QVERIFY(frame.command != kCmdReset);
    }

    // A board table with an empty slot before used ones, read and written
    // back unchanged: the board keeps every byte, the entries behind the gap too.
    void modeTableWithAGapGoesBackUnchanged() {
        std::vector<uint8_t> table = board_->Flash(0xF400, 768);
        std::fill(table.begin() + 20, table.begin() + 40, uint8_t{0});  // slot 1 empty
        board_->SetFlash(0xF400, table);
        auto page = makePage();
        click(page.get(), "readModeButton");
        click(page.get(), "writeModeButton");
        QVERIFY2(warnings_.isEmpty(), qPrintable(warnings_.join('\n')));
        QCOMPARE(board_->Flash(0xF400, 768), table);
    }

    void panelReadWithoutChosenSlotFails() {
        state_.panelNumber = 0;
        auto page = makePage();
        click(page.get(), "readPanelButton");
        QCOMPARE(warnings_, QStringList{kCommunicationFailureText});
        QVERIFY(!state_.panelDataAvailable);
    }

    void helpOpensTheDeviceAddressBox() {
        auto page = makePage();
        int shownBox = 0;
        QTimer::singleShot(0, [&] {
            if (auto* box = qobject_cast<HelpBox*>(QApplication::activeModalWidget())) {
                shownBox = box->boxId();
                box->reject();
            }
        });
        click(page.get(), "helpButton");
        QCOMPARE(shownBox, 974);
    }

    void portThatCannotOpen() {
        qputenv("VANTREL_COM4", "/nonexistent/tty-for-tests");
        state_.config.serialPort = 4;
        auto page = makePage();
        click(page.get(), "readPanelButton");
        QCOMPARE(warnings_, QStringList{kOpenSerialFailedText});
    }

    void selectionBoxLayouts() {
        state_.panelNumber = 4;
        state_.deviceAddress = 12;
        SelectionBox full(state_, SelectionBox::Layout::WithPanelChoice);
        QCOMPARE(full.windowTitle(), QStringLiteral("  SELECTION"));
        QCOMPARE(child<QLabel>(&full, "introLabel")->text(),
                 QStringLiteral("Select panel and hide the box for subsequent calls."));
        QCOMPARE(checkedRadio(&full), 4);
        QCOMPARE(child<QLineEdit>(&full, "addressEdit")->text(), QStringLiteral("12"));
        QVERIFY(child<QCheckBox>(&full, "resetCheck")->isChecked());
        QVERIFY(!child<QCheckBox>(&full, "hideCheck")->isChecked());
        QVERIFY(child<QCheckBox>(&full, "hideCheck")->isEnabled());

        state_.selectionBoxFromMerge = true;
        SelectionBox options(state_, SelectionBox::Layout::WithoutPanelChoice);
        QCOMPARE(child<QLabel>(&options, "introLabel")->text(),
                 QStringLiteral("Select options and hide the box for subsequent calls."));
        QVERIFY(child<QGroupBox>(&options, "panelGroup")->isHidden());
        QVERIFY(!child<QCheckBox>(&options, "hideCheck")->isEnabled());
    }

    void selectionBoxOkAndCancel() {
        state_.panelNumber = 2;
        state_.deviceAddress = 3;
        {
            // A refused address keeps the box open and stores nothing.
            SelectionBox box(state_, SelectionBox::Layout::WithPanelChoice);
            box.show();
            child<QLineEdit>(&box, "addressEdit")->setText(QStringLiteral("65536"));
            panelRadios(&box)[0]->setChecked(true);
            child<QPushButton>(&box, "okButton")->click();
            QCOMPARE(warnings_, QStringList{kDeviceAddressText});
            QVERIFY(box.isVisible());
            QCOMPARE(state_.deviceAddress, 3);
            QCOMPARE(state_.panelNumber, 2);

            // Cancel with an invalid address: still nothing stored.
            child<QPushButton>(&box, "cancelButton")->click();
            QCOMPARE(box.result(), int(QDialog::Rejected));
            QCOMPARE(warnings_.size(), 1);
            QCOMPARE(state_.panelNumber, 2);
        }
        {
            SelectionBox box(state_, SelectionBox::Layout::WithPanelChoice);
            box.show();
            child<QLineEdit>(&box, "addressEdit")->setText(QStringLiteral(" 200"));
            panelRadios(&box)[3]->setChecked(true);
            child<QCheckBox>(&box, "resetCheck")->setChecked(false);
            child<QCheckBox>(&box, "hideCheck")->setChecked(true);
            child<QPushButton>(&box, "okButton")->click();
            QCOMPARE(box.result(), int(QDialog::Accepted));
            QCOMPARE(state_.deviceAddress, 200);
            QCOMPARE(state_.panelNumber, 4);
            QVERIFY(!state_.resetAfterWrite);
            QVERIFY(state_.hideSelectionBox);
        }
        {
            // The box without panel choice sets "none chosen": the Platform
            // page then opens without a checked slot and a panel read fails.
            SelectionBox box(state_, SelectionBox::Layout::WithoutPanelChoice);
            box.show();
            child<QPushButton>(&box, "okButton")->click();
            QCOMPARE(box.result(), int(QDialog::Accepted));
            QCOMPARE(state_.panelNumber, 0);
        }
        auto page = makePage();
        QCOMPARE(checkedRadio(page.get()), 0);
    }

    // The engineer's round: read panel 1, save it as a panel file, load it,
    // write it to panel 2; read the mode table and write it back.
    void readSaveLoadWrite() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("board1"));
        SetFileChooser([&](const FileDialogRequest&) { return path; });

        FilePage files(state_);
        auto page = makePage();
        panelRadios(page.get())[0]->setChecked(true);
        click(page.get(), "readPanelButton");
        const PanelRecord fromBoard = state_.editPanel;
        click(&files, "savePanelButton");
        QVERIFY(QFileInfo::exists(path + QStringLiteral(".PNL")));
        click(&files, "newPanelButton");
        QVERIFY(!state_.panelDataAvailable);
        click(&files, "loadPanelButton");
        QVERIFY(state_.panelDataAvailable);
        PanelRecord expected = fromBoard;
        ApplyResolutionClass(expected);
        QVERIFY(SameBytes(state_.editPanel, expected));

        panelRadios(page.get())[1]->setChecked(true);
        click(page.get(), "writePanelButton");
        QCOMPARE(board_->Flash(0xFB00 + 64, 64), Bytes(state_.writeImage.bytes, 64));
        PanelImage slot1{};
        GammaTable gamma{};
        PanelRecordToImage(expected, slot1, gamma);
        QCOMPARE(board_->Flash(0xFB00 + 64, 64), Bytes(slot1.bytes, 64));

        click(page.get(), "readModeButton");
        const std::vector<uint8_t> modes = board_->Flash(0xF400, 768);
        click(page.get(), "writeModeButton");
        QCOMPARE(board_->Flash(0xF400, 768), modes);
        QVERIFY2(warnings_.isEmpty(), qPrintable(warnings_.join('\n')));
    }
};

QTEST_MAIN(PlatformPageTest)
#include "tst_platform_page.moc"
