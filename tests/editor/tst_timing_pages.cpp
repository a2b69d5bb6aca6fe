// The Timing I and Timing II pages, driven through their real widgets: loading
// from the edit copy, the resolution radios, the checks with their messages
// and focus, the validating stores, the display clock round trip, the spin
// controls and the red "Min. total period" fields; and both pages inside the
// real panel data sheet.
#include "buddy_spin.h"
#include "editor_strings.h"
#include "editor_style.h"
#include "help_box.h"
#include "messages.h"
#include "panel_data_sheet.h"
#include "panel_pages.h"
#include "timing1_page.h"
#include "timing2_page.h"

#include <tolvane/editor_state.h>
#include <tolvane/panel.h>
#include <tolvane/typed_numbers.h>

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <QtTest>

#include "editor_test_support.h"

#include <cstring>
#include <memory>

namespace {

struct Warning {
    QString title;
    QString text;
};

QLineEdit* Field(QWidget* page, const char* name) { return Child<QLineEdit>(page, name); }

QString Text(QWidget* page, const char* name) { return Field(page, name)->text(); }

// What a C "%.2f" of kHz x 0.001 gives.
QString PrintfClock(uint32_t kHz) { return QString::asprintf("%.2f", kHz * 0.001); }

}  // namespace

class TimingPagesTest : public QObject {
    Q_OBJECT

private:
    template <typename Page>
    std::unique_ptr<Page> makePage() {
        auto page = std::make_unique<Page>(state_);
        page->show();
        page->activateWindow();
        if (!QTest::qWaitForWindowActive(page.get())) qWarning("page window not active; focus checks may fail");
        page->pageActivated();
        return page;
    }

    static void setText(QWidget* page, const char* name, const QString& text) {
        QLineEdit* field = Field(page, name);
        field->clear();
        QTest::keyClicks(field, text);
    }

    QStringList warningTexts() const {
        QStringList texts;
        for (const Warning& w : warnings_) texts << w.text;
        return texts;
    }

    EditorState state_;
    QList<Warning> warnings_;

private slots:
    void init() {
        state_ = EditorState{};
        SetPanelDefaults(state_.panel);
        state_.editPanel = state_.panel;
        warnings_.clear();
        SetWarningSink([this](const QString& title, const QString& text) { warnings_.append({title, text}); });
    }

    void cleanup() { SetWarningSink({}); }

    // --- Timing I ---------------------------------------------------------

    void timing1ShowsTheRecord() {
        SetGoodTiming(state_.editPanel);
        state_.editPanel.vFreqMin = 0;
        auto page = makePage<Timing1Page>();
        // Below 45 Hz is raised to 45, in the field and in the edit copy.
        QCOMPARE(Text(page.get(), "vFreqMinEdit"), QStringLiteral("45"));
        QCOMPARE(state_.editPanel.vFreqMin, uint16_t(45));
        QCOMPARE(Text(page.get(), "vFreqTypEdit"), QStringLiteral("60"));
        QCOMPARE(Text(page.get(), "vFreqMaxEdit"), QStringLiteral("75"));
        QCOMPARE(Text(page.get(), "clockEdit"), QStringLiteral("65.00"));
        // The defaults are XGA 1024 x 768: a standard pair, no typed fields.
        QVERIFY(Child<QRadioButton>(page.get(), "xgaRadio")->isChecked());
        QVERIFY(!Field(page.get(), "hResEdit")->isEnabled());
        QVERIFY(!Child<QLabel>(page.get(), "vResLabel")->isEnabled());
        QVERIFY(Text(page.get(), "hResEdit").isEmpty());

        // The texts of the page, letter for letter.
        QCOMPARE(Child<QLabel>(page.get(), "headingLabel")->text(),
                 QStringLiteral("Define display resolution, frequencies and timing."));
        QCOMPARE(Child<QGroupBox>(page.get(), "resolutionGroup")->title(), QStringLiteral(" Display resolution "));
        QCOMPARE(Child<QGroupBox>(page.get(), "frequencyGroup")->title(), QStringLiteral(" Display frequencies "));
        QCOMPARE(Child<QGroupBox>(page.get(), "frequencyGroup")->font(), captionFont());
        QStringList radios;
        for (const char* name : {"vgaRadio", "svgaRadio", "xgaRadio", "sxgaRadio", "uxgaRadio", "otherRadio"})
            radios << Child<QRadioButton>(page.get(), name)->text();
        QCOMPARE(radios, (QStringList{" VGA ", " SVGA ", " XGA ", " SXGA ", " UXGA ", " Other "}));
        QCOMPARE(Field(page.get(), "clockEdit")->maxLength(), 6);
        QCOMPARE(Field(page.get(), "vFreqMaxEdit")->maxLength(), 4);
    }

