// The Interface I and Interface II pages of the panel data sheet, driven
// through their real widgets, and the write hotkey that stores every open
// page and writes the panel to the emulated board on a pseudo-terminal.
#include "help_box.h"
#include "interface1_page.h"
#include "interface2_page.h"
#include "main_window.h"
#include "messages.h"
#include "panel_data_sheet.h"
#include "panel_hotkey_write.h"
#include "panel_pages.h"
#include "selection_box.h"
#include "status_window.h"
#include "transfers.h"
#include "ui_Interface1Page.h"
#include "ui_Interface2Page.h"
#include "write_hotkey.h"

#include <tolvane/editor_state.h>
#include <tolvane/modes.h>
#include <tolvane/panel.h>
#include <vantrel.h>
#include <vantrel_board/board.h>

#include <QApplication>
#include <QTimer>
#include <QtTest>

#include <cstring>
#include <functional>
#include <memory>

using vantrel_board::Board;
using vantrel_board::Frame;

namespace {

template <typename T>
bool SameBytes(const T& a, const T& b) {
    return std::memcmp(&a, &b, sizeof(T)) == 0;
}

std::vector<uint8_t> Bytes(const void* data, std::size_t count) {
    const auto* bytes = static_cast<const uint8_t*>(data);
    return std::vector<uint8_t>(bytes, bytes + count);
}

void SetName(PanelRecord& record, const char* name) {
    std::memset(record.displayName, 0, sizeof record.displayName);
    std::memcpy(record.displayName, name, std::min(std::strlen(name), sizeof record.displayName));
}

// The image the board must hold after a write of `record`.
std::vector<uint8_t> PackedImage(PanelRecord record) {
    ApplyResolutionClass(record);
    PanelImage image{};
    GammaTable gamma{};
    PanelRecordToImage(record, image, gamma);
    return Bytes(image.bytes, sizeof image.bytes);
}

// The control that Tab moves to from `from`.
QWidget* NextTabStop(QWidget* from) {
    QWidget* w = from->nextInFocusChain();
    while (w != from && !(w->focusPolicy() & Qt::TabFocus)) w = w->nextInFocusChain();
    return w;
}

int FlashWriteFrames(const Board& board) {
    int count = 0;
    for (const Frame& frame : board.ReceivedFrames()) count += frame.command == vantrel_board::kCmdWriteFlash ? 1 : 0;
    return count;
}

// A page standing in for Timing I .. Gamma/Power: it records the store
// requests it receives and refuses them, with a message, when told to.
class StandInPage : public SheetPage {
public:
    StandInPage(QString name, QStringList& requests, QWidget* parent)
        : SheetPage(parent), name_(std::move(name)), requests_(requests) {}
    bool storePageRequest() override {
        requests_.append(name_);
        if (refuse) ShowWarning(QStringLiteral("ERROR: Unvalid horizontal frequency !"), QStringLiteral(" TIMING I"));
        return !refuse;
    }
    bool refuse = false;

private:
    QString name_;
    QStringList& requests_;
};

}  // namespace

class InterfacePagesTest : public QObject {
    Q_OBJECT

private:
    EditorState state_;
    QList<QPair<QString, QString>> warnings_;  // title, text
    std::unique_ptr<Board> board_;
    QStringList requests_;
    QPointer<QTimer> watcher_;

    std::unique_ptr<PanelDataSheet> openSheet(const QList<SheetPageEntry>& pages = {}) {
        auto sheet = std::make_unique<PanelDataSheet>(state_, nullptr, pages);
        sheet->show();
        return sheet;
    }

    static Interface1Page* interface1(PanelDataSheet& sheet) { return static_cast<Interface1Page*>(sheet.page(0)); }

    static Interface2Page* interface2(PanelDataSheet& sheet) {
        sheet.turnToPage(1);
        return static_cast<Interface2Page*>(sheet.page(1));
    }

