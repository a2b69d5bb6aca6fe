#include "timing2_page.h"

#include "buddy_spin.h"
#include "editor_strings.h"
#include "editor_style.h"
#include "help_box.h"
#include "messages.h"
#include "pages.h"
#include "panel_pages.h"
#include "pictures.h"
#include "timing_diagram.h"
#include "typed_fields.h"
#include "ui_Timing2Page.h"

#include <tolvane/editor_state.h>

#include <QLineEdit>
#include <QPalette>

namespace {

constexpr int kPeriodLimit = 3;  // pulse width and back-porch
constexpr int kTotalLimit = 4;

}  // namespace

QString Timing2CheckText(Timing2Check check) {
    switch (check) {
        case Timing2Check::HPulseWidth:
        case Timing2Check::HBackPorch:
        case Timing2Check::VPulseWidth:
        case Timing2Check::VBackPorch:
            return kTimingOver255Text;
        case Timing2Check::HMinTotal:
            return kTimingHTotalRangeText;
        case Timing2Check::VMinTotal:
            return kTimingVTotalRangeText;
        case Timing2Check::None:
            break;
    }
    return QString();
}

void PaintTotalField(QLineEdit* field, bool shortTotal) {
    QPalette palette = field->palette();
    if (shortTotal) {
        palette.setBrush(QPalette::Base, warningBrush());
        palette.setColor(QPalette::Text, Qt::white);
    } else {
        palette.setBrush(QPalette::Base, QBrush(Qt::white));
        palette.setColor(QPalette::Text, Qt::black);
    }
    field->setPalette(palette);
    field->update();
}

Timing2Page::Timing2Page(EditorState& state, QWidget* parent)
    : SheetPage(parent), state_(state), ui_(std::make_unique<Ui::Timing2Page>()) {
    ui_->setupUi(this);
    setFont(ordinaryFont());
    // The controls sit at fixed places: the sheet must leave the page its size.
    setMinimumSize(size());
    ui_->editImage->setPixmap(EditorPicture(QStringLiteral("EditImage")));
    SetCaptionFont({ui_->horizontalGroup, ui_->verticalGroup});

    new BuddySpin(ui_->hPulseEdit, 0, kMaxSyncPeriod, QStringLiteral("horizontal pulse width"));
    new BuddySpin(ui_->hBackPorchEdit, 0, kMaxSyncPeriod, QStringLiteral("horizontal back-porch"));
    new BuddySpin(ui_->hTotalEdit, 0, 4096, QStringLiteral("horizontal min. total period"));
    new BuddySpin(ui_->vPulseEdit, 0, kMaxSyncPeriod, QStringLiteral("vertical pulse width"));
    new BuddySpin(ui_->vBackPorchEdit, 0, kMaxSyncPeriod, QStringLiteral("vertical back-porch"));
    new BuddySpin(ui_->vTotalEdit, 0, 2048, QStringLiteral("vertical min. total period"));
    for (QLineEdit* field : {ui_->hPulseEdit, ui_->hBackPorchEdit, ui_->vPulseEdit, ui_->vBackPorchEdit})
        field->setMaxLength(kPeriodLimit);
    ui_->hTotalEdit->setMaxLength(kTotalLimit);
    ui_->vTotalEdit->setMaxLength(kTotalLimit);

    const PanelRecord& r = state_.editPanel;
    ShowInField(ui_->hPulseEdit, QString::number(r.hPulseWidth));
    ShowInField(ui_->hBackPorchEdit, QString::number(r.hBackPorch));
    ShowInField(ui_->hTotalEdit, QString::number(r.hMinTotal));
    ShowInField(ui_->vPulseEdit, QString::number(r.vPulseWidth));
    ShowInField(ui_->vBackPorchEdit, QString::number(r.vBackPorch));
    ShowInField(ui_->vTotalEdit, QString::number(r.vMinTotal));
    PaintTotalField(ui_->hTotalEdit, false);
    PaintTotalField(ui_->vTotalEdit, false);
    refreshDisplayPeriods();

    // The diagrams beside the two groups, to the right of the described controls.
    hDiagram_ = new TimingDiagram(QStringLiteral("One line"), QStringLiteral("CLKs"), this);
    hDiagram_->setObjectName(QStringLiteral("hTimingDiagram"));
    hDiagram_->setGeometry(346, 34, 264, 130);
    vDiagram_ = new TimingDiagram(QStringLiteral("One frame"), QStringLiteral("Lines"), this);
    vDiagram_->setObjectName(QStringLiteral("vTimingDiagram"));
    vDiagram_->setGeometry(346, 176, 264, 100);
    refreshDiagrams();

    for (QLineEdit* field : {ui_->hPulseEdit, ui_->hBackPorchEdit, ui_->hTotalEdit})
        connect(field, &QLineEdit::textChanged, this, [this] { recomputeHorizontal(false); });
    for (QLineEdit* field : {ui_->vPulseEdit, ui_->vBackPorchEdit, ui_->vTotalEdit})
        connect(field, &QLineEdit::textChanged, this, [this] { recomputeVertical(false); });
    connect(ui_->helpButton, &QAbstractButton::clicked, this, &Timing2Page::showHelp);
}

Timing2Page::~Timing2Page() = default;

