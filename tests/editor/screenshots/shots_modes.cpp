// Screenshot of the mode table dialog, filled with the mode table that the
// emulated board holds from the factory, with the 1024 x 768 mode chosen.
#include "screenshot_tool.h"

#include "mode_table_dialog.h"
#include "tolvane/editor_state.h"
#include "tolvane/modes.h"
#include "ui_ModeTableDialog.h"
#include "vantrel_board/board.h"

#include <algorithm>
#include <vector>

TOLVANE_SHOT(mode_table_dialog, [](EditorState& state) -> QWidget* {
    const std::vector<uint8_t> flash = vantrel_board::FactoryFlash();
    ModeTableImage image{};
    std::copy_n(flash.begin() + vantrel_board::kModeTableAddress, sizeof image.bytes, image.bytes);
    ImageToModeTable(image, state.editModeTable);
    auto* dialog = new ModeTableDialog(state);
    for (int row = 0; row < dialog->ui()->modeList->count(); ++row) {
        if (dialog->ui()->modeList->item(row)->text().contains(QStringLiteral("1024 x 768"))) {
            dialog->ui()->modeList->setCurrentRow(row);
            break;
        }
    }
    return dialog;
});
