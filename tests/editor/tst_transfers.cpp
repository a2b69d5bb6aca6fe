// The transfer operations and the open-run-close sequence, end to end against
// the emulated board on a pseudo-terminal reached through VANTREL_COM1.
#include "messages.h"
#include "status_window.h"
#include "transfers.h"

#include <tolvane/editor_state.h>
#include <tolvane/modes.h>
#include <tolvane/panel.h>
#include <vantrel.h>
#include <vantrel_board/board.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QProgressBar>
#include <QtTest>

#include <memory>

using vantrel_board::Board;
using vantrel_board::Frame;

namespace {

constexpr uint8_t kCmdReset = 0;
constexpr uint8_t kCmdWriteFlash = 7;
constexpr uint8_t kCmdReadFlash = 8;

std::vector<uint8_t> Bytes(const uint8_t* data, std::size_t count) { return std::vector<uint8_t>(data, data + count); }

// A panel image and gamma table as the editor packs them.
void PackPanel(bool useGamma, PanelImage& image, GammaTable& gamma) {
    PanelRecord record{};
    SetPanelDefaults(record);
    SetPanelFlag(record, kUseGamma, useGamma);
    for (int i = 0; i < 256; ++i) record.gammaTable.level[i] = static_cast<uint8_t>(255 - i);
    PanelRecordToImage(record, image, gamma);
}

int CountFrames(const std::vector<Frame>& frames, uint8_t command) {
    int n = 0;
    for (const Frame& frame : frames) n += frame.command == command;
    return n;
}

// Counts status windows shown, to prove that none appears when the port fails.
class ShowCounter : public QObject {
public:
    int statusWindowsShown = 0;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show && qobject_cast<StatusWindow*>(watched)) ++statusWindowsShown;
        return false;
    }
};

}  // namespace

class TransferTest : public QObject {
    Q_OBJECT

private:
    void startBoard(uint8_t address = 0) {
        vantrel_board::Options options;
        options.address = address;
        options.baud = 0;  // no line pacing: the protocol is the same, the tests are faster
        board_ = std::make_unique<Board>(options);
        QVERIFY2(board_->Start(), board_->LastError().c_str());
        qputenv("VANTREL_COM1", QByteArray::fromStdString(board_->SlavePath()));
    }

    // Runs body in the open-run-close sequence on COM1, with a parent page for
    // the status window and the progress positions recorded.
    int run(const std::function<int(QWidget*)>& body) {
        positions_.clear();
        windowVisibleAtEveryStep_ = true;
        SetTransferProgressObserver([this](int position) {
            positions_ << position;
            StatusWindow* window = StatusWindow::current();
            if (!window || !window->isVisible() || window->progressBar()->value() != position)
                windowVisibleAtEveryStep_ = false;
        });
        QWidget page;
        page.resize(400, 300);
        page.show();
        const int result = RunTransfer(state_.config, [&] { return body(&page); });
        SetTransferProgressObserver({});
        return result;
    }

    static bool NoStatusWindowLeft() {
        if (StatusWindow::current()) return false;
        for (QWidget* widget : QApplication::allWidgets()) {
            if (qobject_cast<StatusWindow*>(widget)) return false;
        }
        return true;
    }

    // The link is closed when a reset can no longer be sent.
    static bool LinkClosed() { return Vantrel_Reset(0) == 0; }

    std::unique_ptr<Board> board_;
    EditorState state_;
    QStringList warnings_;
    QList<int> positions_;
    bool windowVisibleAtEveryStep_ = true;

private slots:
    void init() {
        state_ = EditorState{};
        warnings_.clear();
        SetWarningSink([this](const QString& title, const QString& text) {
            QCOMPARE(title, QStringLiteral(" PANEL EDITOR"));
            warnings_ << text;
        });
        startBoard();
    }

    void cleanup() {
        SetWarningSink({});
        SetTransferProgressObserver({});
        CloseSerialCommunication();
        if (board_) board_->Stop();
        board_.reset();
    }

    void readPanelWithoutGammaIsOneBlockOf64Bytes() {
        PanelImage image{};
        GammaTable gamma{};
        PackPanel(false, image, gamma);
        board_->SetFlash(0xFB00 + 64 * 2, Bytes(image.bytes, 64));
        GammaTable before{};
        std::memset(before.level, 0x5A, 256);
        state_.gammaBuffer = before;

        const int result = run([&](QWidget* page) {
            return ReadPanelFromBoard(page, QFont(), 3, 0, state_.readImage, state_.gammaBuffer);
        });
        QCOMPARE(result, 1);
        QVERIFY(warnings_.isEmpty());
        QCOMPARE(Bytes(state_.readImage.bytes, 64), Bytes(image.bytes, 64));
        QCOMPARE(Bytes(state_.gammaBuffer.level, 256), Bytes(before.level, 256));
        const std::vector<Frame> frames = board_->ReceivedFrames();
        QCOMPARE(CountFrames(frames, kCmdReadFlash), 4);
        QCOMPARE(int(frames.size()), 4);
        QCOMPARE(positions_, (QList<int>{25, 50, 75, 100}));
        QVERIFY(windowVisibleAtEveryStep_);
        QVERIFY(NoStatusWindowLeft());
        QVERIFY(LinkClosed());
    }

