// The Gamma/Power page through its real widgets: the gamma list and its
// "&Update", the use of the table, the power delays on leave, OK and the
// write hotkey's store request, and the page inside the panel data sheet.
#include "editor_strings.h"
#include "editor_style.h"
#include "gamma_power_page.h"
#include "help_box.h"
#include "messages.h"
#include "panel_data_sheet.h"
#include "panel_pages.h"
#include "tab_stop_list.h"

#include <tolvane/editor_state.h>
#include <tolvane/panel.h>

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QtTest>

#include <memory>

namespace {

struct Warning {
    QString title;
    QString text;
};

// Stands in for the other panel pages of the sheet.
class EmptyPage : public SheetPage {
public:
    using SheetPage::SheetPage;
};

}  // namespace

class GammaPowerPageTest : public QObject {
    Q_OBJECT

private:
    template <typename T>
    static T* child(QWidget* parent, const char* name) {
        T* widget = parent->findChild<T*>(QLatin1String(name));
        if (!widget) qFatal("missing child %s", name);
        return widget;
    }

    std::unique_ptr<GammaPowerPage> makePage() {
        auto page = std::make_unique<GammaPowerPage>(state_);
        page->show();
        if (!QTest::qWaitForWindowExposed(page.get())) qFatal("page not shown");
        return page;
    }

    // A click on the row, as the user selects it.
    static void selectRow(QWidget* page, int row) {
        auto* list = child<QListWidget>(page, "gammaList");
        list->scrollToItem(list->item(row));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(row)).center());
    }

    static void type(QWidget* page, const char* field, const QString& text) {
        auto* edit = child<QLineEdit>(page, field);
        edit->clear();
        QTest::keyClicks(edit, text);
    }

    static void setDelays(QWidget* page, const QStringList& texts) {
        const char* names[4] = {"t1Edit", "t2Edit", "t3Edit", "t4Edit"};
        for (int i = 0; i < 4; ++i) child<QLineEdit>(page, names[i])->setText(texts[i]);
    }

    std::array<int, 4> delayBytes() const {
        const PanelRecord& r = state_.editPanel;
        return {r.powerOnT1, r.powerOnT2, r.powerOffT3, r.powerOffT4};
    }

    EditorState state_;
    QList<Warning> warnings_;

