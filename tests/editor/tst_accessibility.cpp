// Every window as a screen reader meets it: the accessibility tree of each
// page, dialog and box is walked, and every control it offers must have a
// name, every check box and radio button must answer its toggle action, and
// the pages' own handling must follow a toggle as it follows a click.
//
// The walk uses the same interfaces that the platform's accessibility bridge
// (AT-SPI on Linux) hands to an assistive tool, queried in the process.
#include "config_dialog.h"
#include "main_window.h"
#include "messages.h"
#include "mode_table_dialog.h"
#include "panel_data_sheet.h"
#include "selection_box.h"
#include "sheet_page.h"
#include "transfer_sheet.h"

#include <tolvane/editor_state.h>
#include <tolvane/modes.h>
#include <tolvane/panel.h>

#include <QAccessible>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QtTest>

#include "editor_test_support.h"

#include <cstring>

namespace {

// The roles of controls that take input: each must be announced by a name.
bool IsControl(QAccessible::Role role) {
    switch (role) {
        case QAccessible::EditableText:
        case QAccessible::PushButton:
        case QAccessible::ButtonMenu:
        case QAccessible::CheckBox:
        case QAccessible::RadioButton:
        case QAccessible::ComboBox:
        case QAccessible::List:
        case QAccessible::SpinBox:
        case QAccessible::Slider:
            return true;
        default:
            return false;
    }
}

QString Describe(const QAccessibleInterface* iface) {
    const QObject* object = iface->object();
    return object ? QString::fromLatin1(object->metaObject()->className()) + ' ' + object->objectName()
                  : QStringLiteral("<no object>");
}

// A name of the control's own: not empty, and not just the title of the
// group it sits in (which is what a field without a label is announced by).
bool HasOwnName(QAccessibleInterface* iface) {
    const QString name = iface->text(QAccessible::Name).trimmed();
    if (name.isEmpty()) return false;
    const auto* widget = qobject_cast<const QWidget*>(iface->object());
    const auto* group = widget ? qobject_cast<const QGroupBox*>(widget->parentWidget()) : nullptr;
    return !group || group->title().trimmed() != name;
}

// What a walk over one window found wrong.
struct Walk {
    QStringList unnamed;
    QStringList deaf;  // check boxes and radio buttons whose toggle did nothing
    int controls = 0;

    void visit(QAccessibleInterface* iface) {
        if (!iface || iface->state().invisible) return;
        if (IsControl(iface->role())) {
            ++controls;
            if (!HasOwnName(iface)) unnamed << Describe(iface);
        }
        // Children first: a toggle may grey out others, which stay in the tree.
        QList<QAccessibleInterface*> children;
        for (int i = 0; i < iface->childCount(); ++i) children << iface->child(i);
        for (QAccessibleInterface* child : children) visit(child);
        toggle(iface);
    }

    void toggle(QAccessibleInterface* iface) {
        const QAccessible::Role role = iface->role();
        if ((role != QAccessible::CheckBox && role != QAccessible::RadioButton) || iface->state().disabled) return;
        const bool before = iface->state().checked;
        if (role == QAccessible::RadioButton && before) {
            checkedRadios << iface;  // a checked radio is unchecked only by another one
            return;
        }
        QAccessibleActionInterface* action = iface->actionInterface();
        if (!action || !action->actionNames().contains(QAccessibleActionInterface::toggleAction())) {
            deaf << Describe(iface);
            return;
        }
        action->doAction(QAccessibleActionInterface::toggleAction());
        if (iface->state().checked == before) deaf << Describe(iface);
        else if (role == QAccessible::CheckBox) toggledChecks << iface;
    }

    // Puts every control back as it was, through the same actions, so that
    // the page can be left afterwards.
    void restore() {
        for (QAccessibleInterface* iface : toggledChecks + checkedRadios) {
            if (iface->role() == QAccessible::CheckBox || !iface->state().checked)
                iface->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
        }
    }

    QList<QAccessibleInterface*> toggledChecks;
    QList<QAccessibleInterface*> checkedRadios;
};

Walk WalkWindow(QWidget* window) {
    Walk walk;
    walk.visit(QAccessible::queryAccessibleInterface(window));
    walk.restore();
    return walk;
}

void Toggle(QWidget* control) {
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(control);
    QVERIFY(iface && iface->actionInterface());
    iface->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
}

}  // namespace

class AccessibilityTest : public QObject {
    Q_OBJECT