    void timing1TypedResolutionOpensAsOther() {
        SetGoodTiming(state_.editPanel);
        PanelRecord& r = state_.editPanel;
        r.hResolution = 1024;
        r.vResolution = 600;
        SetResolutionClass(r, 0);
        SetCustomResolution(r, false);
        {
            auto page = makePage<Timing1Page>();
            QVERIFY(Child<QRadioButton>(page.get(), "otherRadio")->isChecked());
            QVERIFY(!Child<QRadioButton>(page.get(), "xgaRadio")->isChecked());
            QCOMPARE(Text(page.get(), "hResEdit"), QStringLiteral("1024"));
            QCOMPARE(Text(page.get(), "vResEdit"), QStringLiteral("600"));
            QVERIFY(Field(page.get(), "vResEdit")->isEnabled());
            QVERIFY(Child<QLabel>(page.get(), "hResLabel")->isEnabled());
            QVERIFY(page->pageLeave());
            page->pageApply();
        }
        QCOMPARE(ResolutionClass(r), kClassXGA);
        QVERIFY(IsCustomResolution(r));
        QCOMPARE(r.hResolution, uint16_t(1024));
        QCOMPARE(r.vResolution, uint16_t(600));

        // A standard pair whose class is no single class bit: no radio checked,
        // and apply keeps the pair.
        r.hResolution = 800;
        r.vResolution = 600;
        SetResolutionClass(r, kClassVGA | kClassSVGA);
        {
            auto page = makePage<Timing1Page>();
            for (const char* name : {"vgaRadio", "svgaRadio", "xgaRadio", "sxgaRadio", "uxgaRadio", "otherRadio"})
                QVERIFY2(!Child<QRadioButton>(page.get(), name)->isChecked(), name);
            page->pageApply();
        }
        QCOMPARE(ResolutionClass(r), uint16_t(0));
        QVERIFY(!IsCustomResolution(r));
        QCOMPARE(r.hResolution, uint16_t(800));

        // A width too long for the field (from a file) is shown whole and refused.
        r.hResolution = 12345;
        auto page = makePage<Timing1Page>();
        QCOMPARE(Text(page.get(), "hResEdit"), QStringLiteral("12345"));
        QVERIFY(!page->pageLeave());
        QCOMPARE(warningTexts(), QStringList{kTimingBadHResolutionText});
    }

    void timing1ResolutionClick() {
        SetGoodTiming(state_.editPanel);
        PanelRecord& r = state_.editPanel;
        r.hResolution = 1024;
        r.vResolution = 600;
        auto page = makePage<Timing1Page>();
        QVERIFY(!state_.resolutionChanged);

        auto* sxga = Child<QRadioButton>(page.get(), "sxgaRadio");
        QTest::mouseClick(sxga, Qt::LeftButton);
        QVERIFY(sxga->isChecked());
        // The edit copy takes the standard pair at once.
        QCOMPARE(r.hResolution, uint16_t(1280));
        QCOMPARE(r.vResolution, uint16_t(1024));
        QVERIFY(Text(page.get(), "hResEdit").isEmpty());
        QVERIFY(Text(page.get(), "vResEdit").isEmpty());
        QVERIFY(!Field(page.get(), "hResEdit")->isEnabled());
        QVERIFY(sxga->hasFocus());
        QVERIFY(state_.resolutionChanged);

        // " Other " opens the empty fields; leaving with them empty is refused.
        auto* other = Child<QRadioButton>(page.get(), "otherRadio");
        QTest::mouseClick(other, Qt::LeftButton);
        QVERIFY(Field(page.get(), "hResEdit")->isEnabled());
        QVERIFY(Text(page.get(), "hResEdit").isEmpty());
        QVERIFY(other->hasFocus());
        QVERIFY(!page->pageLeave());
        QCOMPARE(warnings_.size(), 1);
        QCOMPARE(warnings_[0].title, kDefaultWarningTitle);
        QCOMPARE(warnings_[0].text, kTimingBadHResolutionText);
        QVERIFY(Field(page.get(), "hResEdit")->hasFocus());

        setText(page.get(), "hResEdit", QStringLiteral("1366"));
        setText(page.get(), "vResEdit", QStringLiteral("768"));
        QVERIFY(page->pageLeave());
        page->pageApply();
        QCOMPARE(ResolutionClass(r), kClassUXGA);
        QVERIFY(IsCustomResolution(r));
        QCOMPARE(r.hResolution, uint16_t(1366));
        QCOMPARE(r.vResolution, uint16_t(768));

        // Back to a standard radio: apply clears the typed-resolution mark.
        QTest::mouseClick(Child<QRadioButton>(page.get(), "vgaRadio"), Qt::LeftButton);
        page->pageApply();
        QCOMPARE(ResolutionClass(r), kClassVGA);
        QVERIFY(!IsCustomResolution(r));
        QCOMPARE(r.hResolution, uint16_t(640));
        QCOMPARE(r.vResolution, uint16_t(480));
    }