    void readPanelWithGammaAddsTheTable() {
        PanelImage image{};
        GammaTable gamma{};
        PackPanel(true, image, gamma);
        board_->SetFlash(0xFB00 + 64 * 0, Bytes(image.bytes, 64));
        board_->SetFlash(0xF700 + 256 * 0, Bytes(gamma.level, 256));

        const int result = run([&](QWidget* page) {
            return ReadPanelFromBoard(page, QFont(), 1, 0, state_.readImage, state_.gammaBuffer);
        });
        QCOMPARE(result, 1);
        QCOMPARE(Bytes(state_.gammaBuffer.level, 256), Bytes(gamma.level, 256));
        QCOMPARE(CountFrames(board_->ReceivedFrames(), kCmdReadFlash), 4 + 16);
        QCOMPARE(positions_, (QList<int>{25, 50, 75, 6, 12, 18, 25, 31, 37, 43, 50, 56, 62, 68, 75, 81, 87, 93, 100}));
        QVERIFY(windowVisibleAtEveryStep_);
        QVERIFY(NoStatusWindowLeft());
    }

    void writePanelLandsInFlashAndResetsDeviceZero_data() {
        QTest::addColumn<bool>("useGamma");
        QTest::newRow("without gamma") << false;
        QTest::newRow("with gamma") << true;
    }

    void writePanelLandsInFlashAndResetsDeviceZero() {
        QFETCH(bool, useGamma);
        board_->Stop();
        startBoard(5);
        const std::vector<uint8_t> gammaBefore = board_->Flash(0xF700 + 256 * 1, 256);
        PackPanel(useGamma, state_.writeImage, state_.gammaBuffer);

        const int result = run([&](QWidget* page) {
            return WritePanelToBoard(page, QFont(), true, 2, 5, state_.writeImage, state_.gammaBuffer);
        });
        QCOMPARE(result, 1);
        QVERIFY(warnings_.isEmpty());
        QCOMPARE(board_->Flash(0xFB00 + 64 * 1, 64), Bytes(state_.writeImage.bytes, 64));
        // The image being sent decides whether its gamma table goes too.
        QCOMPARE(board_->Flash(0xF700 + 256 * 1, 256), useGamma ? Bytes(state_.gammaBuffer.level, 256) : gammaBefore);
        const int chunks = useGamma ? 4 + 16 : 4;
        QVERIFY(board_->WaitForFrames(chunks + 1, std::chrono::milliseconds(2000)));
        const std::vector<Frame> frames = board_->ReceivedFrames();
        QCOMPARE(int(frames.size()), chunks + 1);
        QCOMPARE(CountFrames(frames, kCmdWriteFlash), chunks);
        for (int i = 0; i < chunks; ++i) QCOMPARE(frames[i].address, uint8_t(5));
        QCOMPARE(frames.back().command, kCmdReset);
        QCOMPARE(frames.back().address, uint8_t(0));
        QCOMPARE(positions_.back(), 100);
        QVERIFY(NoStatusWindowLeft());
        QVERIFY(LinkClosed());
    }

    void writeWithoutResetOptionSendsNoReset() {
        PackPanel(false, state_.writeImage, state_.gammaBuffer);
        QCOMPARE(run([&](QWidget* page) {
                     return WritePanelToBoard(page, QFont(), false, 1, 0, state_.writeImage, state_.gammaBuffer);
                 }),
                 1);
        QTest::qWait(100);
        QCOMPARE(CountFrames(board_->ReceivedFrames(), kCmdReset), 0);
    }

    void modeTableBothWays() {
        ModeTable table{};
        SetModeTableDefaults(table);
        ModeTableToImage(table, state_.modeTableImage);
        QCOMPARE(
            run([&](QWidget* page) { return WriteModeTableToBoard(page, QFont(), true, 0, state_.modeTableImage); }),
            1);
        QCOMPARE(board_->Flash(0xF400, 768), Bytes(state_.modeTableImage.bytes, 768));
        QCOMPARE(positions_.size(), 48);  // 47 chunk reports and the final 100
        QCOMPARE(positions_.first(), 2);  // 16 of 768
        QCOMPARE(positions_[46], 97);     // 752 of 768
        QCOMPARE(positions_.back(), 100);

        std::vector<uint8_t> other = board_->Flash(0xF400, 768);
        other[0] ^= 0x11;
        other[767 - 8] = 0x42;
        board_->SetFlash(0xF400, other);
        ModeTableImage read{};
        QCOMPARE(run([&](QWidget* page) { return ReadModeTableFromBoard(page, QFont(), 0, read); }), 1);
        QCOMPARE(Bytes(read.bytes, 768), other);
        QVERIFY(warnings_.isEmpty());
        QVERIFY(NoStatusWindowLeft());
    }

