#include "timing1_page.h"

#include "editor_strings.h"
#include "editor_style.h"
#include "messages.h"
#include "typed_fields.h"
#include "pages.h"
#include "pictures.h"
#include "ui_Timing1Page.h"

#include <tolvane/editor_state.h>
#include <tolvane/typed_numbers.h>

#include <QButtonGroup>
#include <QRadioButton>

namespace {

constexpr uint16_t kStandardClasses[5] = {kClassVGA, kClassSVGA, kClassXGA, kClassSXGA, kClassUXGA};

constexpr int kResolutionLimit = 4;
constexpr int kFrequencyLimit = 4;
constexpr int kClockLimit = 6;

// The clock in MHz with two decimals, or three when the kHz are not a
// multiple of ten, so that the text reads back as the stored value.
QString ClockText(uint32_t kHz) { return QString::fromStdString(FormatScaledShortest(kHz, 3, 2)); }

}  // namespace

QString Timing1CheckText(Timing1Check check) {
    switch (check) {
        case Timing1Check::HorizontalResolution:
            return kTimingBadHResolutionText;
        case Timing1Check::VerticalResolution:
            return kTimingBadVResolutionText;
        case Timing1Check::FrequencyUnder45:
            return kTimingUnder45HzText;
        case Timing1Check::FrequencyOver200:
            return kTimingOver200HzText;
        case Timing1Check::MinNotBelowTyp:
            return kTimingMinNotBelowTypText;
        case Timing1Check::TypNotBelowMax:
            return kTimingTypNotBelowMaxText;
        case Timing1Check::DisplayClock:
            return kTimingClockRangeText;
        case Timing1Check::None:
            break;
    }
    return QString();
}

Timing1Page::Timing1Page(EditorState& state, QWidget* parent)
    : SheetPage(parent), state_(state), ui_(std::make_unique<Ui::Timing1Page>()) {
    ui_->setupUi(this);
    setFont(ordinaryFont());
    // The controls sit at fixed places: the sheet must leave the page its size.
    setMinimumSize(size());
    ui_->editImage->setPixmap(EditorPicture(QStringLiteral("EditImage")));
    SetCaptionFont({ui_->resolutionGroup, ui_->frequencyGroup});

    QRadioButton* const radios[5] = {ui_->vgaRadio, ui_->svgaRadio, ui_->xgaRadio, ui_->sxgaRadio, ui_->uxgaRadio};
    auto* group = new QButtonGroup(this);
    for (int i = 0; i < 5; ++i) {
        standardRadios_[i] = radios[i];
        group->addButton(radios[i]);
    }
    group->addButton(ui_->otherRadio);
    load();
    // The handling runs once for every change of the checked radio, however
    // it comes: a click, Space, arrow keys or an accessible toggle, which
    // sends no click. A click on the radio already checked changes nothing
    // and sends no toggle; it is handled on its click. Every click begins
    // with a press, which tells the two apart. The radios were set by load()
    // before these connections: that is no choice of the user.
    connect(group, &QButtonGroup::buttonPressed, this,
            [this](QAbstractButton* button) { pressedWasChecked_ = button->isChecked(); });
    connect(group, &QButtonGroup::buttonToggled, this, [this](QAbstractButton* button, bool checked) {
        if (checked) resolutionClicked(button);
    });
    connect(group, &QButtonGroup::buttonClicked, this, [this](QAbstractButton* button) {
        if (pressedWasChecked_) resolutionClicked(button);
        pressedWasChecked_ = false;
    });
}

Timing1Page::~Timing1Page() = default;

void Timing1Page::load() {
    PanelRecord& r = state_.editPanel;
    ui_->hResEdit->setMaxLength(kResolutionLimit);
    ui_->vResEdit->setMaxLength(kResolutionLimit);
    ui_->vFreqMinEdit->setMaxLength(kFrequencyLimit);
    ui_->vFreqTypEdit->setMaxLength(kFrequencyLimit);
    ui_->vFreqMaxEdit->setMaxLength(kFrequencyLimit);
    ui_->clockEdit->setMaxLength(kClockLimit);

    // No panel runs below 45 Hz: the edit copy starts from there.
    if (r.vFreqMin < 45) r.vFreqMin = 45;
    ShowInField(ui_->vFreqMinEdit, QString::number(r.vFreqMin));
    ShowInField(ui_->vFreqTypEdit, QString::number(r.vFreqTyp));
    ShowInField(ui_->vFreqMaxEdit, QString::number(r.vFreqMax));
    ShowInField(ui_->clockEdit, ClockText(r.maxDisplayClock));

    if (!IsStandardResolution(r.hResolution, r.vResolution)) {
        ShowInField(ui_->hResEdit, QString::number(r.hResolution));
        ShowInField(ui_->vResEdit, QString::number(r.vResolution));
        ui_->otherRadio->setChecked(true);
        enableResolutionFields(true);
    } else {
        for (int i = 0; i < 5; ++i) {
            if (ResolutionClass(r) == kStandardClasses[i]) standardRadios_[i]->setChecked(true);
        }
        enableResolutionFields(false);
        ui_->hResEdit->clear();
        ui_->vResEdit->clear();
    }
}

