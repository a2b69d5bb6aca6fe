// The handles of the five panel pages while the panel data sheet is open, and
// the private store request that the write hotkey sends to them.
#pragma once

class SheetPage;
struct EditorState;

enum PanelPageIndex {
    kInterface1Page = 0,
    kInterface2Page,
    kTiming1Page,
    kTiming2Page,
    kGammaPowerPage,
    kPanelPageCount
};

// The message number of the store request on the original platform; kept as
// the request's name in logs and tests.
constexpr int kStorePageRequest = 0x1400;

// Cleared when the panel data sheet opens; a page enters its handle when it
// is created, and a page that goes away drops out by itself.
void ClearPanelPages();
void EnterPanelPage(int index, SheetPage* page);
SheetPage* PanelPageHandle(int index);  // null for a page not created since the sheet opened

// Asks `page` to check and store its fields now. The outcome goes into
// state.storeOk (false while the page checks) and is returned.
bool SendStorePageRequest(SheetPage* page, EditorState& state);
