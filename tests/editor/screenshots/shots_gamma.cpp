// Screenshot of the Gamma/Power page in the panel data sheet, with a gamma
// curve in use (with a step down that its picture shows), one row selected
// and the power delays filled in.
#include "screenshot_tool.h"

#include "gamma_power_page.h"
#include "panel_data_sheet.h"
#include "panel_pages.h"
#include "tolvane/editor_state.h"
#include "tolvane/records.h"

#include <QListWidget>

#include <cmath>
#include <cstring>

TOLVANE_SHOT(gamma_power_page, [](EditorState& state) -> QWidget* {
    state.editPanel = state.panel;
    PanelRecord& record = state.editPanel;
    std::memcpy(record.displayName, "LM181E1", 7);  // lets the first page be left
    SetPanelFlag(record, kUseGamma, true);
    for (int i = 0; i < 256; ++i)
        record.gammaTable.level[i] = static_cast<uint8_t>(std::lround(255.0 * std::pow(i / 255.0, 1.0 / 2.2)));
    // A correction gone wrong: entries 150..152 step down, which the curve shows in red.
    record.gammaTable.level[150] = static_cast<uint8_t>(record.gammaTable.level[149] - 12);
    record.gammaTable.level[151] = static_cast<uint8_t>(record.gammaTable.level[149] - 14);
    record.gammaTable.level[152] = static_cast<uint8_t>(record.gammaTable.level[149] - 6);
    record.powerOnT1 = 5;
    record.powerOnT2 = 25;
    record.powerOffT3 = 20;
    record.powerOffT4 = 100;

    auto* sheet = new PanelDataSheet(state, nullptr);
    sheet->turnToPage(kGammaPowerPage);
    if (auto* list = sheet->findChild<QListWidget*>(QStringLiteral("gammaList"))) {
        list->setCurrentRow(17, QItemSelectionModel::ClearAndSelect);
        list->scrollToItem(list->item(12), QAbstractItemView::PositionAtTop);
        list->setFocus();
    }
    return sheet;
});