    EditorState state_;
    QStringList warnings_;

    void expectClean(QWidget* window, const QString& where) {
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        const Walk walk = WalkWindow(window);
        QVERIFY2(walk.controls > 0, qPrintable(where));
        QVERIFY2(walk.unnamed.isEmpty(), qPrintable(where + ": unnamed " + walk.unnamed.join(", ")));
        QVERIFY2(walk.deaf.isEmpty(), qPrintable(where + ": toggle does not act on " + walk.deaf.join(", ")));
        QVERIFY2(warnings_.isEmpty(), qPrintable(where + ": " + warnings_.join(", ")));
    }

private slots:
    void init() {
        state_ = EditorState{};
        SetPanelDefaults(state_.panel);
        // A panel every page lets go of.
        PanelRecord& r = state_.panel;
        std::strcpy(r.displayName, "PANEL");
        SetResolutionClass(r, kClassVGA);
        r.hResolution = 640;
        r.vResolution = 480;
        SetGoodTiming(r);
        state_.editPanel = state_.panel;
        SetModeTableDefaults(state_.modeTable);
        state_.editModeTable = state_.modeTable;
        warnings_.clear();
        SetWarningSink([this](const QString&, const QString& text) { warnings_ << text; });
    }

    void cleanup() { SetWarningSink({}); }

    void everyPageAndDialogIsNamedAndToggles() {
        PanelDataSheet panelSheet(state_, nullptr);
        for (int index = 0; index < panelSheet.pageCount(); ++index) {
            QVERIFY2(panelSheet.turnToPage(index), qPrintable(warnings_.join(", ")));
            expectClean(&panelSheet, panelSheet.pageTitle(index));
        }
        panelSheet.reject();

        TransferSheet transferSheet(state_, nullptr);
        for (int index = 0; index < transferSheet.pageCount(); ++index) {
            QVERIFY(transferSheet.turnToPage(index));
            expectClean(&transferSheet, transferSheet.pageTitle(index));
        }
        transferSheet.reject();

        ModeTableDialog modes(state_);
        expectClean(&modes, QStringLiteral("mode table"));
        modes.reject();
        for (SelectionBox::Layout layout :
             {SelectionBox::Layout::WithPanelChoice, SelectionBox::Layout::WithoutPanelChoice}) {
            SelectionBox box(state_, layout);
            expectClean(&box, QStringLiteral("selection box"));
        }
        ConfigDialog config(state_.config);
        expectClean(&config, QStringLiteral("configuration"));
        MainWindow main(state_);
        expectClean(&main, QStringLiteral("main window"));
    }

    // The pages react to a toggle through the accessible action as they do
    // to a click: the gamma controls follow " Use Gamma table ", and the
    // resolution radios of Timing I set up the fields and the edit copy.
    void togglesRunThePagesHandling() {
        PanelDataSheet sheet(state_, nullptr);
        sheet.show();
        QVERIFY(sheet.turnToPage(2));
        QWidget* timing1 = sheet.page(2);
        auto* hRes = Child<QLineEdit>(timing1, "hResEdit");
        Toggle(Child<QRadioButton>(timing1, "otherRadio"));
        QVERIFY(hRes->isEnabled());
        QVERIFY(state_.resolutionChanged);
        Toggle(Child<QRadioButton>(timing1, "sxgaRadio"));
        QVERIFY(!hRes->isEnabled());
        QCOMPARE(state_.editPanel.hResolution, uint16_t{1280});
        QCOMPARE(state_.editPanel.vResolution, uint16_t{1024});

        QVERIFY2(sheet.turnToPage(4), qPrintable(warnings_.join(", ")));
        QWidget* gamma = sheet.page(4);
        auto* list = Child<QListWidget>(gamma, "gammaList");
        auto* value = Child<QLineEdit>(gamma, "valueEdit");
        const bool used = HasPanelFlag(state_.editPanel, kUseGamma);
        QCOMPARE(list->isEnabled(), used);
        Toggle(Child<QWidget>(gamma, "useGammaCheck"));
        QCOMPARE(list->isEnabled(), !used);
        QCOMPARE(value->text().isEmpty(), used);
        Toggle(Child<QWidget>(gamma, "useGammaCheck"));
        QCOMPARE(list->isEnabled(), used);
        sheet.reject();
        QVERIFY(warnings_.isEmpty());
    }
};

QTEST_MAIN(AccessibilityTest)
#include "tst_accessibility.moc"