    // The real Interface pages followed by three stand-ins.
    QList<SheetPageEntry> pagesWithStandIns() {
        QList<SheetPageEntry> pages = PanelDataSheet::standardPages().mid(0, 2);
        for (const char* name : {"Timing I", "Timing II", "Gamma/Power"}) {
            const QString title = QString::fromLatin1(name);
            pages.append({QLatin1Char(' ') + title + QLatin1Char(' '), [this, title](EditorState&, QWidget* parent) {
                              return new StandInPage(title, requests_, parent);
                          }});
        }
        return pages;
    }

    void startBoard() {
        vantrel_board::Options options;
        options.baud = 0;
        board_ = std::make_unique<Board>(options);
        QVERIFY2(board_->Start(), board_->LastError().c_str());
        qputenv("VANTREL_COM1", QByteArray::fromStdString(board_->SlavePath()));
    }

    // Runs `act` on every modal window that opens until it returns true.
    void whileModal(std::function<bool(QWidget*)> act) {
        watcher_ = new QTimer(this);
        watcher_->setInterval(5);
        connect(watcher_, &QTimer::timeout, this, [this, act] {
            QWidget* modal = QApplication::activeModalWidget();
            if (modal && modal->isVisible() && act(modal)) {
                watcher_->stop();
                watcher_->deleteLater();
            }
        });
        watcher_->start();
    }

    static void pressHotkey(Interface1Page* page) {
        WriteHotkeyEvent press;
        QCoreApplication::sendEvent(page, &press);
    }

    QStringList warningTexts() const {
        QStringList texts;
        for (const auto& w : warnings_) texts.append(w.second);
        return texts;
    }

private slots:
    void init() {
        state_ = EditorState{};
        SetPanelDefaults(state_.panel);
        SetModeTableDefaults(state_.modeTable);
        SetName(state_.panel, "TX14D11VM1");
        state_.editPanel = state_.panel;
        warnings_.clear();
        requests_.clear();
        SetWarningSink([this](const QString& title, const QString& text) { warnings_.append({title, text}); });
    }

    void cleanup() {
        if (watcher_) watcher_->deleteLater();
        SetWarningSink({});
        SetTransferProgressObserver({});
        CloseSerialCommunication();
        if (board_) board_->Stop();
        board_.reset();
    }

    // Tab order as the pages list their controls; lists filled to their
    // length; each Help button opens its own box.
    void tabOrderListsAndHelp() {
        auto sheet = openSheet();
        Ui::Interface1Page* ui1 = interface1(*sheet)->ui();
        Ui::Interface2Page* ui2 = interface2(*sheet)->ui();
        const QList<QList<QWidget*>> orders{
            {ui1->nameEdit, ui1->manufacturerList, ui1->width1x18Radio, ui1->width1x24Radio, ui1->width2x18Radio,
             ui1->width2x24Radio, ui1->correctionList, ui1->helpButton, ui1->vsyncCheck, ui1->hsyncCheck,
             ui1->clockInvertCheck},
            {ui2->dataLinesList, ui2->controlLinesList, ui2->clockDriveList, ui2->clockAdjustList, ui2->kesaIdList,
             ui2->helpButton}};
        for (const QList<QWidget*>& order : orders)
            for (int i = 0; i + 1 < order.size(); ++i) QCOMPARE(NextTabStop(order[i]), order[i + 1]);
        QCOMPARE(ui1->manufacturerList->count(), 22);
        QCOMPARE(ui1->correctionList->count(), 2);
        QCOMPARE(ui2->clockDriveList->count(), 7);
        QCOMPARE(ui2->clockAdjustList->count(), 4);
        QCOMPARE(ui2->kesaIdList->count(), 16);
        QCOMPARE(ui2->kesaIdList->itemText(15), QStringLiteral("15 - TFT Color 1024x600"));

        for (const auto& [button, box] : {std::pair<QAbstractButton*, int>{ui1->helpButton, 970},
                                          std::pair<QAbstractButton*, int>{ui2->helpButton, 971}}) {
            int shownBox = 0;
            QTimer::singleShot(0, [&] {
                if (auto* help = qobject_cast<HelpBox*>(QApplication::activeModalWidget())) {
                    shownBox = help->boxId();
                    help->reject();
                }
            });
            button->click();
            QCOMPARE(shownBox, box);
        }
    }

