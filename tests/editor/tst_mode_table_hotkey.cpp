// The write hotkey of the open mode table dialog, end to end: the key, the
// selection box, the transfer to the emulated board on a pseudo-terminal
// (VANTREL_COM1) and the table image in the board's flash at 0xF400.
//
// Offscreen the key is pressed on the dialog and reaches it through the
// application-wide shortcut; the same program started under Xvfb (ctest:
// tst_mode_table_hotkey_xvfb) grabs F2 on the X server and presses it with
// xdotool, as an engineer would with the dialog open.
#include "messages.h"
#include "mode_table_dialog.h"
#include "selection_box.h"
#include "transfers.h"
#include "ui_ModeTableDialog.h"
#include "write_hotkey.h"

#include <tolvane/editor_state.h>
#include <tolvane/modes.h>
#include <vantrel.h>
#include <vantrel_board/board.h>

#include <QApplication>
#include <QGuiApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>
#include <QtTest>

#include <cstring>
#include <functional>
#include <memory>

using vantrel_board::Board;
using vantrel_board::Frame;

namespace {

constexpr uint32_t kModeTableAddress = 0xF400;
constexpr uint8_t kCmdReset = 0;
constexpr uint8_t kCmdWriteFlash = 7;

template <typename T>
bool SameBytes(const T& a, const T& b) {
    return std::memcmp(&a, &b, sizeof(T)) == 0;
}

int CountFrames(const std::vector<Frame>& frames, uint8_t command) {
    int n = 0;
    for (const Frame& frame : frames) n += frame.command == command;
    return n;
}

bool OnX11() { return QGuiApplication::platformName() == QLatin1String("xcb"); }

// Counts the selection boxes that appear.
class BoxCounter : public QObject {
public:
    int shown = 0;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show && qobject_cast<SelectionBox*>(watched)) ++shown;
        return false;
    }
};

}  // namespace

class ModeTableHotkeyTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<Board> board_;
    EditorState state_;
    QStringList warnings_;
    BoxCounter boxes_;

    void startBoard() {
        vantrel_board::Options options;
        options.baud = 0;
        board_ = std::make_unique<Board>(options);
        QVERIFY2(board_->Start(), board_->LastError().c_str());
        qputenv("VANTREL_COM1", QByteArray::fromStdString(board_->SlavePath()));
    }

    std::vector<uint8_t> boardTable() const { return board_->Flash(kModeTableAddress, sizeof(ModeTableImage)); }

    static std::vector<uint8_t> ImageOf(const ModeTable& table) {
        ModeTableImage image{};
        ModeTableToImage(table, image);
        return std::vector<uint8_t>(image.bytes, image.bytes + sizeof image.bytes);
    }

    std::unique_ptr<ModeTableDialog> open() {
        auto dialog = std::make_unique<ModeTableDialog>(state_);
        dialog->show();
        if (!QTest::qWaitForWindowExposed(dialog.get())) qWarning("dialog not exposed");
        return dialog;
    }

    // Presses the write hotkey F2 the way the platform delivers it.
    static bool press(QWidget* dialog) {
        if (!OnX11()) {
            // The shortcut stands in for the system-wide key while one of
            // the editor's windows is active.
            dialog->activateWindow();
            if (!QTest::qWaitForWindowActive(dialog)) return false;
            QTest::keyClick(dialog, Qt::Key_F2);
            return true;
        }
        const QString xdotool = QStandardPaths::findExecutable(QStringLiteral("xdotool"));
        if (xdotool.isEmpty()) return false;
        QProcess process;
        process.start(xdotool, {QStringLiteral("key"), QStringLiteral("F2")});
        return process.waitForFinished(5000) && process.exitCode() == 0;
    }

    // Runs `act` on the next selection box once it is shown.
    void onNextBox(std::function<void(SelectionBox*)> act) {
        auto* timer = new QTimer(this);
        timer->setInterval(5);
        connect(timer, &QTimer::timeout, this, [timer, act] {
            auto* box = qobject_cast<SelectionBox*>(QApplication::activeModalWidget());
            if (!box || !box->isVisible()) return;
            timer->stop();
            timer->deleteLater();
            act(box);
        });
        timer->start();
    }

