// The Timing I page of the panel data sheet: resolution, vertical frequency
// range and maximum display clock of the panel.
#pragma once

#include "sheet_page.h"

#include <tolvane/timing.h>

#include <memory>

class QAbstractButton;
class QLineEdit;
class QRadioButton;
struct EditorState;

namespace Ui {
class Timing1Page;
}

class Timing1Page : public SheetPage {
    Q_OBJECT
public:
    Timing1Page(EditorState& state, QWidget* parent = nullptr);
    ~Timing1Page() override;

    bool pageLeave() override;
    void pageApply() override;
    bool storePageRequest() override;

    // Shows the edit copy in the controls, as on creation (raising a minimum
    // frequency below 45 Hz to 45 in the edit copy).
    void load();

private:
    void resolutionClicked(QAbstractButton* button);
    void enableResolutionFields(bool enable);

    // The class bit of the checked one of VGA..UXGA; 0 with " Other " or none.
    uint16_t checkedClass() const;
    bool otherChecked() const;
    // The fields as typed; width and height only with " Other " checked.
    Timing1Values readFields() const;
    QLineEdit* fieldOf(Timing1Check check) const;

    EditorState& state_;
    std::unique_ptr<Ui::Timing1Page> ui_;
    QRadioButton* standardRadios_[5] = {};  // VGA, SVGA, XGA, SXGA, UXGA
    bool pressedWasChecked_ = false;        // the radio last pressed was checked already
};

// The message of a failing check (empty for Timing1Check::None).
QString Timing1CheckText(Timing1Check check);