    void widthRadiosAndCorrection() {
        // 2x18: correction disabled; OK stores everything back unchanged.
        state_.editPanel.colorDepth = 6;
        SetPanelFlag(state_.editPanel, kDualPixel, true);
        SetCorrection(state_.editPanel, 1);
        state_.editPanel.manufacturer = 18;
        SetPanelFlag(state_.editPanel, kClockInvert, true);
        SetPanelFlag(state_.editPanel, kUseGamma, true);
        const PanelRecord before = state_.editPanel;
        {
            auto sheet = openSheet();
            Ui::Interface1Page* ui = interface1(*sheet)->ui();
            QVERIFY(ui->width2x18Radio->isChecked());
            QVERIFY(!ui->width1x18Radio->isChecked() && !ui->width1x24Radio->isChecked() &&
                    !ui->width2x24Radio->isChecked());
            QVERIFY(!ui->correctionList->isEnabled());
            QVERIFY(!ui->correctionLabel->isEnabled());
            QCOMPARE(ui->manufacturerList->currentText(), QStringLiteral("PHILIPS"));
            QVERIFY(ui->clockInvertCheck->isChecked() && ui->hsyncCheck->isChecked() && ui->vsyncCheck->isChecked());
            sheet->accept();
            QCOMPARE(sheet->result(), int(QDialog::Accepted));
            QVERIFY(SameBytes(state_.editPanel, before));
        }
        {
            // Clicking through the arrangements; 1x24 stores depth 8, single.
            auto sheet = openSheet();
            Ui::Interface1Page* ui = interface1(*sheet)->ui();
            ui->width1x24Radio->click();
            QVERIFY(ui->correctionList->isEnabled() && ui->correctionLabel->isEnabled());
            ui->width1x18Radio->click();
            QVERIFY(!ui->correctionList->isEnabled());
            ui->width2x24Radio->click();
            QVERIFY(ui->correctionList->isEnabled());
            ui->width1x24Radio->click();
            ui->hsyncCheck->setChecked(false);
            sheet->accept();
            QCOMPARE(state_.editPanel.colorDepth, uint16_t(8));
            QVERIFY(!HasPanelFlag(state_.editPanel, kDualPixel));
            QVERIFY(!HasPanelFlag(state_.editPanel, kHsyncInvert));
            QVERIFY(HasPanelFlag(state_.editPanel, kVsyncInvert));
            QCOMPARE(state_.editPanel.panelFlags & (kResolutionClassMask | kUseGamma),
                     before.panelFlags & (kResolutionClassMask | kUseGamma));
        }
        {
            // A depth the radios cannot show: none checked, correction usable,
            // depth and dual pixel kept.
            state_.editPanel.colorDepth = 10;
            SetPanelFlag(state_.editPanel, kDualPixel, true);
            const PanelRecord odd = state_.editPanel;
            auto sheet = openSheet();
            Ui::Interface1Page* ui = interface1(*sheet)->ui();
            for (QRadioButton* radio : {ui->width1x18Radio, ui->width1x24Radio, ui->width2x18Radio, ui->width2x24Radio})
                QVERIFY(!radio->isChecked());
            QVERIFY(ui->correctionList->isEnabled() && ui->correctionLabel->isEnabled());
            sheet->accept();
            QVERIFY(SameBytes(state_.editPanel, odd));
        }
    }

    void displayNameRoundTrip() {
        {
            auto sheet = openSheet();
            QLineEdit* name = interface1(*sheet)->ui()->nameEdit;
            name->clear();
            QTest::keyClicks(name, QStringLiteral("ABCDEFGHIJKLMNOPQ"));  // the 17th is refused
            sheet->accept();
        }
        QCOMPARE(QByteArray(state_.editPanel.displayName, 16), QByteArray("ABCDEFGHIJKLMNOP"));
        QCOMPARE(state_.editPanel.imageHeader, uint16_t(256));  // right behind the name, untouched
        {
            auto sheet = openSheet();
            QCOMPARE(interface1(*sheet)->ui()->nameEdit->text(), QStringLiteral("ABCDEFGHIJKLMNOP"));
            QLineEdit* name = interface1(*sheet)->ui()->nameEdit;
            name->setText(QStringLiteral("LCD"));
            QKeyEvent euro(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QStringLiteral("\u20AC"));
            QApplication::sendEvent(name, &euro);  // no one-byte form: refused
            QCOMPARE(name->text(), QStringLiteral("LCD"));
            sheet->accept();
        }
        QCOMPARE(QByteArray(state_.editPanel.displayName, 16), QByteArray("LCD\0\0\0\0\0\0\0\0\0\0\0\0\0", 16));
    }

