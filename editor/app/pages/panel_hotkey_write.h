// The write hotkey of the panel data sheet: store every open page into the
// edit copy of the PanelRecord and write it to the board, without leaving
// the sheet.
#pragma once

class SheetPage;
struct EditorState;

// Runs one hotkey write for the Interface I page `interface1`:
//   1. the selection box (panel choice) unless state.hideSelectionBox; Cancel stops;
//   2. the store request to Interface I, then to every other panel page made
//      since the sheet opened, stopping at the first that refuses (it has
//      shown its own message);
//   3. ApplyResolutionClass on the edit copy, and a copy of it packed into the
//      write image and gamma buffer;
//   4. open the link, WritePanelToBoard over `interface1`, report a failure,
//      close the link.
// The committed copy is not touched. Returns 1 when the panel reached the
// board, 0 otherwise. A press while a hotkey write is already running (in its
// selection box or its transfer) is ignored and gives 0.
int HotkeyPanelWrite(SheetPage* interface1, EditorState& state);