private slots:
    void initTestCase() {
        if (OnX11() && QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
            QSKIP("xdotool is not installed");
        qApp->installEventFilter(&boxes_);
    }

    void init() {
        state_ = EditorState{};
        SetModeTableDefaults(state_.modeTable);
        state_.editModeTable = state_.modeTable;
        state_.panelNumber = 3;
        warnings_.clear();
        boxes_.shown = 0;
        SetWarningSink([this](const QString&, const QString& text) { warnings_ << text; });
        startBoard();
    }

    void cleanup() {
        SetWarningSink({});
        SetTransferProgressObserver({});
        CloseSerialCommunication();
        if (board_) board_->Stop();
        board_.reset();
    }

    void hotkeyWritesTheStoredEntriesAndKeepsTheDialogOpen() {
        auto dialog = open();
        Ui::ModeTableDialog* ui = dialog->ui();
        // Stored: a second entry in front of the first, 600 x 400.
        ui->widthEdit->setText(QStringLiteral("600"));
        ui->heightEdit->setText(QStringLiteral("400"));
        ui->addButton->click();
        QCOMPARE(+state_.editModeTable.modeCount, 2);
        // Typed but not stored: not written.
        ui->widthEdit->setText(QStringLiteral("320"));
        const std::vector<uint8_t> expected = ImageOf(state_.editModeTable);
        QVERIFY(boardTable() != expected);

        bool boxSeen = false;
        onNextBox([&](SelectionBox* box) {
            boxSeen = true;
            QVERIFY(box->findChild<QWidget*>(QStringLiteral("panelGroup"))->isHidden());
            box->findChild<QLineEdit*>(QStringLiteral("addressEdit"))->setText(QStringLiteral("0"));
            box->findChild<QCheckBox*>(QStringLiteral("resetCheck"))->setChecked(true);
            box->findChild<QCheckBox*>(QStringLiteral("hideCheck"))->setChecked(true);
            box->findChild<QPushButton*>(QStringLiteral("okButton"))->click();
        });
        QVERIFY(press(dialog.get()));
        QTRY_VERIFY_WITH_TIMEOUT(boardTable() == expected, 10000);
        QTRY_COMPARE(CountFrames(board_->ReceivedFrames(), kCmdReset), 1);
        QVERIFY(boxSeen);
        QVERIFY2(warnings_.isEmpty(), qPrintable(warnings_.join('\n')));
        QCOMPARE(CountFrames(board_->ReceivedFrames(), kCmdWriteFlash), 768 / 16);
        QCOMPARE(board_->ReceivedFrames().back().address, uint8_t(0));  // the reset goes to device 0
        QCOMPARE(state_.panelNumber, 0);                                // the box without panel choice chooses none
        QVERIFY(state_.hideSelectionBox);
        // Neither the committed copy nor the availability flag is touched.
        ModeTable startup{};
        SetModeTableDefaults(startup);
        QVERIFY(SameBytes(state_.modeTable, startup));
        QVERIFY(!state_.modeTableAvailable);
        QVERIFY(dialog->isVisible());
        QCOMPARE(CurrentWriteHotkey().window.data(), dialog.get());
        QCOMPARE(CurrentWriteHotkey().backend, OnX11() ? QStringLiteral("x11") : QStringLiteral("shortcut"));
        QCOMPARE(Vantrel_Reset(0), 0);  // no frame can go out: the link is closed again

        // With the box hidden the next press writes at once.
        board_->ClearRecord();
        ui->modeList->setCurrentRow(1);
        ui->upButton->click();
        const std::vector<uint8_t> moved = ImageOf(state_.editModeTable);
        QVERIFY(press(dialog.get()));
        QTRY_VERIFY_WITH_TIMEOUT(boardTable() == moved, 10000);
        QCOMPARE(boxes_.shown, 1);
    }

    void cancelInTheBoxSendsNothing() {
        auto dialog = open();
        const std::vector<uint8_t> before = boardTable();
        bool cancelled = false;
        onNextBox([&](SelectionBox* box) {
            box->findChild<QLineEdit*>(QStringLiteral("addressEdit"))->setText(QStringLiteral("999"));
            box->findChild<QPushButton*>(QStringLiteral("cancelButton"))->click();
            cancelled = true;
        });
        QVERIFY(press(dialog.get()));
        QTRY_VERIFY(cancelled);
        QVERIFY(!dialog->writeRunning());
        QTest::qWait(100);
        QVERIFY(board_->ReceivedFrames().empty());
        QVERIFY(warnings_.isEmpty());
        QCOMPARE(state_.panelNumber, 3);
        QVERIFY(boardTable() == before);

        // A press still queued when the dialog ends writes nothing.
        QCoreApplication::postEvent(dialog.get(), new WriteHotkeyEvent);
        dialog->ui()->okButton->click();
        QTest::qWait(100);
        QCOMPARE(boxes_.shown, 1);
        QVERIFY(board_->ReceivedFrames().empty());
    }

    void pressDuringTheBoxOrTheTransferStartsNoSecondWrite() {
        auto dialog = open();
        // Posted the way the hotkey layer posts a press.
        auto pressAgain = [&] { QCoreApplication::postEvent(dialog.get(), new WriteHotkeyEvent); };
        onNextBox([&](SelectionBox* box) {
            pressAgain();
            QTest::qWait(50);
            box->findChild<QPushButton*>(QStringLiteral("okButton"))->click();
        });
        bool pressedDuringTransfer = false;
        SetTransferProgressObserver([&](int) {
            if (!pressedDuringTransfer) {
                pressedDuringTransfer = true;
                pressAgain();
            }
        });
        QVERIFY(press(dialog.get()));
        QTRY_VERIFY_WITH_TIMEOUT(boardTable() == ImageOf(state_.editModeTable), 10000);
        QTRY_VERIFY(!dialog->writeRunning());
        QTest::qWait(200);
        QVERIFY(pressedDuringTransfer);
        QCOMPARE(boxes_.shown, 1);
        QCOMPARE(CountFrames(board_->ReceivedFrames(), kCmdWriteFlash), 768 / 16);
        QVERIFY(warnings_.isEmpty());
    }

    void emptyTableWritesAnAllZeroImage() {
        state_.editModeTable.modeCount = 0;
        std::memset(state_.editModeTable.entries, 0, sizeof state_.editModeTable.entries);
        state_.hideSelectionBox = true;
        auto dialog = open();
        QVERIFY(boardTable() != std::vector<uint8_t>(768, 0));
        QVERIFY(press(dialog.get()));
        QTRY_VERIFY_WITH_TIMEOUT(boardTable() == std::vector<uint8_t>(768, 0), 10000);
    }

    void failuresAreReportedAndTheDialogStays() {
        state_.hideSelectionBox = true;
        auto dialog = open();
        vantrel_board::Faults faults;
        faults.dropAnswerFrame = 3;
        board_->SetFaults(faults);
        QVERIFY(press(dialog.get()));
        QTRY_COMPARE_WITH_TIMEOUT(warnings_, QStringList{QStringLiteral("ERROR: Communication failure !")}, 10000);
        QTRY_VERIFY(!dialog->writeRunning());
        QCOMPARE(CountFrames(board_->ReceivedFrames(), kCmdReset), 0);
        QCOMPARE(Vantrel_Reset(0), 0);  // closed after the failure

        warnings_.clear();
        board_->Stop();
        qputenv("VANTREL_COM1", "/nonexistent/tty-of-no-board");
        QVERIFY(press(dialog.get()));
        QTRY_COMPARE(warnings_, QStringList{QStringLiteral("ERROR: Can't open serial device !")});
        QVERIFY(dialog->isVisible());
    }
};

QTEST_MAIN(ModeTableHotkeyTest)
#include "tst_mode_table_hotkey.moc"