void Timing2Page::refreshDisplayPeriods() {
    if (state_.resolutionChanged) SendStorePageRequest(PanelPageHandle(kTiming1Page), state_);
    const PanelRecord& r = state_.editPanel;
    if (!IsStandardResolution(r.hResolution, r.vResolution)) {
        hDisplayPeriod_ = r.hResolution;
        vDisplayPeriod_ = r.vResolution;
    } else if (const std::optional<Resolution> pair = StandardResolutionOfClass(ResolutionClass(r))) {
        hDisplayPeriod_ = pair->width;
        vDisplayPeriod_ = pair->height;
    }
    ui_->hDisplayPeriod->setText(QString::number(hDisplayPeriod_));
    ui_->vDisplayPeriod->setText(QString::number(vDisplayPeriod_));
}

void Timing2Page::recomputeHorizontal(bool repaint) {
    const bool shortTotal = TotalPeriodTooShort(hDisplayPeriod_, FieldU16(ui_->hPulseEdit),
                                                FieldU16(ui_->hBackPorchEdit), FieldU16(ui_->hTotalEdit));
    if (shortTotal != hTotalShort_ || repaint) {
        hTotalShort_ = shortTotal;
        PaintTotalField(ui_->hTotalEdit, hTotalShort_);
    }
    refreshDiagrams();
}

void Timing2Page::recomputeVertical(bool repaint) {
    const bool shortTotal = TotalPeriodTooShort(vDisplayPeriod_, FieldU16(ui_->vPulseEdit),
                                                FieldU16(ui_->vBackPorchEdit), FieldU16(ui_->vTotalEdit));
    if (shortTotal != vTotalShort_ || repaint) {
        vTotalShort_ = shortTotal;
        PaintTotalField(ui_->vTotalEdit, vTotalShort_);
    }
    refreshDiagrams();
}

void Timing2Page::refreshDiagrams() {
    // The fields as typed, like the red flags; nothing is stored.
    const Timing2Values v = readFields();
    hDiagram_->setTiming(hDisplayPeriod_, v.hPulseWidth, v.hBackPorch, v.hMinTotal);
    vDiagram_->setTiming(vDisplayPeriod_, v.vPulseWidth, v.vBackPorch, v.vMinTotal);
}

void Timing2Page::pageActivated() {
    refreshDisplayPeriods();
    recomputeHorizontal(true);
    recomputeVertical(true);
}

Timing2Values Timing2Page::readFields() const {
    Timing2Values v;
    v.hPulseWidth = FieldU16(ui_->hPulseEdit);
    v.hBackPorch = FieldU16(ui_->hBackPorchEdit);
    v.hMinTotal = FieldU16(ui_->hTotalEdit);
    v.vPulseWidth = FieldU16(ui_->vPulseEdit);
    v.vBackPorch = FieldU16(ui_->vBackPorchEdit);
    v.vMinTotal = FieldU16(ui_->vTotalEdit);
    return v;
}

QLineEdit* Timing2Page::fieldOf(Timing2Check check) const {
    switch (check) {
        case Timing2Check::HPulseWidth:
            return ui_->hPulseEdit;
        case Timing2Check::HBackPorch:
            return ui_->hBackPorchEdit;
        case Timing2Check::HMinTotal:
            return ui_->hTotalEdit;
        case Timing2Check::VPulseWidth:
            return ui_->vPulseEdit;
        case Timing2Check::VBackPorch:
            return ui_->vBackPorchEdit;
        case Timing2Check::VMinTotal:
            return ui_->vTotalEdit;
        case Timing2Check::None:
            break;
    }
    return nullptr;
}

bool Timing2Page::pageLeave() {
    // A short total is only a warning; the checks are the ranges.
    const Timing2Check failed = FirstFailingTiming2Check(readFields());
    if (failed == Timing2Check::None) return true;
    ShowWarning(Timing2CheckText(failed));
    if (QLineEdit* field = fieldOf(failed)) field->setFocus();
    return false;
}

void Timing2Page::pageApply() {
    PanelRecord& r = state_.editPanel;
    const auto storeIfTyped = [](const QLineEdit* field, uint16_t& target) {
        if (!field->text().isEmpty()) target = FieldU16(field);
    };
    storeIfTyped(ui_->hPulseEdit, r.hPulseWidth);
    storeIfTyped(ui_->hBackPorchEdit, r.hBackPorch);
    storeIfTyped(ui_->hTotalEdit, r.hMinTotal);
    storeIfTyped(ui_->vPulseEdit, r.vPulseWidth);
    storeIfTyped(ui_->vBackPorchEdit, r.vBackPorch);
    storeIfTyped(ui_->vTotalEdit, r.vMinTotal);
}

bool Timing2Page::storePageRequest() {
    state_.storeOk = false;
    const Timing2Values v = readFields();
    const Timing2Check failed = FirstFailingTiming2Check(v);
    if (failed != Timing2Check::None) {
        ShowWarning(Timing2CheckText(failed), kTiming2Title);
        return false;
    }
    PanelRecord& r = state_.editPanel;
    r.hPulseWidth = v.hPulseWidth;
    r.hBackPorch = v.hBackPorch;
    r.hMinTotal = v.hMinTotal;
    r.vPulseWidth = v.vPulseWidth;
    r.vBackPorch = v.vBackPorch;
    r.vMinTotal = v.vMinTotal;
    state_.storeOk = true;
    return true;
}

void Timing2Page::showHelp() { ShowHelpBox(kHelpTiming, this); }

SheetPage* CreateTiming2Page(EditorState& state, QWidget* parent) { return new Timing2Page(state, parent); }