private slots:
    void init() {
        state_ = EditorState{};
        SetPanelDefaults(state_.editPanel);  // identity table, no gamma
        warnings_.clear();
        SetWarningSink([this](const QString& title, const QString& text) { warnings_.append({title, text}); });
    }

    void cleanup() { SetWarningSink({}); }

    void listShowsTheTableAndFollowsTheCheckBox() {
        state_.editPanel.gammaTable.level[0] = 7;
        auto page = makePage();
        auto* list = child<QListWidget>(page.get(), "gammaList");
        auto* value = child<QLineEdit>(page.get(), "valueEdit");
        auto* check = child<QCheckBox>(page.get(), "useGammaCheck");
        QCOMPARE(list->count(), 256);
        QCOMPARE(list->item(200)->text(), QStringLiteral("\t200\t200"));
        QCOMPARE(list->item(0)->text(), QStringLiteral("\t0\t7"));
        QCOMPARE(ListTabStopPixels(list),
                 (QList<int>{DialogUnitsToPixels(list->font(), 5), DialogUnitsToPixels(list->font(), 35)}));
        QVERIFY(list->selectedItems().isEmpty());
        QCOMPARE(child<QLabel>(page.get(), "listHeader")->text(), QStringLiteral(" Position     Value"));
        QCOMPARE(value->maxLength(), 3);
        QCOMPARE(child<QLabel>(page.get(), "listHeader")->font(), headingFont());
        for (const char* name : {"generalGroup", "gammaGroup", "powerGroup", "updateButton", "onLabel", "offLabel"})
            QVERIFY2(child<QWidget>(page.get(), name)->font().bold(), name);
        for (const char* name : {"useGammaCheck", "valueLabel", "t1Label", "t4Edit", "helpButton"})
            QVERIFY2(!child<QWidget>(page.get(), name)->font().bold(), name);

        // useGamma clear: every gamma control off, the delays not.
        QVERIFY(!check->isChecked());
        for (const char* name : {"gammaGroup", "listHeader", "gammaList", "valueLabel", "valueEdit", "updateButton"})
            QVERIFY2(!child<QWidget>(page.get(), name)->isEnabled(), name);
        QVERIFY(child<QWidget>(page.get(), "t1Edit")->isEnabled());
        QVERIFY(value->text().isEmpty());

        check->click();
        for (const char* name : {"gammaGroup", "listHeader", "gammaList", "valueLabel", "valueEdit", "updateButton"})
            QVERIFY2(child<QWidget>(page.get(), name)->isEnabled(), name);
        QCOMPARE(list->currentRow(), 0);
        QCOMPARE(list->selectedItems().size(), 1);
        QCOMPARE(value->text(), QStringLiteral("7"));
        QVERIFY(list->hasFocus());

        // A page opened on a record that uses its table: entry 0 shown, no row selected.
        SetPanelFlag(state_.editPanel, kUseGamma, true);
        auto using_ = makePage();
        QVERIFY(child<QCheckBox>(using_.get(), "useGammaCheck")->isChecked());
        QVERIFY(child<QWidget>(using_.get(), "gammaList")->isEnabled());
        QCOMPARE(child<QLineEdit>(using_.get(), "valueEdit")->text(), QStringLiteral("7"));
        QVERIFY(child<QListWidget>(using_.get(), "gammaList")->selectedItems().isEmpty());
    }

    void updateWritesOneEntryAndRefusesValuesOutOfRange() {
        SetPanelFlag(state_.editPanel, kUseGamma, true);
        auto page = makePage();
        auto* list = child<QListWidget>(page.get(), "gammaList");
        auto* value = child<QLineEdit>(page.get(), "valueEdit");
        auto* update = child<QPushButton>(page.get(), "updateButton");

        // No row selected: nothing happens.
        type(page.get(), "valueEdit", QStringLiteral("99"));
        update->click();
        QVERIFY(warnings_.isEmpty());
        QCOMPARE(state_.editPanel.gammaTable.level[0], uint8_t(0));

        selectRow(page.get(), 17);
        QCOMPARE(value->text(), QStringLiteral("17"));
        type(page.get(), "valueEdit", QStringLiteral("300"));
        update->click();
        QCOMPARE(warnings_.size(), 1);
        QCOMPARE(warnings_[0].title, QStringLiteral(" PANEL EDITOR"));
        QCOMPARE(warnings_[0].text, QStringLiteral("ERROR: Use values between 0 to 255 !"));
        QCOMPARE(value->text(), QStringLiteral("255"));
        QVERIFY(value->hasFocus());
        QCOMPARE(state_.editPanel.gammaTable.level[17], uint8_t(17));
        QCOMPARE(list->item(17)->text(), QStringLiteral("\t17\t17"));

        update->click();  // the 255 put back is now taken
        QCOMPARE(warnings_.size(), 1);
        QCOMPARE(state_.editPanel.gammaTable.level[17], uint8_t(255));
        QCOMPARE(list->item(17)->text(), QStringLiteral("\t17\t255"));
        QCOMPARE(list->count(), 256);
        QCOMPARE(list->selectedItems(), QList<QListWidgetItem*>{list->item(17)});
        QVERIFY(list->hasFocus());

        // The field is read unsigned: a negative value is refused like any
        // other over 255, and 255 goes back into the field.
        selectRow(page.get(), 40);
        type(page.get(), "valueEdit", QStringLiteral("-1"));
        update->click();
        QCOMPARE(warnings_.size(), 2);
        QCOMPARE(value->text(), QStringLiteral("255"));
        QCOMPARE(state_.editPanel.gammaTable.level[40], uint8_t(40));
    }

    void uncheckingKeepsTheTable() {
        SetPanelFlag(state_.editPanel, kUseGamma, true);
        auto page = makePage();
        selectRow(page.get(), 5);
        type(page.get(), "valueEdit", QStringLiteral("99"));
        child<QPushButton>(page.get(), "updateButton")->click();

        child<QCheckBox>(page.get(), "useGammaCheck")->click();
        QVERIFY(child<QLineEdit>(page.get(), "valueEdit")->text().isEmpty());
        QVERIFY(!child<QWidget>(page.get(), "gammaList")->isEnabled());
        QVERIFY(HasPanelFlag(state_.editPanel, kUseGamma));  // stored on OK, not on the click

        page->pageApply();
        QVERIFY(!HasPanelFlag(state_.editPanel, kUseGamma));
        QCOMPARE(state_.editPanel.gammaTable.level[5], uint8_t(99));
        QCOMPARE(state_.editPanel.gammaTable.level[6], uint8_t(6));
    }

    void delaysOnLeaveAndOk() {
        auto page = makePage();
        QCOMPARE(child<QLineEdit>(page.get(), "t1Edit")->maxLength(), 4);

        setDelays(page.get(), {"2500", "2500", "2500", "2500"});
        QVERIFY(page->pageLeave());
        page->pageApply();
        QCOMPARE(delayBytes(), (std::array<int, 4>{250, 250, 250, 250}));

        // The first wrong field of T1..T4 is reported and gets the focus.
        setDelays(page.get(), {"10", "2500", "2510", "2600"});
        QVERIFY(!page->pageLeave());
        QCOMPARE(warnings_.size(), 1);
        QCOMPARE(warnings_[0].title, QStringLiteral(" PANEL EDITOR"));
        QCOMPARE(warnings_[0].text, QStringLiteral("ERROR: Use timing values between 10 to 2500 ms !"));
        QVERIFY(child<QLineEdit>(page.get(), "t3Edit")->hasFocus());

        // A negative delay is refused, not wrapped into a byte.
        setDelays(page.get(), {"-5", "0", "0", "0"});
        QVERIFY(!page->pageLeave());
        QVERIFY(child<QLineEdit>(page.get(), "t1Edit")->hasFocus());
        page->pageApply();
        QCOMPARE(delayBytes()[0], 250);

        // Remainders are dropped; no lower limit.
        setDelays(page.get(), {"125", "9", "0", "2499"});
        QVERIFY(page->pageLeave());
        page->pageApply();
        QCOMPARE(delayBytes(), (std::array<int, 4>{12, 0, 0, 249}));
        auto again = makePage();
        QCOMPARE(child<QLineEdit>(again.get(), "t1Edit")->text(), QStringLiteral("120"));

        // A stored byte beyond 250 shows as more than 2500 ms and must be corrected.
        state_.editPanel.powerOnT2 = 255;
        auto high = makePage();
        QCOMPARE(child<QLineEdit>(high.get(), "t2Edit")->text(), QStringLiteral("2550"));
        QVERIFY(!high->pageLeave());
        QVERIFY(child<QLineEdit>(high.get(), "t2Edit")->hasFocus());
    }

    void emptyDelayOnOkAndOnTheStoreRequest() {
        state_.editPanel.powerOnT1 = 1;
        state_.editPanel.powerOnT2 = 33;
        auto page = makePage();
        setDelays(page.get(), {"500", "", "30", "40"});
        QVERIFY(page->pageLeave());  // empty reads as 0
        page->pageApply();
        QCOMPARE(delayBytes(), (std::array<int, 4>{50, 33, 3, 4}));

        child<QCheckBox>(page.get(), "useGammaCheck")->click();
        QVERIFY(SendStorePageRequest(page.get(), state_));
        QVERIFY(state_.storeOk);
        QCOMPARE(delayBytes(), (std::array<int, 4>{50, 0, 3, 4}));
        QVERIFY(HasPanelFlag(state_.editPanel, kUseGamma));
        QVERIFY(warnings_.isEmpty());
    }

    void failingStoreRequestStoresOnlyTheCheckBox() {
        auto page = makePage();
        child<QCheckBox>(page.get(), "useGammaCheck")->click();
        setDelays(page.get(), {"100", "200", "300", "9999"});
        QVERIFY(!SendStorePageRequest(page.get(), state_));
        QVERIFY(!state_.storeOk);
        QCOMPARE(warnings_.size(), 1);
        QCOMPARE(warnings_[0].title, QStringLiteral(" GAMMA/POWER"));
        QCOMPARE(warnings_[0].text, kPowerTimingRangeText);
        QVERIFY(HasPanelFlag(state_.editPanel, kUseGamma));
        QCOMPARE(delayBytes(), (std::array<int, 4>{0, 0, 0, 0}));
    }

    void helpOpensThePowerTimingBox() {
        auto page = makePage();
        int shownBox = 0;
        QTimer::singleShot(0, [&] {
            if (auto* box = qobject_cast<HelpBox*>(QApplication::activeModalWidget())) {
                shownBox = box->boxId();
                box->reject();
            }
        });
        child<QPushButton>(page.get(), "helpButton")->click();
        QCOMPARE(shownBox, int(kHelpPowerTiming));
    }

    void fifthPageOfThePanelDataSheet() {
        QList<SheetPageEntry> pages = PanelDataSheet::standardPages();
        for (int i = 0; i < 4; ++i)
            pages[i].create = [](EditorState&, QWidget* parent) -> SheetPage* { return new EmptyPage(parent); };
        PanelDataSheet sheet(state_, nullptr, pages);
        sheet.show();
        QVERIFY(QTest::qWaitForWindowExposed(&sheet));
        QCOMPARE(sheet.pageTitle(kGammaPowerPage), QStringLiteral(" Gamma/Power "));
        QVERIFY(sheet.turnToPage(kGammaPowerPage));
        auto* page = qobject_cast<GammaPowerPage*>(sheet.page(kGammaPowerPage));
        QVERIFY(page);
        QCOMPARE(PanelPageHandle(kGammaPowerPage), page);

        // A wrong delay keeps the sheet on the page, even on OK.
        child<QLineEdit>(page, "t4Edit")->setText(QStringLiteral("3000"));
        QVERIFY(!sheet.turnToPage(0));
        sheet.accept();
        QVERIFY(sheet.isVisible());
        QCOMPARE(state_.editPanel.powerOffT4, uint8_t(0));

        child<QLineEdit>(page, "t4Edit")->setText(QStringLiteral("1230"));
        child<QCheckBox>(page, "useGammaCheck")->click();
        sheet.accept();
        QCOMPARE(sheet.result(), int(QDialog::Accepted));
        QCOMPARE(state_.editPanel.powerOffT4, uint8_t(123));
        QVERIFY(HasPanelFlag(state_.editPanel, kUseGamma));
        QCOMPARE(warnings_.size(), 2);
    }
};

QTEST_MAIN(GammaPowerPageTest)
#include "tst_gamma_power_page.moc"