    void panelNumberZeroFailsWithoutSending() {
        QCOMPARE(run([&](QWidget* page) {
                     return ReadPanelFromBoard(page, QFont(), 0, 0, state_.readImage, state_.gammaBuffer);
                 }),
                 0);
        QCOMPARE(warnings_, QStringList{kCommunicationFailureText});
        QCOMPARE(run([&](QWidget* page) {
                     return WritePanelToBoard(page, QFont(), true, 0, 0, state_.writeImage, state_.gammaBuffer);
                 }),
                 0);
        QTest::qWait(50);
        QVERIFY(board_->ReceivedFrames().empty());  // no data and no reset
        QVERIFY(NoStatusWindowLeft());
        QVERIFY(LinkClosed());
    }

    void portThatCannotOpenShowsNoStatusWindow() {
        qputenv("VANTREL_COM3", "/nonexistent/tty-for-tests");
        state_.config.serialPort = 3;
        ShowCounter counter;
        qApp->installEventFilter(&counter);
        bool ran = false;
        const int result = RunTransfer(state_.config, [&] {
            ran = true;
            return ReadPanelFromBoard(nullptr, QFont(), 1, 0, state_.readImage, state_.gammaBuffer);
        });
        qApp->removeEventFilter(&counter);
        QCOMPARE(result, 0);
        QVERIFY(!ran);
        QCOMPARE(counter.statusWindowsShown, 0);
        QCOMPARE(warnings_, QStringList{kOpenSerialFailedText});
    }

    // A board that stops answering, answers with a wrong checksum or echoes a
    // written block differently: the operation fails within the command
    // time-outs, the user sees the communication message, no reset follows a
    // failed write and the link is closed afterwards.
    void faultsEndInCommunicationFailure_data() {
        QTest::addColumn<int>("fault");
        QTest::addColumn<bool>("write");
        QTest::newRow("no answer, read") << 0 << false;
        QTest::newRow("no answer, write") << 0 << true;
        QTest::newRow("wrong checksum, read") << 1 << false;
        QTest::newRow("wrong checksum, write") << 1 << true;
        QTest::newRow("altered echo, write") << 2 << true;
    }

    void faultsEndInCommunicationFailure() {
        QFETCH(int, fault);
        QFETCH(bool, write);
        vantrel_board::Faults faults;
        if (fault == 0) faults.dropAnswerFrame = 3;
        else if (fault == 1) faults.badChecksumFrame = 3;
        else faults.alterEchoFrame = 3;
        board_->SetFaults(faults);
        PackPanel(true, state_.writeImage, state_.gammaBuffer);

        QElapsedTimer timer;
        timer.start();
        const int result = run([&](QWidget* page) {
            if (write) return WritePanelToBoard(page, QFont(), true, 1, 0, state_.writeImage, state_.gammaBuffer);
            return ReadPanelFromBoard(page, QFont(), 1, 0, state_.readImage, state_.gammaBuffer);
        });
        QCOMPARE(result, 0);
        QVERIFY2(timer.elapsed() < 5000, "a failing chunk must end within its time-out");
        QCOMPARE(warnings_, QStringList{kCommunicationFailureText});
        QVERIFY(!positions_.contains(100));
        QVERIFY(NoStatusWindowLeft());
        QVERIFY(LinkClosed());
        QTest::qWait(100);
        const std::vector<Frame> frames = board_->ReceivedFrames();
        QCOMPARE(int(frames.size()), 3);  // the transfer stopped at the failing chunk
        QCOMPARE(CountFrames(frames, kCmdReset), 0);
    }

    void garbageInsteadOfAnswerFails() {
        board_->QueueRawAnswer({0x12, 0x34, 0x56});
        const int result =
            run([&](QWidget* page) { return ReadModeTableFromBoard(page, QFont(), 0, state_.modeTableImage); });
        QCOMPARE(result, 0);
        QCOMPARE(warnings_, QStringList{kCommunicationFailureText});
        QVERIFY(LinkClosed());
    }