    void timing1Checks_data() {
        QTest::addColumn<QString>("width");  // empty: a standard radio stays checked
        QTest::addColumn<QString>("height");
        QTest::addColumn<QString>("minimum");
        QTest::addColumn<QString>("typical");
        QTest::addColumn<QString>("maximum");
        QTest::addColumn<QString>("clock");
        QTest::addColumn<QString>("message");  // empty: accepted
        QTest::addColumn<QString>("focus");

        QTest::newRow("bounds accepted") << ""
                                         << ""
                                         << "45"
                                         << "100"
                                         << "200"
                                         << "15.00"
                                         << ""
                                         << "";
        QTest::newRow("150 MHz accepted") << ""
                                          << ""
                                          << "45"
                                          << "60"
                                          << "75"
                                          << "150.00"
                                          << ""
                                          << "";
        QTest::newRow("typed size bounds") << "160"
                                           << "2000"
                                           << "45"
                                           << "60"
                                           << "75"
                                           << "150"
                                           << ""
                                           << "";
        QTest::newRow("width 159") << "159"
                                   << "600"
                                   << "45"
                                   << "60"
                                   << "75"
                                   << "65" << kTimingBadHResolutionText << "hResEdit";
        QTest::newRow("width 2001") << "2001"
                                    << "600"
                                    << "45"
                                    << "60"
                                    << "75"
                                    << "65" << kTimingBadHResolutionText << "hResEdit";
        QTest::newRow("height 119") << "800"
                                    << "119"
                                    << "45"
                                    << "60"
                                    << "75"
                                    << "65" << kTimingBadVResolutionText << "vResEdit";
        QTest::newRow("negative height") << "800"
                                         << "-1"
                                         << "45"
                                         << "60"
                                         << "75"
                                         << "65" << kTimingBadVResolutionText << "vResEdit";
        QTest::newRow("min 44") << ""
                                << ""
                                << "44"
                                << "60"
                                << "75"
                                << "65" << kTimingUnder45HzText << "vFreqMinEdit";
        QTest::newRow("empty min") << ""
                                   << ""
                                   << ""
                                   << "60"
                                   << "75"
                                   << "65" << kTimingUnder45HzText << "vFreqMinEdit";
        QTest::newRow("max 201") << ""
                                 << ""
                                 << "45"
                                 << "60"
                                 << "201"
                                 << "65" << kTimingOver200HzText << "vFreqMaxEdit";
        QTest::newRow("min = typ") << ""
                                   << ""
                                   << "45"
                                   << "45"
                                   << "60"
                                   << "65" << kTimingMinNotBelowTypText << "vFreqTypEdit";
        QTest::newRow("typ = max") << ""
                                   << ""
                                   << "45"
                                   << "60"
                                   << "60"
                                   << "65" << kTimingTypNotBelowMaxText << "vFreqMaxEdit";
        QTest::newRow("clock 14.99") << ""
                                     << ""
                                     << "45"
                                     << "60"
                                     << "75"
                                     << "14.99" << kTimingClockRangeText << "clockEdit";
        QTest::newRow("clock 150.01") << ""
                                      << ""
                                      << "45"
                                      << "60"
                                      << "75"
                                      << "150.01" << kTimingClockRangeText << "clockEdit";
        QTest::newRow("clock wrapping 2^32") << ""
                                             << ""
                                             << "45"
                                             << "60"
                                             << "75"
                                             << "4295e3" << kTimingClockRangeText << "clockEdit";
        QTest::newRow("clock negative") << ""
                                        << ""
                                        << "45"
                                        << "60"
                                        << "75"
                                        << "-65" << kTimingClockRangeText << "clockEdit";
        // Several wrong at once: the first in order is reported.
        QTest::newRow("first failure wins") << "100"
                                            << "100"
                                            << "10"
                                            << "5"
                                            << "300"
                                            << "1" << kTimingBadHResolutionText << "hResEdit";
    }

