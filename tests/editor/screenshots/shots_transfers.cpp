// Screenshots of the File and Platform pages, the two selection boxes and the
// status window as it looks halfway through a transfer.
#include "screenshot_tool.h"

#include "editor_style.h"
#include "selection_box.h"
#include "status_window.h"
#include "tolvane/editor_state.h"
#include "transfer_sheet.h"

TOLVANE_SHOT(file_page, [](EditorState &state) -> QWidget * {
    state.editPanel = state.panel;
    state.editModeTable = state.modeTable;
    return new TransferSheet(state, nullptr);
});

TOLVANE_SHOT(platform_page, [](EditorState &state) -> QWidget * {
    state.editPanel = state.panel;
    state.editModeTable = state.modeTable;
    auto *sheet = new TransferSheet(state, nullptr);
    sheet->turnToPage(1);
    return sheet;
});

TOLVANE_SHOT(selection_box_750, [](EditorState &state) -> QWidget * {
    return new SelectionBox(state, SelectionBox::Layout::WithPanelChoice);
});

TOLVANE_SHOT(selection_box_751, [](EditorState &state) -> QWidget * {
    return new SelectionBox(state, SelectionBox::Layout::WithoutPanelChoice);
});

// The bar where a panel read with its gamma table stands after 144 of the
// table's 256 bytes.
TOLVANE_SHOT(status_window, [](EditorState &) -> QWidget * {
    auto *window = new StatusWindow(nullptr, captionFont());
    window->setPosition(56);
    return window;
});
