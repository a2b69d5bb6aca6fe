// Factories of the sheet pages. The sheets call them the first time a page is
// shown; each page's own source file defines its factory.
#pragma once

class QWidget;
class SheetPage;
struct EditorState;

// Panel data sheet, in tab order.
SheetPage* CreateInterface1Page(EditorState& state, QWidget* parent);
SheetPage* CreateInterface2Page(EditorState& state, QWidget* parent);
SheetPage* CreateTiming1Page(EditorState& state, QWidget* parent);
SheetPage* CreateTiming2Page(EditorState& state, QWidget* parent);
SheetPage* CreateGammaPowerPage(EditorState& state, QWidget* parent);

// Transfer sheet, in tab order.
SheetPage* CreateFilePage(EditorState& state, QWidget* parent);
SheetPage* CreatePlatformPage(EditorState& state, QWidget* parent);
SheetPage* CreateMergePage(EditorState& state, QWidget* parent);