    void timing1Checks() {
        QFETCH(QString, width);
        QFETCH(QString, height);
        QFETCH(QString, minimum);
        QFETCH(QString, typical);
        QFETCH(QString, maximum);
        QFETCH(QString, clock);
        QFETCH(QString, message);
        QFETCH(QString, focus);

        SetGoodTiming(state_.editPanel);
        state_.editPanel.reserved54 = 0x5A5A;
        const PanelRecord before = state_.editPanel;
        auto page = makePage<Timing1Page>();
        if (!width.isEmpty()) {
            QTest::mouseClick(Child<QRadioButton>(page.get(), "otherRadio"), Qt::LeftButton);
            setText(page.get(), "hResEdit", width);
            setText(page.get(), "vResEdit", height);
        }
        setText(page.get(), "vFreqMinEdit", minimum);
        setText(page.get(), "vFreqTypEdit", typical);
        setText(page.get(), "vFreqMaxEdit", maximum);
        setText(page.get(), "clockEdit", clock);

        // Leave check: titled " PANEL EDITOR", focus on the field.
        QCOMPARE(page->pageLeave(), message.isEmpty());
        if (message.isEmpty()) {
            QVERIFY(warnings_.isEmpty());
        } else {
            QCOMPARE(warnings_.size(), 1);
            QCOMPARE(warnings_[0].title, kDefaultWarningTitle);
            QCOMPARE(warnings_[0].text, message);
            QVERIFY(Field(page.get(), focus.toLatin1().constData())->hasFocus());
        }

        // Validating store: the same check titled " TIMING I"; a failure keeps
        // the frequencies, the clock and reserved54 of the edit copy.
        warnings_.clear();
        state_.storeOk = true;
        QCOMPARE(SendStorePageRequest(page.get(), state_), message.isEmpty());
        QCOMPARE(state_.storeOk, message.isEmpty());
        const PanelRecord& r = state_.editPanel;
        if (message.isEmpty()) {
            QVERIFY(warnings_.isEmpty());
            QCOMPARE(r.reserved54, uint16_t(0));
            QCOMPARE(r.vFreqMin, uint16_t(minimum.toUInt()));
            QCOMPARE(r.vFreqTyp, uint16_t(typical.toUInt()));
            QCOMPARE(r.vFreqMax, uint16_t(maximum.toUInt()));
            QCOMPARE(r.maxDisplayClock, TypedClockKHz(clock.toStdString()));
            if (!width.isEmpty()) {
                QVERIFY(IsCustomResolution(r));
                QCOMPARE(r.hResolution, uint16_t(width.toUInt()));
                QCOMPARE(r.vResolution, uint16_t(height.toUInt()));
                QCOMPARE(ResolutionClass(r), ClassOfWidth(width.toUInt()));
            } else {
                QCOMPARE(ResolutionClass(r), kClassXGA);
                QCOMPARE(r.hResolution, uint16_t(1024));
            }
        } else {
            QCOMPARE(warnings_.size(), 1);
            QCOMPARE(warnings_[0].title, kTiming1Title);
            QCOMPARE(warnings_[0].text, message);
            QCOMPARE(r.reserved54, before.reserved54);
            QCOMPARE(r.vFreqMin, before.vFreqMin);
            QCOMPARE(r.vFreqTyp, before.vFreqTyp);
            QCOMPARE(r.vFreqMax, before.vFreqMax);
            QCOMPARE(r.maxDisplayClock, before.maxDisplayClock);
            QCOMPARE(r.hResolution, before.hResolution);
        }
    }

