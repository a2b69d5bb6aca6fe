// The two tabbed sheets and the page protocol, with pages that record what
// the sheet asks of them; the panel page handles and the store request; the
// help boxes.
#include "help_box.h"
#include "panel_data_sheet.h"
#include "panel_pages.h"
#include "sheet_page.h"
#include "transfer_sheet.h"
#include "ui_HelpBox.h"

#include <tolvane/editor_state.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QtTest>

namespace {

QStringList events;

class RecordingPage : public SheetPage {
public:
    RecordingPage(const QString& name, QWidget* parent) : SheetPage(parent), name_(name) {
        field = new QLineEdit(this);
        events.append(name_ + QStringLiteral(":created"));
    }
    void pageActivated() override { events.append(name_ + QStringLiteral(":activated")); }
    bool pageLeave() override {
        events.append(name_ + QStringLiteral(":leave"));
        if (refuse) field->setFocus();  // as a page puts the focus on the wrong field
        return !refuse;
    }
    void pageApply() override { events.append(name_ + QStringLiteral(":apply")); }
    void pageCancel() override { events.append(name_ + QStringLiteral(":cancel")); }
    bool storePageRequest() override {
        events.append(name_ + QStringLiteral(":store"));
        return storeResult;
    }

    bool refuse = false;
    bool storeResult = true;
    QLineEdit* field = nullptr;

private:
    QString name_;
};

QList<SheetPageEntry> RecordingPages(int count) {
    QList<SheetPageEntry> entries;
    for (int i = 0; i < count; ++i) {
        const QString name = QStringLiteral("p%1").arg(i);
        entries.append({QStringLiteral(" Page %1 ").arg(i),
                        [name](EditorState&, QWidget* parent) { return new RecordingPage(name, parent); }});
    }
    return entries;
}

RecordingPage* Page(PropertySheet& sheet, int index) { return static_cast<RecordingPage*>(sheet.page(index)); }

QStringList TabTitles(const PropertySheet& sheet) {
    QStringList titles;
    for (int i = 0; i < sheet.tabs()->count(); ++i) titles.append(sheet.tabs()->tabText(i));
    return titles;
}

}  // namespace

class SheetsTest : public QObject {
    Q_OBJECT

private slots:
    void init() { events.clear(); }

    void sheetsHaveTheirPagesInOrder() {
        EditorState state;
        PanelDataSheet panel(state, nullptr);
        QCOMPARE(panel.windowTitle(), QStringLiteral("  PANEL DATA"));
        QCOMPARE(TabTitles(panel), (QStringList{QStringLiteral(" Interface I "), QStringLiteral(" Interface II "),
                                                QStringLiteral(" Timing I "), QStringLiteral(" Timing II "),
                                                QStringLiteral(" Gamma/Power ")}));
        TransferSheet transfer(state, nullptr);
        QCOMPARE(transfer.windowTitle(), QStringLiteral("  TRANSFER"));
        QCOMPARE(TabTitles(transfer),
                 (QStringList{QStringLiteral(" File "), QStringLiteral(" Platform "), QStringLiteral(" Merge ")}));

        // OK and Cancel only, opening on the first page, only that one made.
        for (PropertySheet* sheet : {static_cast<PropertySheet*>(&panel), static_cast<PropertySheet*>(&transfer)}) {
            const auto buttons = sheet->findChildren<QPushButton*>();
            QStringList texts;
            for (QPushButton* b : buttons)
                if (b->parent() && QByteArray(b->parent()->metaObject()->className()) == "QDialogButtonBox")
                    texts.append(b->text().remove(QLatin1Char('&')));
            texts.sort();
            QCOMPARE(texts, (QStringList{QStringLiteral("Cancel"), QStringLiteral("OK")}));
            QCOMPARE(sheet->currentPage(), 0);
            QVERIFY(sheet->page(0));
            for (int i = 1; i < sheet->pageCount(); ++i) QVERIFY(!sheet->page(i));
        }
    }

    void pagesAreMadeWhenFirstShown() {
        EditorState state;
        PanelDataSheet sheet(state, nullptr, RecordingPages(5));
        QCOMPARE(events, (QStringList{"p0:created", "p0:activated"}));
        events.clear();
        QVERIFY(sheet.turnToPage(2));
        QCOMPARE(events, (QStringList{"p0:leave", "p2:created", "p2:activated"}));
        events.clear();
        QVERIFY(sheet.turnToPage(0));  // made once only
        QVERIFY(sheet.turnToPage(2));
        QCOMPARE(events, (QStringList{"p2:leave", "p0:activated", "p0:leave", "p2:activated"}));
        QVERIFY(!sheet.page(1));
        QVERIFY(!sheet.page(3));
    }

