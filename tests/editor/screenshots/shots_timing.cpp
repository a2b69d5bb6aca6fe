// Screenshots of the Timing I and Timing II pages in the panel data sheet.
#include "screenshot_tool.h"

#include "panel_data_sheet.h"
#include "panel_pages.h"
#include "tolvane/editor_state.h"

#include <cstring>

namespace {

// An SVGA panel at 60 Hz whose horizontal total is 56 clocks short of display
// period, pulse width and back-porch together.
void SampleTiming(EditorState& state) {
    state.editPanel = state.panel;
    PanelRecord& r = state.editPanel;
    std::strncpy(r.displayName, "LQ104V1DG", sizeof r.displayName);
    SetResolutionClass(r, kClassSVGA);
    r.hResolution = 800;
    r.vResolution = 600;
    r.vFreqMin = 56;
    r.vFreqTyp = 60;
    r.vFreqMax = 75;
    r.maxDisplayClock = 40000;
    r.hPulseWidth = 128;
    r.hBackPorch = 88;
    r.hMinTotal = 960;  // 800 + 128 + 88 = 1016
    r.vPulseWidth = 4;
    r.vBackPorch = 23;
    r.vMinTotal = 628;
}

}  // namespace

TOLVANE_SHOT(timing1_page, [](EditorState& state) -> QWidget* {
    SampleTiming(state);
    auto* sheet = new PanelDataSheet(state, nullptr);
    sheet->turnToPage(kTiming1Page);
    return sheet;
});

TOLVANE_SHOT(timing2_page, [](EditorState& state) -> QWidget* {
    SampleTiming(state);
    auto* sheet = new PanelDataSheet(state, nullptr);
    sheet->turnToPage(kTiming1Page);
    sheet->turnToPage(kTiming2Page);
    return sheet;
});
