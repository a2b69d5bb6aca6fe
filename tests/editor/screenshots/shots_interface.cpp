// Screenshots of the Interface I and Interface II pages, each in the panel
// data sheet turned to it, with a named 2x24-bit panel.
#include "screenshot_tool.h"

#include "panel_data_sheet.h"
#include "tolvane/editor_state.h"

#include <cstring>

namespace {

PanelDataSheet* SheetWithSamplePanel(EditorState& state) {
    state.editPanel = state.panel;
    std::memset(state.editPanel.displayName, 0, sizeof state.editPanel.displayName);
    std::memcpy(state.editPanel.displayName, "LM181E1", 7);
    state.editPanel.manufacturer = 18;  // PHILIPS
    state.editPanel.colorDepth = 8;
    SetPanelFlag(state.editPanel, kDualPixel, true);
    SetCorrection(state.editPanel, 1);
    state.editPanel.outputDrive = 0x3214;
    state.editPanel.kesaId = 12;
    return new PanelDataSheet(state, nullptr);
}

}  // namespace

TOLVANE_SHOT(interface1_page, [](EditorState& state) -> QWidget* { return SheetWithSamplePanel(state); });

TOLVANE_SHOT(interface2_page, [](EditorState& state) -> QWidget* {
    PanelDataSheet* sheet = SheetWithSamplePanel(state);
    sheet->turnToPage(1);
    return sheet;
});