    // Every clock a two-decimal field can hold, loaded, shown, stored on OK.
    void timing1EveryClockSurvivesOpenAndApply() {
        SetGoodTiming(state_.editPanel);
        int shownLikePrintf = 0;
        Timing1Page page(state_);
        for (uint32_t kHz = 15000; kHz <= 150000; kHz += 10) {
            state_.editPanel.maxDisplayClock = kHz;
            page.load();
            const QString shown = Field(&page, "clockEdit")->text();
            if (shown != PrintfClock(kHz)) QFAIL(qPrintable(QStringLiteral("%1 kHz shown as %2").arg(kHz).arg(shown)));
            ++shownLikePrintf;
            if (!page.pageLeave()) QFAIL(qPrintable(QStringLiteral("%1 kHz refused").arg(kHz)));
            page.pageApply();
            if (state_.editPanel.maxDisplayClock != kHz)
                QFAIL(qPrintable(QStringLiteral("%1 kHz stored as %2").arg(kHz).arg(state_.editPanel.maxDisplayClock)));
        }
        QCOMPARE(shownLikePrintf, 13501);
        QVERIFY(warnings_.isEmpty());
    }

    void timing1ClockThatTwoDecimalsWouldRound() {
        SetGoodTiming(state_.editPanel);
        for (uint32_t kHz : {16065u, 149995u, 100001u, 65000u}) {
            state_.editPanel.maxDisplayClock = kHz;
            auto page = makePage<Timing1Page>();
            QLineEdit* clock = Field(page.get(), "clockEdit");
            QCOMPARE(clock->text(), QString::fromStdString(FormatScaledShortest(kHz, 3, 2)));
            QVERIFY(clock->maxLength() >= clock->text().size());
            if (kHz == 16065) QCOMPARE(clock->text(), QStringLiteral("16.065"));
            // Through the sheet's protocol: leave, then OK.
            QVERIFY(page->pageLeave());
            page->pageApply();
            QCOMPARE(state_.editPanel.maxDisplayClock, kHz);
            QVERIFY(SendStorePageRequest(page.get(), state_));
            QCOMPARE(state_.editPanel.maxDisplayClock, kHz);
        }
        // What was typed is truncated to whole kHz.
        auto page = makePage<Timing1Page>();
        setText(page.get(), "clockEdit", QStringLiteral("65.1239"));
        page->pageApply();
        QCOMPARE(state_.editPanel.maxDisplayClock, 65123u);
    }

    void timing1ApplyLeavesEmptyFieldsAlone() {
        SetGoodTiming(state_.editPanel);
        auto page = makePage<Timing1Page>();
        for (const char* name : {"vFreqMinEdit", "vFreqTypEdit", "vFreqMaxEdit", "clockEdit"})
            Field(page.get(), name)->clear();
        page->pageApply();
        QCOMPARE(state_.editPanel.vFreqMin, uint16_t(50));
        QCOMPARE(state_.editPanel.vFreqTyp, uint16_t(60));
        QCOMPARE(state_.editPanel.vFreqMax, uint16_t(75));
        QCOMPARE(state_.editPanel.maxDisplayClock, 65000u);
    }

    // --- Timing II --------------------------------------------------------

    void timing2ShowsTheRecordAndDisplayPeriods() {
        SetGoodTiming(state_.editPanel);
        PanelRecord& r = state_.editPanel;
        SetResolutionClass(r, kClassVGA);
        auto page = makePage<Timing2Page>();
        // 1024 x 768 is standard: the class decides, not the pair.
        QCOMPARE(Child<QLabel>(page.get(), "hDisplayPeriod")->text(), QStringLiteral("640"));
        QCOMPARE(Child<QLabel>(page.get(), "vDisplayPeriod")->text(), QStringLiteral("480"));
        QCOMPARE(Text(page.get(), "hPulseEdit"), QStringLiteral("96"));
        QCOMPARE(Text(page.get(), "hBackPorchEdit"), QStringLiteral("48"));
        QCOMPARE(Text(page.get(), "hTotalEdit"), QStringLiteral("800"));
        QCOMPARE(Text(page.get(), "vPulseEdit"), QStringLiteral("2"));
        QCOMPARE(Text(page.get(), "vBackPorchEdit"), QStringLiteral("33"));
        QCOMPARE(Text(page.get(), "vTotalEdit"), QStringLiteral("525"));
        QCOMPARE(Child<QLabel>(page.get(), "headingLabel")->text(),
                 QStringLiteral("Define horizontal and vertical timing parameters."));
        QCOMPARE(Child<QGroupBox>(page.get(), "horizontalGroup")->title(), QStringLiteral(" Horizontal timing "));
        QCOMPARE(Child<QGroupBox>(page.get(), "verticalGroup")->title(), QStringLiteral(" Vertical timing "));

        // A typed-in pair is its own display period; no class keeps the last one.
        r.hResolution = 1024;
        r.vResolution = 600;
        page->pageActivated();
        QCOMPARE(page->hDisplayPeriod(), uint16_t(1024));
        QCOMPARE(page->vDisplayPeriod(), uint16_t(600));
        r.hResolution = 800;
        r.vResolution = 600;
        SetResolutionClass(r, 0);
        page->pageActivated();
        QCOMPARE(Child<QLabel>(page.get(), "hDisplayPeriod")->text(), QStringLiteral("1024"));

        int shownBox = 0;
        QTimer::singleShot(0, [&] {
            if (auto* box = qobject_cast<HelpBox*>(QApplication::activeModalWidget())) {
                shownBox = box->boxId();
                box->reject();
            }
        });
        Child<QPushButton>(page.get(), "helpButton")->click();
        QCOMPARE(shownBox, int(kHelpTiming));
    }