    void progressArithmetic() {
        QWidget page;
        {
            page.move(120, 80);
            page.show();
            QFont caption(QStringLiteral("Helv"), 11, QFont::Bold);
            StatusWindow window(&page, caption);
            QCOMPARE(window.windowTitle(), QStringLiteral("  STATUS"));
            QVERIFY(window.isVisible());
            QVERIFY(!window.isModal());
            QCOMPARE(window.pos(), page.mapToGlobal(QPoint(0, 0)));
            auto* group = window.findChild<QGroupBox*>();
            QVERIFY(group);
            QCOMPARE(group->title(), QStringLiteral(" Transfer status "));
            QVERIFY(group->font().bold());
            QVERIFY(!window.progressBar()->isTextVisible());
            QCOMPARE(window.progressBar()->minimum(), 0);
            QCOMPARE(window.progressBar()->maximum(), 100);
            QCOMPARE(window.progressBar()->value(), 0);
            ShowTransferProgress(768, 752);
            QCOMPARE(window.progressBar()->value(), 97);
            ShowTransferProgress(64, 16);
            QCOMPARE(window.progressBar()->value(), 25);
            ShowTransferProgress(0, 0);  // nothing to measure: the bar stays
            QCOMPARE(window.progressBar()->value(), 25);
            ShowTransferProgress(100, 100);
            QCOMPARE(window.progressBar()->value(), 100);
        }
        ShowTransferProgress(64, 32);  // no window: nothing happens
        QVERIFY(StatusWindow::current() == nullptr);
    }

    void deviceAddressEntry_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("address");  // -1: refused
        QTest::newRow("plain") << "17" << 17;
        QTest::newRow("blanks and sign") << "  +255" << 255;
        QTest::newRow("digits then text") << "12ab" << 12;
        QTest::newRow("no digits") << "abc" << 0;
        QTest::newRow("empty") << "" << 0;
        QTest::newRow("minus zero") << "-0" << 0;
        QTest::newRow("negative") << "-1" << -1;
        QTest::newRow("too large") << "256" << -1;
        QTest::newRow("65536") << "65536" << -1;
        QTest::newRow("only 7 characters read") << "0000000255" << 0;
    }

    void deviceAddressEntry() {
        QFETCH(QString, text);
        QFETCH(int, address);
        const std::optional<int> result = DeviceAddressFromEntry(text);
        if (address < 0) {
            QVERIFY(!result);
            QCOMPARE(warnings_, QStringList{kDeviceAddressText});
        } else {
            QCOMPARE(result.value_or(-1), address);
            QVERIFY(warnings_.isEmpty());
        }
    }

    void eventDuringATransferCannotStartAnother() {
        PanelImage image{};
        GammaTable gamma{};
        PackPanel(true, image, gamma);
        board_->SetFlash(0xFB00, Bytes(image.bytes, 64));
        board_->SetFlash(0xF700, Bytes(gamma.level, 256));
        QWidget page;
        page.show();
        StatusWindow* windowAtStart = nullptr;
        int nestedResult = -1;
        bool nestedBodyRan = false;
        bool sameWindowAfterNested = false;
        // Posted during the first block; the status window's repaint lets it
        // through while the transfer still runs, as it does a write hotkey.
        SetTransferProgressObserver([&](int) {
            if (windowAtStart) return;
            windowAtStart = StatusWindow::current();
            QMetaObject::invokeMethod(
                &page,
                [&] {
                    nestedResult = RunTransfer(state_.config, [&] {
                        nestedBodyRan = true;
                        return WriteModeTableToBoard(&page, state_);
                    });
                    sameWindowAfterNested = StatusWindow::current() == windowAtStart;
                },
                Qt::QueuedConnection);
        });
        const int result = RunTransfer(state_.config, [&] {
            return ReadPanelFromBoard(&page, QFont(), 1, 0, state_.readImage, state_.gammaBuffer);
        });
        SetTransferProgressObserver({});

        QCOMPARE(nestedResult, 0);
        QVERIFY(!nestedBodyRan);
        QVERIFY(sameWindowAfterNested);
        QCOMPARE(result, 1);
        QVERIFY2(warnings_.isEmpty(), qPrintable(warnings_.join('\n')));
        QCOMPARE(Bytes(state_.gammaBuffer.level, 256), Bytes(gamma.level, 256));
        QCOMPARE(CountFrames(board_->ReceivedFrames(), kCmdWriteFlash), 0);
        QVERIFY(NoStatusWindowLeft());
        QVERIFY(LinkClosed());

        // Afterwards transfers run again.
        QCOMPARE(
            RunTransfer(state_.config,
                        [&] { return ReadPanelFromBoard(&page, QFont(), 1, 0, state_.readImage, state_.gammaBuffer); }),
            1);
    }
};

QTEST_MAIN(TransferTest)
#include "tst_transfers.moc"