    void interface2StoresTheDriveWord() {
        {
            // Defaults give 0x1101 back, and driveSet.
            QVERIFY(!HasPanelFlag(state_.editPanel, kDriveSet));
            auto sheet = openSheet();
            Interface2Page* page = interface2(*sheet);
            QCOMPARE(page->ui()->dataLinesList->currentIndex(), 0);
            QCOMPARE(page->ui()->kesaIdList->currentText(), QStringLiteral("0 - Automatic"));
            sheet->accept();
            QCOMPARE(state_.editPanel.outputDrive, uint16_t(0x1101));
            QVERIFY(HasPanelFlag(state_.editPanel, kDriveSet));
        }
        {
            // Each list lands in its own bits; the spare bits 6 and 7 are dropped.
            state_.editPanel.outputDrive = 0x11C1;
            auto sheet = openSheet();
            Ui::Interface2Page* ui = interface2(*sheet)->ui();
            ui->dataLinesList->setCurrentIndex(6);
            ui->controlLinesList->setCurrentIndex(2);
            ui->clockDriveList->setCurrentIndex(4);
            ui->clockAdjustList->setCurrentIndex(3);
            ui->kesaIdList->setCurrentIndex(15);
            sheet->accept();
            QCOMPARE(state_.editPanel.outputDrive, uint16_t(0x3537));
            QCOMPARE(state_.editPanel.kesaId, uint16_t(15));
        }
    }

    // Values that no list has (a panel file from elsewhere) show no
    // selection, and storing the pages leaves them and everything else alone.
    void foreignIndicesSurviveAStore() {
        PanelRecord& r = state_.editPanel;
        r.manufacturer = 40;
        r.kesaId = 20;
        r.outputDrive = 0x9230;  // control 9, clock 2, adjustment 3, data 0
        SetCorrection(r, 3);
        r.colorDepth = 8;
        SetPanelFlag(r, kUseGamma, true);
        r.panelFlags |= 0xE000;  // spare bits
        r.reserved54 = 0x1234;
        const PanelRecord before = r;

        for (const bool viaHotkeyStore : {false, true}) {
            state_.editPanel = before;
            auto sheet = openSheet();
            Ui::Interface1Page* ui1 = interface1(*sheet)->ui();
            QCOMPARE(ui1->manufacturerList->currentIndex(), -1);
            QCOMPARE(ui1->correctionList->currentIndex(), -1);
            Ui::Interface2Page* ui2 = interface2(*sheet)->ui();
            QCOMPARE(ui2->kesaIdList->currentIndex(), -1);
            QCOMPARE(ui2->dataLinesList->currentIndex(), -1);
            QCOMPARE(ui2->controlLinesList->currentIndex(), -1);
            QCOMPARE(ui2->clockDriveList->currentIndex(), 1);
            QCOMPARE(ui2->clockAdjustList->currentIndex(), 3);

            if (viaHotkeyStore) {
                QVERIFY(SendStorePageRequest(sheet->page(0), state_));
                QVERIFY(SendStorePageRequest(sheet->page(1), state_));
                QVERIFY(state_.storeOk);
            } else {
                sheet->accept();
            }
            PanelRecord expected = before;
            expected.panelFlags |= kDriveSet;
            QVERIFY2(SameBytes(state_.editPanel, expected), viaHotkeyStore ? "store request" : "OK");
        }
        QVERIFY(warnings_.isEmpty());

        // A choice made in a list is stored as usual.
        state_.editPanel = before;
        auto sheet = openSheet();
        interface1(*sheet)->ui()->correctionList->setCurrentIndex(0);
        interface2(*sheet)->ui()->dataLinesList->setCurrentIndex(1);
        sheet->accept();
        QCOMPARE(Correction(state_.editPanel), 0u);
        QCOMPARE(state_.editPanel.outputDrive, uint16_t(0x9232));
    }

