// The main window: its contents, what each button copies and commits with OK
// and with Cancel, the keyboard, the hidden picture and the picture buttons.
#include "bitmap_button.h"
#include "config_dialog.h"
#include "editor_config.h"
#include "main_window.h"
#include "mode_table_dialog.h"
#include "panel_data_sheet.h"
#include "pictures.h"
#include "startup.h"
#include "transfer_sheet.h"
#include "ui_MainWindow.h"

#include <tolvane/editor_state.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <cstring>
#include <functional>

namespace {

template <typename T>
bool SameBytes(const T& a, const T& b) {
    return std::memcmp(&a, &b, sizeof(T)) == 0;
}

template <typename T>
void Touch(T& record, std::size_t offset) {
    reinterpret_cast<uint8_t*>(&record)[offset] ^= 0x5A;
}

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;
    EditorState state_;
    QPointer<QTimer> watcher_;
    QString modalClass_;

    // Runs `act` on the next modal window that opens (a sheet or dialog).
    void onNextModal(std::function<void(QDialog*)> act) {
        modalClass_.clear();
        watcher_ = new QTimer(this);
        watcher_->setInterval(5);
        connect(watcher_, &QTimer::timeout, this, [this, act] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (!dialog || !dialog->isVisible()) return;
            watcher_->stop();
            watcher_->deleteLater();
            modalClass_ = QString::fromLatin1(dialog->metaObject()->className());
            act(dialog);
        });
        watcher_->start();
    }

