// The Timing II page of the panel data sheet: horizontal and vertical sync
// timing. A "Min. total period" shorter than display period, pulse width and
// back-porch together is drawn white on red.
#pragma once

#include "sheet_page.h"

#include <tolvane/timing.h>

#include <memory>

class QLineEdit;
class TimingDiagram;
struct EditorState;

namespace Ui {
class Timing2Page;
}

class Timing2Page : public SheetPage {
    Q_OBJECT
public:
    Timing2Page(EditorState& state, QWidget* parent = nullptr);
    ~Timing2Page() override;

    void pageActivated() override;
    bool pageLeave() override;
    void pageApply() override;
    bool storePageRequest() override;

    uint16_t hDisplayPeriod() const { return hDisplayPeriod_; }
    uint16_t vDisplayPeriod() const { return vDisplayPeriod_; }
    bool hTotalShort() const { return hTotalShort_; }
    bool vTotalShort() const { return vTotalShort_; }
    TimingDiagram* hDiagram() const { return hDiagram_; }
    TimingDiagram* vDiagram() const { return vDiagram_; }

private:
    // Lets Timing I store first when the resolution was changed there, then
    // takes the display periods from the edit copy and shows them.
    void refreshDisplayPeriods();
    // Recompute a red flag from the fields as typed; the total field is
    // repainted when the flag changes or when `repaint` asks for it.
    void recomputeHorizontal(bool repaint);
    void recomputeVertical(bool repaint);
    Timing2Values readFields() const;
    QLineEdit* fieldOf(Timing2Check check) const;
    void showHelp();
    void refreshDiagrams();

    EditorState& state_;
    std::unique_ptr<Ui::Timing2Page> ui_;
    uint16_t hDisplayPeriod_ = 0;
    uint16_t vDisplayPeriod_ = 0;
    bool hTotalShort_ = false;
    bool vTotalShort_ = false;
    TimingDiagram* hDiagram_ = nullptr;
    TimingDiagram* vDiagram_ = nullptr;
};

// The message of a failing check (empty for Timing2Check::None).
QString Timing2CheckText(Timing2Check check);

// Draws a "Min. total period" field white on the warning brush when `shortTotal`
// is set, otherwise black on white.
void PaintTotalField(QLineEdit* field, bool shortTotal);