    void emptyNameIsRefused() {
        SetName(state_.editPanel, "");
        state_.editPanel.manufacturer = 3;
        const PanelRecord before = state_.editPanel;
        auto sheet = openSheet();
        sheet->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(sheet.get()));
        Interface1Page* page = interface1(*sheet);
        page->ui()->helpButton->setFocus();

        // Leaving for another page, and OK, are refused with the focus on the name.
        QVERIFY(!sheet->turnToPage(1));
        QCOMPARE(sheet->currentPage(), 0);
        QVERIFY(page->ui()->nameEdit->hasFocus());
        sheet->accept();
        QVERIFY(sheet->isVisible());
        QCOMPARE(warnings_.size(), 2);
        for (const auto& w : warnings_)
            QCOMPARE(w, qMakePair(QStringLiteral(" PANEL EDITOR"), QStringLiteral("ERROR: No display name defined !")));
        QVERIFY(SameBytes(state_.editPanel, before));

        // The store request keeps the page's checks and flags but not the
        // name, manufacturer or correction.
        warnings_.clear();
        page->ui()->manufacturerList->setCurrentIndex(7);
        page->ui()->vsyncCheck->setChecked(false);
        state_.storeOk = true;
        QVERIFY(!SendStorePageRequest(page, state_));
        QVERIFY(!state_.storeOk);
        QCOMPARE(warnings_, (QList<QPair<QString, QString>>{
                                {QStringLiteral(" INTERFACE I"), QStringLiteral("ERROR: No display name defined !")}}));
        QCOMPARE(state_.editPanel.manufacturer, uint16_t(3));
        QVERIFY(!HasPanelFlag(state_.editPanel, kVsyncInvert));
        QCOMPARE(state_.editPanel.displayName[0], '\0');
        QCOMPARE(CurrentWriteHotkey().window.data(), static_cast<QWidget*>(page));  // kept