    void refusingPageKeepsTheSheet() {
        EditorState state;
        PanelDataSheet sheet(state, nullptr, RecordingPages(5));
        sheet.show();
        QVERIFY(QTest::qWaitForWindowExposed(&sheet));
        Page(sheet, 0)->refuse = true;
        events.clear();

        sheet.tabs()->setCurrentIndex(3);  // as a click on the tab
        QCOMPARE(sheet.currentPage(), 0);
        QCOMPARE(sheet.tabs()->currentIndex(), 0);
        QVERIFY(!sheet.page(3));  // never made
        QVERIFY(Page(sheet, 0)->isVisible());
        QVERIFY(Page(sheet, 0)->field->hasFocus());

        // OK is refused too: no page stores anything and the sheet stays open.
        events.clear();
        sheet.accept();
        QCOMPARE(events, QStringList{"p0:leave"});
        QVERIFY(sheet.isVisible());
        QCOMPARE(sheet.result(), 0);

        Page(sheet, 0)->refuse = false;
        QVERIFY(sheet.turnToPage(3));
        QCOMPARE(sheet.currentPage(), 3);
    }

    void okAppliesEveryMadePageOnly() {
        EditorState state;
        PanelDataSheet sheet(state, nullptr, RecordingPages(5));
        QVERIFY(sheet.turnToPage(1));
        QVERIFY(sheet.turnToPage(4));
        events.clear();
        sheet.accept();
        QCOMPARE(events, (QStringList{"p4:leave", "p0:apply", "p1:apply", "p4:apply"}));
        QCOMPARE(sheet.result(), int(QDialog::Accepted));
    }

    void cancelAppliesNothing() {
        EditorState state;
        TransferSheet sheet(state, nullptr, RecordingPages(3));
        QVERIFY(sheet.turnToPage(2));
        Page(sheet, 2)->refuse = true;  // Cancel does not ask
        events.clear();
        sheet.reject();
        QCOMPARE(events, (QStringList{"p0:cancel", "p2:cancel"}));
        QCOMPARE(sheet.result(), int(QDialog::Rejected));

        // Esc is Cancel as well.
        TransferSheet second(state, nullptr, RecordingPages(3));
        second.show();
        QVERIFY(QTest::qWaitForWindowExposed(&second));
        events.clear();
        QTest::keyClick(&second, Qt::Key_Escape);
        QCOMPARE(events, QStringList{"p0:cancel"});
        QVERIFY(!second.isVisible());
    }

    void panelPagesAndStoreRequest() {
        EditorState state;
        RecordingPage stale(QStringLiteral("stale"), nullptr);
        EnterPanelPage(kTiming2Page, &stale);  // left from an earlier sheet: cleared on opening
        {
            PanelDataSheet sheet(state, nullptr, RecordingPages(5));
            QCOMPARE(PanelPageHandle(kInterface1Page), sheet.page(0));
            for (int i = 1; i < kPanelPageCount; ++i) QVERIFY(!PanelPageHandle(i));
            QVERIFY(sheet.turnToPage(kTiming1Page));
            QCOMPARE(PanelPageHandle(kTiming1Page), sheet.page(kTiming1Page));

            events.clear();
            state.storeOk = false;
            QVERIFY(SendStorePageRequest(PanelPageHandle(kInterface1Page), state));
            QVERIFY(state.storeOk);
            Page(sheet, kTiming1Page)->storeResult = false;
            QVERIFY(!SendStorePageRequest(PanelPageHandle(kTiming1Page), state));
            QVERIFY(!state.storeOk);
            QVERIFY(!SendStorePageRequest(PanelPageHandle(kTiming2Page), state));  // never shown
            QCOMPARE(events, (QStringList{"p0:store", "p2:store"}));
        }
        // The sheet is gone and so are its pages.
        for (int i = 0; i < kPanelPageCount; ++i) QVERIFY(!PanelPageHandle(i));
    }