    void timing2RedTotal() {
        SetGoodTiming(state_.editPanel);
        PanelRecord& r = state_.editPanel;
        SetResolutionClass(r, kClassVGA);
        r.hMinTotal = 784;
        r.vMinTotal = 500;  // 480 + 2 + 33 > 500: red from the start
        auto page = makePage<Timing2Page>();
        QLineEdit* total = Field(page.get(), "hTotalEdit");
        QLineEdit* vTotal = Field(page.get(), "vTotalEdit");
        QVERIFY(!page->hTotalShort());  // 640 + 96 + 48 == 784 is not short
        QCOMPARE(total->palette().color(QPalette::Base), QColor(Qt::white));
        QCOMPARE(total->palette().color(QPalette::Text), QColor(Qt::black));
        QVERIFY(page->vTotalShort());
        QCOMPARE(vTotal->palette().brush(QPalette::Base), warningBrush());
        QCOMPARE(vTotal->palette().color(QPalette::Text), QColor(Qt::white));

        setText(page.get(), "hTotalEdit", QStringLiteral("783"));
        QVERIFY(page->hTotalShort());
        QCOMPARE(total->palette().color(QPalette::Base), QColor(255, 0, 0));
        QCOMPARE(total->palette().color(QPalette::Text), QColor(Qt::white));

        // An empty pulse field counts as 0.
        Field(page.get(), "hPulseEdit")->clear();
        QVERIFY(!page->hTotalShort());
        QCOMPARE(total->palette().color(QPalette::Base), QColor(Qt::white));
        QVERIFY(page->vTotalShort());  // the vertical flag was left alone

        // The back-porch spin steps the sum over the total again.
        setText(page.get(), "hBackPorchEdit", QStringLiteral("143"));
        QVERIFY(!page->hTotalShort());
        Child<BuddySpin>(page.get(), "hBackPorchEditSpin")->upButton()->click();
        QCOMPARE(Text(page.get(), "hBackPorchEdit"), QStringLiteral("144"));
        QVERIFY(page->hTotalShort());

        // A short total is only a warning: the page may be left and stores it.
        QVERIFY(page->pageLeave());
        page->pageApply();
        QCOMPARE(r.hMinTotal, uint16_t(783));
        QCOMPARE(r.hBackPorch, uint16_t(144));
        QCOMPARE(r.hPulseWidth, uint16_t(96));  // empty: unchanged on apply
        QVERIFY(warnings_.isEmpty());
    }