        page->ui()->nameEdit->setText(QStringLiteral("NAMED"));
        QVERIFY(SendStorePageRequest(page, state_));
        QCOMPARE(state_.editPanel.manufacturer, uint16_t(7));
        QVERIFY(sheet->turnToPage(1));
    }

    void hotkeyHeldWhileTheSheetIsOpen() {
        state_.config.writeHotkey = 4;
        {
            auto sheet = openSheet();
            const WriteHotkeyRegistration held = CurrentWriteHotkey();
            QCOMPARE(held.window.data(), static_cast<QWidget*>(sheet->page(0)));
            QCOMPARE(held.virtualKey, 0x74);
            QVERIFY(sheet->turnToPage(1));  // kept while moving between pages
            QCOMPARE(CurrentWriteHotkey().window.data(), static_cast<QWidget*>(sheet->page(0)));
            sheet->accept();
            QVERIFY(!CurrentWriteHotkey().window);
        }
        auto sheet = openSheet();
        QVERIFY(CurrentWriteHotkey().window);
        sheet->reject();
        QVERIFY(!CurrentWriteHotkey().window);
    }

    // The selection box first; the panel lands in the chosen slot, the sheet
    // stays open, the committed copy is not touched. A box that asked to be
    // hidden stays away on the next press.
    void hotkeyWritesThePanel() {
        startBoard();
        auto sheet = openSheet();
        Interface1Page* page = interface1(*sheet);
        page->ui()->nameEdit->setText(QStringLiteral("HOTKEY PANEL"));
        interface2(*sheet)->ui()->kesaIdList->setCurrentIndex(6);
        state_.editPanel.hResolution = 1;  // ApplyResolutionClass puts it right

        int boxes = 0;
        whileModal([&](QWidget* modal) {
            auto* box = qobject_cast<SelectionBox*>(modal);
            if (!box) return false;
            ++boxes;
            box->findChild<QRadioButton*>(QStringLiteral("panel3Radio"))->setChecked(true);
            box->findChild<QCheckBox*>(QStringLiteral("hideCheck"))->setChecked(true);
            box->accept();
            return true;
        });
        pressHotkey(page);
        QCOMPARE(boxes, 1);
        QVERIFY2(warnings_.isEmpty(), qPrintable(warningTexts().join('\n')));
        QCOMPARE(state_.panelNumber, 3);
        QCOMPARE(state_.editPanel.hResolution, uint16_t(1024));
        QCOMPARE(state_.editPanel.kesaId, uint16_t(6));
        QVERIFY(HasPanelFlag(state_.editPanel, kDriveSet));
        QCOMPARE(board_->Flash(0xFB00 + 64 * 2, 64), PackedImage(state_.editPanel));
        QVERIFY(sheet->isVisible());
        QVERIFY(!SameBytes(state_.panel, state_.editPanel));

        // Hidden box: the second press writes at once.
        page->ui()->nameEdit->setText(QStringLiteral("SECOND"));
        QVERIFY(HotkeyPanelWrite(page, state_));
        QCOMPARE(boxes, 1);
        QCOMPARE(board_->Flash(0xFB00 + 64 * 2, 64), PackedImage(state_.editPanel));
        QCOMPARE(QByteArray(state_.editPanel.displayName, 6), QByteArray("SECOND"));
    }

    // A page that refuses stops the write before anything is sent; pages
    // stored before it keep their values in the edit copy; pages never shown
    // get no request.
    void refusingPageStopsTheWrite() {
        startBoard();
        state_.hideSelectionBox = true;
        const std::vector<uint8_t> flashBefore = board_->Flash(0xFB00, 256);
        auto sheet = openSheet(pagesWithStandIns());
        Interface2Page* page2 = interface2(*sheet);
        page2->ui()->controlLinesList->setCurrentIndex(6);
        QVERIFY(sheet->turnToPage(2));
        QVERIFY(sheet->turnToPage(4));
        QVERIFY(!PanelPageHandle(kTiming2Page));
        static_cast<StandInPage*>(sheet->page(2))->refuse = true;

        QCOMPARE(HotkeyPanelWrite(sheet->page(0), state_), 0);
        QCOMPARE(requests_, QStringList{QStringLiteral("Timing I")});
        QCOMPARE(warningTexts(), QStringList{QStringLiteral("ERROR: Unvalid horizontal frequency !")});
        QCOMPARE(FlashWriteFrames(*board_), 0);
        QCOMPARE(board_->Flash(0xFB00, 256), flashBefore);
        QCOMPARE(ControlLinesDrive(state_.editPanel), 7u);
        QVERIFY(HasPanelFlag(state_.editPanel, kDriveSet));

        // Once it agrees, every shown page is asked in order and the panel goes out.
        requests_.clear();
        warnings_.clear();
        static_cast<StandInPage*>(sheet->page(2))->refuse = false;
        QCOMPARE(HotkeyPanelWrite(sheet->page(0), state_), 1);
        QCOMPARE(requests_, (QStringList{QStringLiteral("Timing I"), QStringLiteral("Gamma/Power")}));
        QVERIFY(warnings_.isEmpty());
        QCOMPARE(board_->Flash(0xFB00, 64), PackedImage(state_.editPanel));
    }

    // Presses that arrive while a write runs (the status window lets events
    // through) are dropped: one write, one set of flash frames.
    void pressDuringAWriteIsIgnored() {
        startBoard();
        state_.hideSelectionBox = true;
        auto sheet = openSheet();
        Interface1Page* page = interface1(*sheet);
        int nested = 0;
        SetTransferProgressObserver([&](int) {
            if (nested++ == 0) QCOMPARE(HotkeyPanelWrite(page, state_), 0);
        });
        pressHotkey(page);
        SetTransferProgressObserver({});
        QVERIFY(nested > 0);
        QVERIFY(warnings_.isEmpty());
        QCOMPARE(FlashWriteFrames(*board_), 4);  // 64 bytes in four chunks, once
        QCOMPARE(board_->Flash(0xFB00, 64), PackedImage(state_.editPanel));

        // Likewise while the selection box is open: no second box. Cancel in
        // the box stores nothing and sends nothing.
        state_.hideSelectionBox = false;
        page->ui()->nameEdit->setText(QStringLiteral("NOT STORED"));
        const PanelRecord before = state_.editPanel;
        int boxes = 0;
        whileModal([&](QWidget* modal) {
            if (!qobject_cast<SelectionBox*>(modal)) return false;
            ++boxes;
            pressHotkey(page);
            QCoreApplication::processEvents();
            static_cast<QDialog*>(modal)->reject();
            return true;
        });
        pressHotkey(page);
        QCOMPARE(boxes, 1);
        QVERIFY(!QApplication::activeModalWidget());
        QVERIFY(SameBytes(state_.editPanel, before));
        QCOMPARE(FlashWriteFrames(*board_), 4);
    }

    void hotkeyWriteFailures() {
        startBoard();
        state_.hideSelectionBox = true;
        auto sheet = openSheet();

        qputenv("VANTREL_COM4", "/nonexistent/tty-for-tests");
        state_.config.serialPort = 4;
        QCOMPARE(HotkeyPanelWrite(sheet->page(0), state_), 0);
        QCOMPARE(warnings_.size(), 1);
        QCOMPARE(warnings_[0],
                 qMakePair(QStringLiteral(" PANEL EDITOR"), QStringLiteral("ERROR: Can't open serial device !")));

        warnings_.clear();
        state_.config.serialPort = 1;
        state_.panelNumber = 0;  // no slot chosen
        QCOMPARE(HotkeyPanelWrite(sheet->page(0), state_), 0);
        QCOMPARE(warnings_.size(), 1);
        QCOMPARE(warnings_[0],
                 qMakePair(QStringLiteral(" PANEL EDITOR"), QStringLiteral("ERROR: Communication failure !")));
        // The link was closed: the next write opens it again.
        warnings_.clear();
        state_.panelNumber = 4;
        QCOMPARE(HotkeyPanelWrite(sheet->page(0), state_), 1);
        QCOMPARE(board_->Flash(0xFB00 + 64 * 3, 64), PackedImage(state_.editPanel));
    }

    // Through the main window: a hotkey write followed by Cancel leaves the
    // committed copy as it was, although the board has the new panel.
    void cancelAfterHotkeyWriteKeepsTheCommittedCopy() {
        startBoard();
        state_.panelNumber = 2;
        const PanelRecord committed = state_.panel;
        PanelRecord sent = committed;
        SetName(sent, "ON THE BOARD");
        const std::vector<uint8_t> expected = PackedImage(sent);
        MainWindow window(state_);
        bool written = false;
        whileModal([&](QWidget* modal) {
            if (auto* box = qobject_cast<SelectionBox*>(modal)) {
                box->accept();  // panel 2, as preset
                return false;
            }
            auto* sheet = qobject_cast<PanelDataSheet*>(modal);
            if (!sheet) return false;
            if (!written) {
                written = true;
                auto* page = static_cast<Interface1Page*>(sheet->page(0));
                page->ui()->nameEdit->setText(QStringLiteral("ON THE BOARD"));
                QCoreApplication::postEvent(page, new WriteHotkeyEvent);
                return false;
            }
            if (StatusWindow::current() || board_->Flash(0xFB00 + 64, 64) != expected)
                return false;  // the write is still running
            sheet->reject();
            return true;
        });
        window.editPanelData();
        QVERIFY(written);
        QVERIFY(warnings_.isEmpty());
        QVERIFY(SameBytes(state_.panel, committed));
        QCOMPARE(board_->Flash(0xFB00 + 64, 64), expected);
        QVERIFY(!CurrentWriteHotkey().window);
    }
};

QTEST_MAIN(InterfacePagesTest)
#include "tst_interface_pages.moc"