    void helpBoxes_data() {
        QTest::addColumn<int>("box");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("970") << 970 << "  HELP INTERFACE ARRANGEMENT"
                             << QStringList{"Arrangement:",
                                            "What means 1x18 or 2x24 ? Look at the data sheet and",
                                            "see  -  it's a RGB panel. RGB stands for three color layer.",
                                            "Multiply it with the color depth and the result is 18 or 24.",
                                            "Some displays uses two pixels per clock. In this case",
                                            "click at 2x18 or 2x24.",
                                            "Correction:",
                                            "Only 24 bit panels want special correction.",
                                            "Use Schema 1 for LM181E1 (LG / PHILIPS)."};
        QTest::newRow("971") << 971 << "  HELP KESA IDENTIFICATION"
                             << QStringList{"Use this identification only if you need a KESA adapter",
                                            "(connector X3). Select mode 0 (Automatic) if you work",
                                            "with a MORL/LVDS adapter (X1/X2) or direct connection",
                                            "(X4).",
                                            "Mode 0 refer to standard allocation (see QARVIX spe-",
                                            "cification). In some special cases it's necessary to chan-",
                                            "ge the default value (e.g. unusual display resolution)."};
        QTest::newRow("972") << 972 << "  HELP TIMING"
                             << QStringList{"Normaly the sum of Display period, Pulse width and Back-",
                                            "porch do not exceed the Minimal total period. The red co-",
                                            "lor of total period field illustrate the wrong dimension."};
        QTest::newRow("973") << 973 << "  HELP POWER TIMING"
                             << QStringList{"Definitions:",
                                            "ON: T1\t=  Time from panel power on to panel signals on",
                                            "ON: T2\t=  Time from panel signals on to panel backlight on",
                                            "OFF: T3\t=  Time from panel backlight off to panel signals off",
                                            "OFF: T4\t=  Time from panel signals off to panel power off",
                                            "Resolution  10 ms"};
        QTest::newRow("974") << 974 << "  HELP DEVICE ADDRESS"
                             << QStringList{"If you works with one platform use 0 as device address",
                                            "(default). In special applications which use RS485 con-",
                                            "nection to realize a small network select the address ran-",
                                            "ge from 1 to 127. Device address 255 define a broadcast", "message."};
        QTest::newRow("975") << 975 << "  HELP MODE TABLE"
                             << QStringList{"Definitions:",
                                            "H-Frequ. [kHz]\t=  Horizontal Frequency",
                                            "V-Frequ. [Hz]\t=  Vertical Frequency",
                                            "Freq-Tol. [kHz]\t=  Horizontal Frequ. Tolerance",
                                            "Freq-Tol. [Hz]\t=  Vertical Frequ. Tolerance",
                                            "H-Total [pixel]\t=  Horizontal Total Period",
                                            "V-Total [lines]\t=  Vertical Total Period",
                                            "Toleran. [lines]\t=  Vertical Total Period Tolerance",
                                            "Width [pixel]\t=  Active Window Width",
                                            "Height [lines]\t=  Active Window Height",
                                            "H-Start [pixel]\t=  Start of Active Horizontal Window",
                                            "H-Start [lines]\t=  Start of Active Vertical Window",
                                            "Mode type\t=  Input Scan Mode"};
    }

    void helpBoxes() {
        QFETCH(int, box);
        QFETCH(QString, title);
        QFETCH(QStringList, lines);
        HelpBox help(box);
        QCOMPARE(help.windowTitle(), title);
        QCOMPARE(help.shownLines(), lines);

        // Black on yellow in a sunken frame; "&Cancel" closes the box.
        const QFrame* frame = help.ui()->textFrame;
        QCOMPARE(frame->frameShadow(), QFrame::Sunken);
        QVERIFY(frame->autoFillBackground());
        QCOMPARE(frame->palette().color(QPalette::Window), QColor(255, 255, 0));
        for (const QLabel* label : frame->findChildren<QLabel*>())
            QCOMPARE(label->palette().color(QPalette::WindowText), QColor(Qt::black));
        QCOMPARE(help.ui()->cancelButton->text(), QStringLiteral("&Cancel"));
        help.show();
        QVERIFY(QTest::qWaitForWindowExposed(&help));
        QTest::mouseClick(help.ui()->cancelButton, Qt::LeftButton);
        QVERIFY(!help.isVisible());
    }
};

QTEST_MAIN(SheetsTest)
#include "tst_sheets.moc"
