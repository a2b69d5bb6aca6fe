#include "panel_hotkey_write.h"

#include "panel_pages.h"
#include "selection_box.h"
#include "sheet_page.h"
#include "transfers.h"

#include <tolvane/editor_state.h>
#include <tolvane/panel.h>

#include <QPointer>

namespace {

// The selection box and the status window both run events while the write
// waits, and the hotkey keeps arriving meanwhile: one write at a time.
bool hotkeyWriteRunning = false;

class RunningMark {
public:
    RunningMark() { hotkeyWriteRunning = true; }
    ~RunningMark() { hotkeyWriteRunning = false; }
    RunningMark(const RunningMark&) = delete;
    RunningMark& operator=(const RunningMark&) = delete;
};

// Sends the store request to every page of the sheet, Interface I first.
bool StoreOpenPages(SheetPage* interface1, EditorState& state) {
    if (!SendStorePageRequest(interface1, state)) return false;
    for (int index = kInterface2Page; index < kPanelPageCount; ++index) {
        SheetPage* page = PanelPageHandle(index);
        if (page && page != interface1 && !SendStorePageRequest(page, state)) return false;
    }
    return true;
}

}  // namespace

int HotkeyPanelWrite(SheetPage* interface1, EditorState& state) {
    if (hotkeyWriteRunning || !interface1) return 0;
    const RunningMark running;
    const QPointer<SheetPage> page(interface1);

    if (!state.hideSelectionBox && ShowSelectionBox(state, SelectionBox::Layout::WithPanelChoice, interface1) <= 0)
        return 0;
    if (!page)  // the sheet went away while the box was open
        return 0;
    if (!StoreOpenPages(interface1, state)) return 0;

    ApplyResolutionClass(state.editPanel);
    const PanelRecord packed = state.editPanel;
    PanelRecordToImage(packed, state.writeImage, state.gammaBuffer);

    return RunTransfer(state.config, [&] { return WritePanelToBoard(interface1, state); });
}