private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        PinEditorConfigFolder(dir_.path());
    }

    void init() {
        state_ = EditorState();
        PrepareEditor(state_);
    }

    void cleanup() {
        if (watcher_) watcher_->deleteLater();
    }

    void contents() {
        MainWindow window(state_);
        QCOMPARE(window.windowTitle(), QStringLiteral("  Vantrel-2  Panel Editor V1.05"));
        QCOMPARE(window.ui()->introLine->text(),
                 QStringLiteral("Use this tool to edit and optimize the panel parameter."));
        QCOMPARE(window.ui()->logoLabel->pixmap().size(), QSize(42, 302));
        QCOMPARE(window.ui()->mainImage->pixmap().size(), QSize(110, 256));
        QCOMPARE(window.ui()->exitButton->text(), QStringLiteral("E&xit"));

        const struct {
            BitmapButton* button;
            const char* caption;
            const char* face;
            QSize size;
        } buttons[] = {
            {window.ui()->editButton, "&E", "EditUpBtn", QSize(74, 58)},
            {window.ui()->modesButton, "&M", "ModesUpBtn", QSize(74, 58)},
            {window.ui()->transferButton, "&T", "TransUpBtn", QSize(74, 58)},
            {window.ui()->configButton, "&C", "ConfUpBtn", QSize(74, 32)},
        };
        for (const auto& b : buttons) {
            QCOMPARE(b.button->text(), QString::fromLatin1(b.caption));
            QCOMPARE(b.button->upFace().size(), b.size);
            QCOMPARE(b.button->downFace().size(), b.size);
            QCOMPARE(b.button->upFace().toImage(), EditorPicture(QLatin1String(b.face)).toImage());
            QCOMPARE(b.button->focusInset(), QMargins(10, 5, 10, 5));
            QCOMPARE(b.button->pressedOffset(), QPoint(2, 2));
        }
        QVERIFY(!window.authorPictureShown());
    }

    void panelDataOkCommits() {
        std::memcpy(state_.panel.displayName, "PANEL", 6);  // Interface I refuses OK without a name
        MainWindow window(state_);
        const PanelRecord before = state_.panel;
        Touch(state_.editPanel, 40);  // the edit copy is refreshed from the committed one
        state_.hideSelectionBox = true;
        state_.resolutionChanged = true;
        bool seen = false;
        onNextModal([&](QDialog* sheet) {
            seen = true;
            QVERIFY(SameBytes(state_.editPanel, before));
            QVERIFY(!state_.hideSelectionBox);
            QVERIFY(!state_.resolutionChanged);
            Touch(state_.editPanel, 300);
            sheet->accept();
        });
        window.editPanelData();
        QVERIFY(seen);
        QCOMPARE(modalClass_, QStringLiteral("PanelDataSheet"));
        QVERIFY(state_.panelDataAvailable);
        QVERIFY(SameBytes(state_.panel, state_.editPanel));
        QVERIFY(!SameBytes(state_.panel, before));
    }

    void panelDataOkWithoutChangeSetsAvailable() {
        std::memcpy(state_.panel.displayName, "PANEL", 6);
        MainWindow window(state_);
        const PanelRecord before = state_.panel;
        onNextModal([](QDialog* sheet) { sheet->accept(); });
        window.editPanelData();
        QVERIFY(state_.panelDataAvailable);
        QVERIFY(SameBytes(state_.panel, before));
    }

    void panelDataCancelKeepsCommitted() {
        MainWindow window(state_);
        const PanelRecord before = state_.panel;
        onNextModal([&](QDialog* sheet) {
            Touch(state_.editPanel, 10);
            sheet->reject();
        });
        window.editPanelData();
        QCOMPARE(modalClass_, QStringLiteral("PanelDataSheet"));
        QVERIFY(!state_.panelDataAvailable);
        QVERIFY(SameBytes(state_.panel, before));

        // The next opening hands out the old data again.
        onNextModal([&](QDialog* sheet) {
            QVERIFY(SameBytes(state_.editPanel, before));
            sheet->reject();
        });
        window.editPanelData();
    }

    void modeTableOkAndCancel() {
        MainWindow window(state_);
        const ModeTable before = state_.modeTable;
        state_.hideSelectionBox = true;
        onNextModal([&](QDialog* dialog) {
            QVERIFY(!state_.hideSelectionBox);
            QVERIFY(SameBytes(state_.editModeTable, before));
            Touch(state_.editModeTable, 20);
            QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("cancelButton")), Qt::LeftButton);
        });
        window.editModeTable();
        QCOMPARE(modalClass_, QStringLiteral("ModeTableDialog"));
        QVERIFY(!state_.modeTableAvailable);
        QVERIFY(SameBytes(state_.modeTable, before));

        onNextModal([&](QDialog* dialog) {
            Touch(state_.editModeTable, 20);
            QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("okButton")), Qt::LeftButton);
        });
        window.editModeTable();
        QVERIFY(state_.modeTableAvailable);
        QVERIFY(SameBytes(state_.modeTable, state_.editModeTable));
        QVERIFY(!SameBytes(state_.modeTable, before));
    }

    void transferOkCommitsBoth() {
        MainWindow window(state_);
        onNextModal([&](QDialog* sheet) {
            QVERIFY(SameBytes(state_.editPanel, state_.panel));
            QVERIFY(SameBytes(state_.editModeTable, state_.modeTable));
            Touch(state_.editPanel, 5);
            Touch(state_.editModeTable, 100);
            sheet->accept();
        });
        window.transferData();
        QCOMPARE(modalClass_, QStringLiteral("TransferSheet"));
        QVERIFY(SameBytes(state_.panel, state_.editPanel));
        QVERIFY(SameBytes(state_.modeTable, state_.editModeTable));
        // The flags are the pages' business.
        QVERIFY(!state_.panelDataAvailable);
        QVERIFY(!state_.modeTableAvailable);
    }

    void transferCancelDropsDataAndTheFlagsThatCameWithIt() {
        MainWindow window(state_);
        const PanelRecord panel = state_.panel;
        const ModeTable modes = state_.modeTable;
        onNextModal([&](QDialog* sheet) {
            // as if a panel file and a mode file were loaded on the File page
            Touch(state_.editPanel, 5);
            Touch(state_.editModeTable, 100);
            state_.panelDataAvailable = true;
            state_.modeTableAvailable = true;
            sheet->reject();
        });
        window.transferData();
        QVERIFY(SameBytes(state_.panel, panel));
        QVERIFY(SameBytes(state_.modeTable, modes));
        // The defaults are back, so nothing may be saved or written as data.
        QVERIFY(!state_.panelDataAvailable);
        QVERIFY(!state_.modeTableAvailable);

        // Data that were available stay so when a page cleared the flag ("&N").
        state_.panelDataAvailable = true;
        onNextModal([&](QDialog* sheet) {
            state_.panelDataAvailable = false;
            sheet->reject();
        });
        window.transferData();
        QVERIFY(state_.panelDataAvailable);
    }

    void configButtonOpensTheDialog() {
        MainWindow window(state_);
        onNextModal([](QDialog* dialog) { dialog->reject(); });
        window.configure();
        QCOMPARE(modalClass_, QStringLiteral("ConfigDialog"));
    }

    void keyboard() {
        MainWindow window(state_);
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));

        const struct {
            Qt::Key key;
            Qt::KeyboardModifiers modifiers;
            const char* opens;
        } keys[] = {
            {Qt::Key_E, Qt::AltModifier, "PanelDataSheet"}, {Qt::Key_M, Qt::AltModifier, "ModeTableDialog"},
            {Qt::Key_T, Qt::AltModifier, "TransferSheet"},  {Qt::Key_C, Qt::AltModifier, "ConfigDialog"},
            {Qt::Key_M, Qt::NoModifier, "ModeTableDialog"}, {Qt::Key_T, Qt::NoModifier, "TransferSheet"},
        };
        for (const auto& k : keys) {
            onNextModal([](QDialog* dialog) { dialog->reject(); });
            // The main window takes the keyboard back after each dialog.
            QVERIFY(QTest::qWaitForWindowActive(&window));
            QTest::keyClick(&window, k.key, k.modifiers);
            QTRY_COMPARE(modalClass_, QString::fromLatin1(k.opens));
            QTRY_VERIFY(!QApplication::activeModalWidget());
        }

        QTest::keyClick(&window, Qt::Key_Escape);
        QVERIFY(!window.isVisible());
        QCOMPARE(window.result(), 0);
    }

    void exitButtonAndCloseBoxEndWithZero() {
        MainWindow window(state_);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTest::mouseClick(window.ui()->exitButton, Qt::LeftButton);
        QVERIFY(!window.isVisible());
        QCOMPARE(window.result(), 0);

        MainWindow second(state_);
        second.show();
        QVERIFY(QTest::qWaitForWindowExposed(&second));
        second.close();
        QCOMPARE(second.result(), 0);
    }

    void altIShowsAndHidesTheAuthor() {
        MainWindow window(state_);
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QTest::keyClick(&window, Qt::Key_I, Qt::AltModifier);
        QVERIFY(window.authorPictureShown());
        const QRect frame = window.frameGeometry();
        QCOMPARE(window.authorPictureRect(), QRect((frame.width() - 270) / 2, (frame.height() - 244) / 2, 270, 244));
        const QImage shown = window.grab().toImage();
        const QPoint centre = window.authorPictureRect().center();
        const QImage author = EditorPicture(QStringLiteral("Author")).toImage();
        QCOMPARE(shown.pixelColor(centre), author.pixelColor(centre - window.authorPictureRect().topLeft()));

        QTest::keyClick(&window, Qt::Key_I, Qt::AltModifier);
        QVERIFY(!window.authorPictureShown());
    }

    void shownAuthorLetsClicksThrough() {
        MainWindow window(state_);
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        window.toggleAuthorPicture();
        QVERIFY(window.authorPictureShown());
        // A point of a picture button under the picture.
        QAbstractButton* covered = nullptr;
        QPoint point;
        for (QAbstractButton* button : {static_cast<QAbstractButton*>(window.ui()->editButton),
                                        static_cast<QAbstractButton*>(window.ui()->modesButton),
                                        static_cast<QAbstractButton*>(window.ui()->transferButton),
                                        static_cast<QAbstractButton*>(window.ui()->configButton)}) {
            const QRect shared = button->geometry().intersected(window.authorPictureRect());
            if (!shared.isEmpty()) {
                covered = button;
                point = shared.center();
                break;
            }
        }
        QVERIFY2(covered, "the picture covers no button");
        int clicks = 0;
        connect(covered, &QAbstractButton::clicked, this, [&] { ++clicks; });
        onNextModal([](QDialog* dialog) { dialog->reject(); });
        QTest::mouseClick(window.windowHandle(), Qt::LeftButton, {}, point);
        QTRY_COMPARE(clicks, 1);
        QTRY_VERIFY(!QApplication::activeModalWidget());
        QVERIFY(window.authorPictureShown());
    }

    void runEditorShowsTheMainWindowAndEndsWithOne() {
        EditorState state;
        state.config = {3, 3};
        onNextModal([](QDialog* window) { QTest::keyClick(window, Qt::Key_Escape); });
        QCOMPARE(RunEditor(state), 1);
        QCOMPARE(modalClass_, QStringLiteral("MainWindow"));
        QCOMPARE(state.config.serialPort, uint16_t(1));  // no file: defaults
        QCOMPARE(state.modeTable.modeCount, uint16_t(1));
    }

    void pressedButtonDrawsDownFaceAndShiftedFocus() {
        MainWindow window(state_);
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        BitmapButton* button = window.ui()->modesButton;
        button->setFocus();
        QVERIFY(button->hasFocus());

        QCOMPARE(button->focusRect(), QRect(10, 5, 54, 48));
        const QImage up = button->grab().toImage();
        button->setDown(true);
        QCOMPARE(button->focusRect(), QRect(12, 7, 54, 48));
        const QImage down = button->grab().toImage();
        button->setDown(false);

        const QImage downFace = button->downFace().toImage();
        const QImage upFace = button->upFace().toImage();
        // Away from the focus rectangle each state shows its own face.
        QCOMPARE(down.pixelColor(30, 30), downFace.pixelColor(30, 30));
        QCOMPARE(up.pixelColor(30, 30), upFace.pixelColor(30, 30));
        QVERIFY(downFace.pixelColor(30, 30) != upFace.pixelColor(30, 30));

        // The dotted rectangle: on row 5 released, on row 7 pressed.
        auto blackOnRow = [](const QImage& image, int y) {
            int count = 0;
            for (int x = 14; x < 60; ++x) count += image.pixelColor(x, y) == QColor(Qt::black);
            return count;
        };
        QVERIFY(blackOnRow(up, 5) > 10);
        QCOMPARE(blackOnRow(down, 5), 0);
        QVERIFY(blackOnRow(down, 7) > 10);

        // Without focus there is no rectangle at all.
        window.ui()->exitButton->setFocus();
        const QImage unfocused = button->grab().toImage();
        QCOMPARE(blackOnRow(unfocused, 5), 0);
    }
};

QTEST_MAIN(MainWindowTest)
#include "tst_main_window.moc"