void Timing1Page::enableResolutionFields(bool enable) {
    for (QWidget* w : {static_cast<QWidget*>(ui_->hResLabel), static_cast<QWidget*>(ui_->hResEdit),
                       static_cast<QWidget*>(ui_->vResLabel), static_cast<QWidget*>(ui_->vResEdit)})
        w->setEnabled(enable);
}

void Timing1Page::resolutionClicked(QAbstractButton* button) {
    if (otherChecked()) {
        enableResolutionFields(true);  // the typed numbers stay as they are
    } else {
        enableResolutionFields(false);
        ui_->hResEdit->clear();
        ui_->vResEdit->clear();
        if (const std::optional<Resolution> pair = StandardResolutionOfClass(checkedClass())) {
            state_.editPanel.hResolution = pair->width;
            state_.editPanel.vResolution = pair->height;
        }
    }
    button->setFocus();
    state_.resolutionChanged = true;
}

uint16_t Timing1Page::checkedClass() const {
    for (int i = 0; i < 5; ++i) {
        if (standardRadios_[i]->isChecked()) return kStandardClasses[i];
    }
    return 0;
}

bool Timing1Page::otherChecked() const { return ui_->otherRadio->isChecked(); }

Timing1Values Timing1Page::readFields() const {
    Timing1Values v;
    v.other = otherChecked();
    if (v.other) {
        v.width = FieldU16(ui_->hResEdit);
        v.height = FieldU16(ui_->vResEdit);
    }
    v.vFreqMin = FieldU16(ui_->vFreqMinEdit);
    v.vFreqTyp = FieldU16(ui_->vFreqTypEdit);
    v.vFreqMax = FieldU16(ui_->vFreqMaxEdit);
    v.clockKHz = TypedClockKHz(FieldText(ui_->clockEdit));
    return v;
}

QLineEdit* Timing1Page::fieldOf(Timing1Check check) const {
    switch (check) {
        case Timing1Check::HorizontalResolution:
            return ui_->hResEdit;
        case Timing1Check::VerticalResolution:
            return ui_->vResEdit;
        case Timing1Check::FrequencyUnder45:
            return ui_->vFreqMinEdit;
        case Timing1Check::FrequencyOver200:
            return ui_->vFreqMaxEdit;
        case Timing1Check::MinNotBelowTyp:
            return ui_->vFreqTypEdit;
        case Timing1Check::TypNotBelowMax:
            return ui_->vFreqMaxEdit;
        case Timing1Check::DisplayClock:
            return ui_->clockEdit;
        case Timing1Check::None:
            break;
    }
    return nullptr;
}

bool Timing1Page::pageLeave() {
    const Timing1Check failed = FirstFailingTiming1Check(readFields());
    if (failed == Timing1Check::None) return true;
    ShowWarning(Timing1CheckText(failed));
    if (QLineEdit* field = fieldOf(failed)) field->setFocus();
    return false;
}

void Timing1Page::pageApply() {
    PanelRecord& r = state_.editPanel;
    SetResolutionClass(r, checkedClass());
    SetCustomResolution(r, false);
    if (otherChecked()) {
        if (!ui_->hResEdit->text().isEmpty()) r.hResolution = FieldU16(ui_->hResEdit);
        if (!ui_->vResEdit->text().isEmpty()) r.vResolution = FieldU16(ui_->vResEdit);
        SetResolutionClass(r, ResolutionClass(r) | ClassOfWidth(r.hResolution));
        SetCustomResolution(r, true);
    } else if (const std::optional<Resolution> pair = StandardResolutionOfClass(ResolutionClass(r))) {
        r.hResolution = pair->width;
        r.vResolution = pair->height;
    }
    if (!ui_->vFreqMinEdit->text().isEmpty()) r.vFreqMin = FieldU16(ui_->vFreqMinEdit);
    if (!ui_->vFreqTypEdit->text().isEmpty()) r.vFreqTyp = FieldU16(ui_->vFreqTypEdit);
    if (!ui_->vFreqMaxEdit->text().isEmpty()) r.vFreqMax = FieldU16(ui_->vFreqMaxEdit);
    if (!ui_->clockEdit->text().isEmpty()) r.maxDisplayClock = TypedClockKHz(FieldText(ui_->clockEdit));
}

bool Timing1Page::storePageRequest() {
    state_.storeOk = false;
    PanelRecord& r = state_.editPanel;
    SetResolutionClass(r, checkedClass());
    SetCustomResolution(r, false);
    const Timing1Values v = readFields();
    if (v.other) SetResolutionClass(r, ResolutionClass(r) | ClassOfWidth(v.width));

    const Timing1Check failed = FirstFailingTiming1Check(v);
    if (failed != Timing1Check::None) {
        ShowWarning(Timing1CheckText(failed), kTiming1Title);
        return false;
    }
    if (v.other) {
        SetCustomResolution(r, true);
        r.hResolution = v.width;
        r.vResolution = v.height;
    } else if (const std::optional<Resolution> pair = StandardResolutionOfClass(ResolutionClass(r))) {
        r.hResolution = pair->width;
        r.vResolution = pair->height;
    }
    r.vFreqMax = v.vFreqMax;
    r.vFreqTyp = v.vFreqTyp;
    r.vFreqMin = v.vFreqMin;
    r.maxDisplayClock = v.clockKHz;
    r.reserved54 = 0;
    state_.storeOk = true;
    return true;
}

SheetPage* CreateTiming1Page(EditorState& state, QWidget* parent) { return new Timing1Page(state, parent); }