    void timing2SpinControls() {
        SetGoodTiming(state_.editPanel);
        auto page = makePage<Timing2Page>();
        QLineEdit* total = Field(page.get(), "hTotalEdit");
        auto* spin = Child<BuddySpin>(page.get(), "hTotalEditSpin");
        // Attached to the field's right edge, one pixel above and below it.
        QCOMPARE(spin->geometry(), QRect(total->geometry().right() + 1, total->y() - 1, 10, total->height() + 2));
        QCOMPARE(spin->maximum(), 4096);
        QCOMPARE(Child<BuddySpin>(page.get(), "vTotalEditSpin")->maximum(), 2048);
        QCOMPARE(Child<BuddySpin>(page.get(), "vPulseEditSpin")->maximum(), 255);

        setText(page.get(), "hTotalEdit", QStringLiteral("4095"));
        QTest::keyClick(total, Qt::Key_Up);
        QCOMPARE(total->text(), QStringLiteral("4096"));
        QTest::keyClick(total, Qt::Key_Up);
        spin->upButton()->click();
        QCOMPARE(total->text(), QStringLiteral("4096"));  // the spin stops at the top
        QVERIFY(page->pageLeave());

        // Typed past the range: refused on leaving, focus in the field.
        setText(page.get(), "hTotalEdit", QStringLiteral("4097"));
        QVERIFY(!page->pageLeave());
        QCOMPARE(warnings_.size(), 1);
        QCOMPARE(warnings_[0].title, kDefaultWarningTitle);
        QCOMPARE(warnings_[0].text, kTimingHTotalRangeText);
        QVERIFY(total->hasFocus());
        // Stepping down from there comes back into the range.
        QTest::keyClick(total, Qt::Key_Down);
        QCOMPARE(total->text(), QStringLiteral("4095"));

        // Plain digits, no group separators, whatever the locale.
        QLocale::setDefault(QLocale(QLocale::German));
        setText(page.get(), "hTotalEdit", QStringLiteral("999"));
        spin->upButton()->click();
        QCOMPARE(total->text(), QStringLiteral("1000"));
        QLocale::setDefault(QLocale::c());

        // Text without digits reads 0; the spin never goes below 0.
        QLineEdit* pulse = Field(page.get(), "vPulseEdit");
        setText(page.get(), "vPulseEdit", QStringLiteral("x"));
        QTest::keyClick(pulse, Qt::Key_Down);
        QCOMPARE(pulse->text(), QStringLiteral("0"));
        QTest::keyClick(pulse, Qt::Key_Up);
        QCOMPARE(pulse->text(), QStringLiteral("1"));
    }

    void timing2Checks_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("message");  // empty: accepted

