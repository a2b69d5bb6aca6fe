#include "panel_pages.h"

#include "sheet_page.h"
#include "tolvane/editor_state.h"

#include <QPointer>
#include <array>

namespace {

std::array<QPointer<SheetPage>, kPanelPageCount>& Pages() {
    static std::array<QPointer<SheetPage>, kPanelPageCount> pages;
    return pages;
}

}  // namespace

void ClearPanelPages() {
    for (auto& page : Pages()) page = nullptr;
}

void EnterPanelPage(int index, SheetPage* page) {
    if (index >= 0 && index < kPanelPageCount) Pages()[static_cast<std::size_t>(index)] = page;
}

SheetPage* PanelPageHandle(int index) {
    if (index < 0 || index >= kPanelPageCount) return nullptr;
    return Pages()[static_cast<std::size_t>(index)].data();
}

bool SendStorePageRequest(SheetPage* page, EditorState& state) {
    state.storeOk = false;
    if (!page) return false;
    state.storeOk = page->storePageRequest();
    return state.storeOk;
}