        // The board keeps these four in one byte: 256 would arrive as 0.
        QTest::newRow("h pulse 255") << "hPulseEdit"
                                     << "255"
                                     << "";
        QTest::newRow("h pulse 256") << "hPulseEdit"
                                     << "256" << kTimingOver255Text;
        QTest::newRow("h back-porch 256") << "hBackPorchEdit"
                                          << "256" << kTimingOver255Text;
        QTest::newRow("v pulse 256") << "vPulseEdit"
                                     << "256" << kTimingOver255Text;
        QTest::newRow("v back-porch 256") << "vBackPorchEdit"
                                          << "256" << kTimingOver255Text;
        QTest::newRow("h pulse -1") << "hPulseEdit"
                                    << "-1" << kTimingOver255Text;
        QTest::newRow("h back-porch 257") << "hBackPorchEdit"
                                          << "257" << kTimingOver255Text;
        QTest::newRow("h total 160") << "hTotalEdit"
                                     << "160"
                                     << "";
        QTest::newRow("h total 159") << "hTotalEdit"
                                     << "159" << kTimingHTotalRangeText;
        QTest::newRow("h total empty") << "hTotalEdit"
                                       << "" << kTimingHTotalRangeText;
        QTest::newRow("v pulse 257") << "vPulseEdit"
                                     << "257" << kTimingOver255Text;
        QTest::newRow("v back-porch 300") << "vBackPorchEdit"
                                          << "300" << kTimingOver255Text;
        QTest::newRow("v total 120") << "vTotalEdit"
                                     << "120"
                                     << "";
        QTest::newRow("v total 2048") << "vTotalEdit"
                                      << "2048"
                                      << "";
        QTest::newRow("v total 119") << "vTotalEdit"
                                     << "119" << kTimingVTotalRangeText;
        QTest::newRow("v total 2049") << "vTotalEdit"
                                      << "2049" << kTimingVTotalRangeText;
        QTest::newRow("v pulse empty") << "vPulseEdit"
                                       << ""
                                       << "";
    }

    void timing2Checks() {
        QFETCH(QString, field);
        QFETCH(QString, value);
        QFETCH(QString, message);
        const QByteArray name = field.toLatin1();

        SetGoodTiming(state_.editPanel);
        const PanelRecord before = state_.editPanel;
        auto page = makePage<Timing2Page>();
        setText(page.get(), name.constData(), value);

        QCOMPARE(page->pageLeave(), message.isEmpty());
        if (!message.isEmpty()) {
            QCOMPARE(warnings_.size(), 1);
            QCOMPARE(warnings_[0].title, kDefaultWarningTitle);
            QCOMPARE(warnings_[0].text, message);
            QVERIFY(Field(page.get(), name.constData())->hasFocus());
        }

        warnings_.clear();
        QCOMPARE(SendStorePageRequest(page.get(), state_), message.isEmpty());
        QCOMPARE(state_.storeOk, message.isEmpty());
        const PanelRecord& r = state_.editPanel;
        if (message.isEmpty()) {
            QVERIFY(warnings_.isEmpty());
            // Every field stored; an empty one as 0.
            QCOMPARE(r.hMinTotal, field == "hTotalEdit" ? uint16_t(value.toUInt()) : before.hMinTotal);
            QCOMPARE(r.vMinTotal, field == "vTotalEdit" ? uint16_t(value.toUInt()) : before.vMinTotal);
            QCOMPARE(r.vPulseWidth, field == "vPulseEdit" ? uint16_t(value.toUInt()) : before.vPulseWidth);
            QCOMPARE(r.hPulseWidth, field == "hPulseEdit" ? uint16_t(value.toUInt()) : before.hPulseWidth);
        } else {
            QCOMPARE(warnings_.size(), 1);
            QCOMPARE(warnings_[0].title, kTiming2Title);
            QCOMPARE(warnings_[0].text, message);
            QVERIFY(std::memcmp(&r, &before, sizeof r) == 0);  // nothing stored
        }
    }

    // --- Both pages in the real sheet ------------------------------------

    void sheetResolutionChangeReachesTiming2() {
        SetGoodTiming(state_.editPanel);
        std::strcpy(state_.editPanel.displayName, "TEST PANEL");
        state_.editPanel.reserved54 = 7;
        PanelDataSheet sheet(state_, nullptr);
        sheet.show();
        QVERIFY(QTest::qWaitForWindowExposed(&sheet));

        // Without a resolution click, Timing II does not make Timing I store.
        QVERIFY(sheet.turnToPage(kTiming1Page));
        QVERIFY(sheet.turnToPage(kTiming2Page));
        QCOMPARE(state_.editPanel.reserved54, uint16_t(7));
        auto* timing2 = qobject_cast<Timing2Page*>(sheet.page(kTiming2Page));
        QVERIFY(timing2);
        QCOMPARE(timing2->hDisplayPeriod(), uint16_t(1024));

        // A typed resolution on Timing I is the display period on Timing II.
        QVERIFY(sheet.turnToPage(kTiming1Page));
        QWidget* timing1 = sheet.page(kTiming1Page);
        QTest::mouseClick(Child<QRadioButton>(timing1, "otherRadio"), Qt::LeftButton);
        setText(timing1, "hResEdit", QStringLiteral("1024"));
        setText(timing1, "vResEdit", QStringLiteral("600"));
        QVERIFY(sheet.turnToPage(kTiming2Page));
        QCOMPARE(Child<QLabel>(timing2, "hDisplayPeriod")->text(), QStringLiteral("1024"));
        QCOMPARE(Child<QLabel>(timing2, "vDisplayPeriod")->text(), QStringLiteral("600"));
        QVERIFY(IsCustomResolution(state_.editPanel));
        QCOMPARE(state_.editPanel.reserved54, uint16_t(0));

        // Every later activation stores Timing I again.
        for (int round = 0; round < 2; ++round) {
            state_.editPanel.reserved54 = 7;
            QVERIFY(sheet.turnToPage(kInterface2Page));
            QVERIFY(sheet.turnToPage(kTiming2Page));
            QCOMPARE(state_.editPanel.reserved54, uint16_t(0));
        }

        // A wrong field on Timing I keeps the sheet there.
        QVERIFY(sheet.turnToPage(kTiming1Page));
        setText(timing1, "vFreqMaxEdit", QStringLiteral("60"));
        QVERIFY(!sheet.turnToPage(kTiming2Page));
        QCOMPARE(sheet.currentPage(), int(kTiming1Page));
        QCOMPARE(warningTexts(), QStringList{kTimingTypNotBelowMaxText});
        setText(timing1, "vFreqMaxEdit", QStringLiteral("85"));

        // OK stores both pages.
        sheet.accept();
        QCOMPARE(sheet.result(), int(QDialog::Accepted));
        QCOMPARE(state_.editPanel.hResolution, uint16_t(1024));
        QCOMPARE(state_.editPanel.vResolution, uint16_t(600));
        QCOMPARE(ResolutionClass(state_.editPanel), kClassXGA);
        QCOMPARE(state_.editPanel.vFreqMax, uint16_t(85));
        QCOMPARE(state_.editPanel.hMinTotal, uint16_t(800));
    }
};

QTEST_MAIN(TimingPagesTest)
#include "tst_timing_pages.moc"
